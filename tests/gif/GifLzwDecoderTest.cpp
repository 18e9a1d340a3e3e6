#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"
#include "image/GifLzwDecoder.h"

using image::GifByteSource;
using image::GifRowCursor;
using image::LzwDecoder;

namespace {

// A bottom-up picture as the decoder sees it, read back top row first.
struct Rows {
    Rows(int w, int h, bool interlaced = false)
        : width(w), height(h), bits(static_cast<std::size_t>(w * h), 0),
          cursor(bits.data(), w, w, h, interlaced) {}
    std::vector<int> TopDown() const {
        std::vector<int> out;
        for (int y = height - 1; y >= 0; --y) {
            for (int x = 0; x < width; ++x) {
                out.push_back(bits[static_cast<std::size_t>(y * width + x)]);
            }
        }
        return out;
    }
    int width;
    int height;
    std::vector<std::uint8_t> bits;
    GifRowCursor cursor;
};

int Decode(int minimumCodeSize, const std::vector<std::uint8_t>& codes, Rows& rows, int* bad = nullptr) {
    auto decoder = std::make_unique<LzwDecoder>();
    int badCodes = 0;
    int result = decoder->DecodeCodes(minimumCodeSize, codes, rows.cursor, badCodes);
    if (bad != nullptr) {
        *bad = badCodes;
    }
    return result;
}

// The order in which the lines of an interlaced image land, from the top.
std::vector<int> InterlaceOrder(int height) {
    Rows rows(1, height, true);
    std::vector<int> order;
    for (std::uint8_t line = 0; rows.cursor.PutGifRow(&line, 1) == 0; ++line) {
    }
    for (int v : rows.TopDown()) {
        order.push_back(v);
    }
    std::vector<int> byLine(order.size());
    for (std::size_t row = 0; row < order.size(); ++row) {
        byLine[static_cast<std::size_t>(order[row])] = static_cast<int>(row);
    }
    return byLine;
}

TEST(GifRowCursor, InterlacedRowsComeInFourPassesAndThenStop) {
    EXPECT_EQ(InterlaceOrder(1), (std::vector<int>{0}));
    EXPECT_EQ(InterlaceOrder(2), (std::vector<int>{0, 1}));
    EXPECT_EQ(InterlaceOrder(3), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(InterlaceOrder(4), (std::vector<int>{0, 2, 1, 3}));
    EXPECT_EQ(InterlaceOrder(10), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
    EXPECT_EQ(InterlaceOrder(17), (std::vector<int>{0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}));
}

TEST(GifRowCursor, PlainRowsGoTopDownAndExtraLinesAreRefused) {
    Rows rows(3, 2);
    const std::uint8_t first[] = {1, 2, 3, 9};
    const std::uint8_t second[] = {4, 5};
    EXPECT_EQ(rows.cursor.PutGifRow(first, -1), 0);
    EXPECT_EQ(rows.cursor.PutGifRow(second, 2), 0);
    EXPECT_EQ(rows.cursor.PutGifRow(first, 3), -1);
    EXPECT_EQ(rows.TopDown(), (std::vector<int>{1, 2, 3, 4, 5, 0}));
}

TEST(LzwDecoder, DecodesTheWritersOnePixelStream) {
    // Minimum code size 8, one sub-block of 4 bytes: clear, 5, end in 9 bits.
    std::vector<std::uint8_t> data{8, 4, 0x00, 0x0B, 0x04, 0x04, 0};
    GifByteSource source(data);
    Rows rows(1, 1);
    int bad = -1;
    LzwDecoder decoder;
    EXPECT_EQ(decoder.DecodeImageData(source, rows.cursor, bad), LzwDecoder::kEndCode);
    EXPECT_EQ(rows.TopDown(), (std::vector<int>{5}));
    EXPECT_EQ(bad, 0);
}

TEST(LzwDecoder, ClearCodesAndTheStartWithoutOne) {
    // Minimum code size 2: clear 4, end 5, first free 6, codes of 3 bits.
    gif_test::CodePacker withClear;
    for (int code : {4, 4, 4, 1, 6, 5}) {
        withClear.Put(code, 3);
    }
    Rows a(3, 1);
    EXPECT_EQ(Decode(2, withClear.bytes, a), LzwDecoder::kEndCode);
    // 6 is the code about to be made: "1" plus its own first byte.
    EXPECT_EQ(a.TopDown(), (std::vector<int>{1, 1, 1}));

    // Without a leading clear the previous code and first byte are 0, so the
    // first code already makes entry 6 = "0 1".
    gif_test::CodePacker withoutClear;
    for (int code : {1, 6, 5}) {
        withoutClear.Put(code, 3);
    }
    Rows b(3, 1);
    EXPECT_EQ(Decode(2, withoutClear.bytes, b), LzwDecoder::kEndCode);
    EXPECT_EQ(b.TopDown(), (std::vector<int>{1, 0, 1}));
}

TEST(LzwDecoder, CodesBeyondTheTableAreCountedAndDecodedAsTheNextOne) {
    gif_test::CodePacker packer;
    for (int code : {4, 2, 7, 5}) {  // 7 is past the next free code 6
        packer.Put(code, 3);
    }
    Rows rows(3, 1);
    int bad = 0;
    EXPECT_EQ(Decode(2, packer.bytes, rows, &bad), LzwDecoder::kEndCode);
    EXPECT_EQ(rows.TopDown(), (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(bad, 1);
}

TEST(LzwDecoder, AFullTableKeepsTwelveBitCodesUntilAClear) {
    gif_test::StreamBuilder stream(8);
    stream.Clear();
    std::vector<int> expected;
    for (int i = 0; i < 3839; ++i) {  // the first makes no entry, the rest make 258..4095
        stream.Code(i % 256);
        expected.push_back(i % 256);
    }
    ASSERT_EQ(stream.NextFree(), 4096);
    stream.Code(4095);  // made from codes 3837 and 3838: "253 254"
    stream.Code(7);     // still 12 bits, and no entry is made
    stream.Code(4095);
    stream.Clear();
    stream.Code(9);
    stream.Code(258);  // made anew after the clear: "9 9"
    stream.End();
    for (int v : {253, 254, 7, 253, 254, 9, 9, 9}) {
        expected.push_back(v);
    }
    Rows rows(static_cast<int>(expected.size()), 1);
    EXPECT_EQ(Decode(8, stream.Bytes(), rows), LzwDecoder::kEndCode);
    EXPECT_EQ(rows.TopDown(), expected);
}

TEST(LzwDecoder, StrayCodeSizesAreRefusedAndNineWrapsItsValues) {
    for (int size : {0, 1, 10, 12}) {
        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(size), 1, 0xFF, 0};
        GifByteSource source(data);
        Rows rows(1, 1);
        int bad = 0;
        LzwDecoder decoder;
        EXPECT_EQ(decoder.DecodeImageData(source, rows.cursor, bad), LzwDecoder::kBadCodeSize) << size;
    }
    gif_test::CodePacker packer;
    for (int code : {512, 300, 7, 513}) {
        packer.Put(code, 10);
    }
    Rows rows(2, 1);
    EXPECT_EQ(Decode(9, packer.bytes, rows), LzwDecoder::kEndCode);
    EXPECT_EQ(rows.TopDown(), (std::vector<int>{300 & 0xFF, 7}));
}

TEST(LzwDecoder, EndsWithTheDataOrThePicture) {
    // Cut short: what was decoded stays, the rest is 0.
    gif_test::CodePacker shortStream;
    for (int code : {4, 1, 2, 3}) {
        shortStream.Put(code, 3);
    }
    Rows cut(3, 2);
    EXPECT_EQ(Decode(2, shortStream.bytes, cut), LzwDecoder::kDataEnded);
    EXPECT_EQ(cut.TopDown(), (std::vector<int>{1, 2, 3, 0, 0, 0}));

    // More pixels than the picture holds, with no end code: decoding stops at
    // the last row, interlaced or not.
    for (bool interlaced : {false, true}) {
        gif_test::StreamBuilder stream(2);
        stream.Clear();
        for (int i = 0; i < 5000; ++i) {
            stream.Code(i % 4);
        }
        Rows rows(5, 5, interlaced);
        EXPECT_EQ(Decode(2, stream.Bytes(), rows), LzwDecoder::kPictureFull);
    }
}

TEST(LzwDecoder, ALoopInADamagedTableStopsDecoding) {
    // 7 beyond the table makes the previous code 7; then 7 as the next code
    // makes entry 7 its own prefix, and decoding 7 again would never end.
    gif_test::CodePacker packer;
    for (int code : {4, 0, 7, 7}) {
        packer.Put(code, 3);
    }
    packer.Put(7, 4);
    Rows rows(100, 1);
    EXPECT_EQ(Decode(2, packer.bytes, rows), LzwDecoder::kLoopedString);
}

TEST(LzwDecoder, SubBlocksJoinAndAZeroLengthBlockEndsTheData) {
    gif_test::StreamBuilder stream(2);
    stream.Clear();
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) {
        stream.Code(i % 3);
        expected.push_back(i % 3);
    }
    stream.End();
    auto data = gif_test::ImageData(2, stream.Bytes(), 1);  // one byte per sub-block
    GifByteSource source(data);
    Rows rows(40, 1);
    int bad = 0;
    LzwDecoder decoder;
    EXPECT_EQ(decoder.DecodeImageData(source, rows.cursor, bad), LzwDecoder::kEndCode);
    EXPECT_EQ(rows.TopDown(), expected);

    std::vector<std::uint8_t> early{2, 1, stream.Bytes()[0], 0, 1, stream.Bytes()[1], 0};
    GifByteSource cut(early);
    Rows cutRows(40, 1);
    EXPECT_EQ(decoder.DecodeImageData(cut, cutRows.cursor, bad), LzwDecoder::kDataEnded);
    EXPECT_EQ(cut.Remaining(), 3u);  // the bytes after the terminator are not image data
}

}  // namespace

#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"
#include "image/GifLzwDecoder.h"

using gif_test::Bytes;
using image::GifRowCursor;
using image::LzwDecoder;

namespace {

// Packs codes of given widths least significant bit first, as GIF does.
class CodePacker {
public:
    CodePacker& Put(int code, int width) {
        for (int i = 0; i < width; ++i, ++bit) {
            if (bit % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() = static_cast<std::uint8_t>(bytes.back() | (((code >> i) & 1) << (bit % 8)));
        }
        return *this;
    }
    CodePacker& Put(std::initializer_list<int> codes, int width) {
        for (int code : codes) {
            Put(code, width);
        }
        return *this;
    }
    Bytes bytes;

private:
    int bit = 0;
};

// Writes codes with the widths a decoder expects: after a clear code the first
// code makes no entry, every later one makes one until 4096 are in use, and
// the width grows when the next entry would not fit.
class StreamBuilder {
public:
    explicit StreamBuilder(int minimumCodeSize) : minimum(minimumCodeSize) { Reset(); }
    void Clear() {
        packer.Put(1 << minimum, width);
        Reset();
    }
    void Code(int code) {
        packer.Put(code, width);
        if (!afterClear && nextFree < 4096) {
            ++nextFree;
        }
        afterClear = false;
        if (nextFree == 1 << width && width < 12) {
            ++width;
        }
    }
    void End() { packer.Put((1 << minimum) + 1, width); }
    int NextFree() const { return nextFree; }
    const Bytes& Stream() const { return packer.bytes; }

private:
    void Reset() {
        width = minimum + 1;
        nextFree = (1 << minimum) + 2;
        afterClear = true;
    }
    CodePacker packer;
    int minimum;
    int width = 0;
    int nextFree = 0;
    bool afterClear = true;
};

// A bottom-up picture as the decoder sees it, read back top row first.
struct Rows {
    Rows(int w, int h, bool interlaced = false)
        : width(w), height(h), bits(static_cast<std::size_t>(w * h), 0), cursor(bits.data(), w, w, h, interlaced) {}
    std::vector<int> TopDown() const {
        std::vector<int> out;
        for (int y = height - 1; y >= 0; --y) {
            out.insert(out.end(), bits.begin() + y * width, bits.begin() + (y + 1) * width);
        }
        return out;
    }
    int width;
    int height;
    Bytes bits;
    GifRowCursor cursor;
};

platform::Result<void> Decode(int minimumCodeSize, const Bytes& codes, Rows& rows, int* bad = nullptr) {
    auto decoder = std::make_unique<LzwDecoder>();
    int badCodes = 0;
    auto result = decoder->DecodeCodes(minimumCodeSize, codes, rows.cursor, badCodes);
    if (bad != nullptr) {
        *bad = badCodes;
    }
    return result;
}

// The row each line of an interlaced image lands on, from the top.
std::vector<int> InterlaceOrder(int height) {
    Rows rows(1, height, true);
    for (std::uint8_t line = 0; rows.cursor.PutGifRow(&line, 1) == 0; ++line) {
    }
    std::vector<int> lineOfRow = rows.TopDown();
    std::vector<int> rowOfLine(lineOfRow.size());
    for (std::size_t row = 0; row < lineOfRow.size(); ++row) {
        rowOfLine[static_cast<std::size_t>(lineOfRow[row])] = static_cast<int>(row);
    }
    return rowOfLine;
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

TEST(LzwDecoder, DecodesCodeStreams) {
    struct Case {
        const char* name;
        int minimumCodeSize;
        Bytes stream;
        std::vector<int> pixels;
        int badCodes;
    };
    // Code size 2: clear 4, end 5, first free 6, codes of 3 bits.
    const Case cases[] = {
        // 6 is the code about to be made: "1" plus its own first byte.
        {"clear codes, then a code made from itself", 2, CodePacker().Put({4, 4, 4, 1, 6, 5}, 3).bytes, {1, 1, 1}, 0},
        // Without a leading clear the previous code and first byte are 0, so
        // the first code already makes entry 6 = "0 1".
        {"no leading clear", 2, CodePacker().Put({1, 6, 5}, 3).bytes, {1, 0, 1}, 0},
        // 7 is past the next free code 6: counted, and decoded as 6 would be.
        {"a code beyond the table", 2, CodePacker().Put({4, 2, 7, 5}, 3).bytes, {2, 2, 2}, 1},
        // Code size 9 (clear 512, end 513): values above 255 keep their low byte.
        {"nine-bit values", 9, CodePacker().Put({512, 300, 7, 513}, 10).bytes, {300 & 0xFF, 7}, 0},
        {"the writer's one pixel", 8, CodePacker().Put({256, 5, 257}, 9).bytes, {5}, 0},
    };
    for (const Case& c : cases) {
        Rows rows(static_cast<int>(c.pixels.size()), 1);
        int bad = -1;
        EXPECT_TRUE(Decode(c.minimumCodeSize, c.stream, rows, &bad)) << c.name;
        EXPECT_EQ(rows.TopDown(), c.pixels) << c.name;
        EXPECT_EQ(bad, c.badCodes) << c.name;
    }
}

TEST(LzwDecoder, AFullTableKeepsTwelveBitCodesUntilAClear) {
    StreamBuilder stream(8);
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
    expected.insert(expected.end(), {253, 254, 7, 253, 254, 9, 9, 9});
    Rows rows(static_cast<int>(expected.size()), 1);
    EXPECT_TRUE(Decode(8, stream.Stream(), rows));
    EXPECT_EQ(rows.TopDown(), expected);
}

TEST(LzwDecoder, SucceedsAtTheEndCodeOrTheLastRowOnly) {
    // Cut short: what was decoded stays, the rest is 0.
    Rows cut(3, 2);
    auto ended = Decode(2, CodePacker().Put({4, 1, 2, 3}, 3).bytes, cut);
    ASSERT_FALSE(ended);
    EXPECT_NE(ended.error().message.find("end before its end code"), std::string::npos);
    EXPECT_EQ(cut.TopDown(), (std::vector<int>{1, 2, 3, 0, 0, 0}));

    // More pixels than the picture holds, with no end code: decoding stops at
    // the last row, interlaced or not, and the rest is dropped.
    for (bool interlaced : {false, true}) {
        StreamBuilder stream(2);
        stream.Clear();
        for (int i = 0; i < 5000; ++i) {
            stream.Code(i % 4);
        }
        Rows rows(5, 5, interlaced);
        EXPECT_TRUE(Decode(2, stream.Stream(), rows)) << interlaced;
    }

    // 7 beyond the table makes the previous code 7; then 7 as the next code
    // makes entry 7 its own prefix, and decoding 7 again would never end.
    Rows looped(100, 1);
    auto loop = Decode(2, CodePacker().Put({4, 0, 7, 7}, 3).Put(7, 4).bytes, looped);
    ASSERT_FALSE(loop);
    EXPECT_NE(loop.error().message.find("longer than the table"), std::string::npos);

    for (int size : {0, 1, 10, 12}) {
        Rows rows(1, 1);
        EXPECT_FALSE(Decode(size, {0xFF, 0xFF}, rows)) << size;
    }
}

TEST(LzwDecoder, SubBlocksJoinAndAZeroLengthBlockEndsTheData) {
    StreamBuilder stream(2);
    stream.Clear();
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) {
        stream.Code(i % 3);
        expected.push_back(i % 3);
    }
    stream.End();
    // The minimum code size, then one byte per sub-block, then the terminator.
    Bytes data{2};
    for (std::uint8_t byte : stream.Stream()) {
        data.insert(data.end(), {1, byte});
    }
    data.push_back(0);
    platform::ByteReader source(data, platform::Endian::kLittle);
    Rows rows(40, 1);
    int bad = 0;
    LzwDecoder decoder;
    EXPECT_TRUE(decoder.DecodeImageData(source, rows.cursor, bad));
    EXPECT_EQ(rows.TopDown(), expected);

    Bytes early{2, 1, stream.Stream()[0], 0, 1, stream.Stream()[1], 0};
    platform::ByteReader cut(early, platform::Endian::kLittle);
    Rows cutRows(40, 1);
    EXPECT_FALSE(decoder.DecodeImageData(cut, cutRows.cursor, bad));
    EXPECT_EQ(cut.Remaining(), 3u);  // the bytes after the terminator are not image data
}

}  // namespace

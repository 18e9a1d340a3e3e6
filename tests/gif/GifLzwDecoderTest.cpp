#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"
#include "image/GifLzwDecoder.h"

using gif_test::Bytes;
using gif_test::CodePacker;
using gif_test::StreamBuilder;
using image::GifRowCursor;
using image::LzwDecoder;

namespace {

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

// A stream of codes, each as wide as the decoder reads it (the codes 1 << m
// and (1 << m) + 1 are clear and end).
Bytes Codes(int minimumCodeSize, std::initializer_list<int> codes) {
    StreamBuilder stream(minimumCodeSize);
    const int clear = 1 << minimumCodeSize;
    for (int code : codes) {
        if (code == clear) {
            stream.Clear();
        } else if (code == clear + 1) {
            stream.End();
        } else {
            stream.Code(code);
        }
    }
    return stream.Stream();
}

platform::Result<void> Decode(int minimumCodeSize, const Bytes& codes, Rows& rows) {
    return std::make_unique<LzwDecoder>()->DecodeCodes(minimumCodeSize, codes, rows.cursor);
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
    EXPECT_EQ(rows.cursor.RowsDone(), 1);
    EXPECT_EQ(rows.cursor.PutGifRow(second, 2), 0);
    EXPECT_EQ(rows.cursor.PutGifRow(first, 3), -1);
    EXPECT_EQ(rows.cursor.RowsDone(), 2);
    EXPECT_EQ(rows.TopDown(), (std::vector<int>{1, 2, 3, 4, 5, 0}));
}

TEST(LzwDecoder, DecodesCodeStreams) {
    struct Case {
        const char* name;
        int minimumCodeSize;
        Bytes stream;
        std::vector<int> pixels;
    };
    // Code size 2: clear 4, end 5, first free 6, codes of 3 bits.
    const Case cases[] = {
        // 6 is the code about to be made: "1" plus its own first byte.
        {"clear codes, then a code made from itself", 2, CodePacker().Put({4, 4, 4, 1, 6, 5}, 3).bytes, {1, 1, 1}},
        // As if a clear came first: 1 makes no entry, 2 makes 6 = "1 2".
        {"no leading clear", 2, CodePacker().Put({1, 2, 6, 5}, 3).bytes, {1, 2, 1, 2}},
        // Code size 1 (clear 2, end 3): codes of 2 bits widen to 3 after the
        // first code, which makes no entry; 0 then makes 4 = "1 0".
        {"code size 1", 1, CodePacker().Put({2, 1}, 2).Put({0, 4, 3}, 3).bytes, {1, 0, 1, 0}},
        // Codes of 12 bits from the start; roots up to 255 are pixels.
        {"code size 11", 11, CodePacker().Put({2048, 255, 0, 2050, 2049}, 12).bytes, {255, 0, 255, 0}},
        {"the writer's one pixel", 8, CodePacker().Put({256, 5, 257}, 9).bytes, {5}},
    };
    for (const Case& c : cases) {
        Rows rows(static_cast<int>(c.pixels.size()), 1);
        EXPECT_TRUE(Decode(c.minimumCodeSize, c.stream, rows)) << c.name;
        EXPECT_EQ(rows.TopDown(), c.pixels) << c.name;
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

TEST(LzwDecoder, SucceedsOnceEveryRowIsStoredAndOnlyThen) {
    // More pixels than the image holds and no end code, interlaced or not:
    // decoding stops at the last row.
    StreamBuilder more(2);
    for (int i = 0; i < 5000; ++i) {
        more.Code(i % 4);
    }
    struct Case {
        const char* name;
        int minimumCodeSize;
        Bytes stream;
        int width, height;
        bool interlaced;
        const char* error;  // nullptr: decoded
    };
    // Code size 2: clear 4, end 5, first free 6, codes of 3 bits.
    const Case cases[] = {
        {"more pixels", 2, more.Stream(), 5, 5, false, nullptr},
        {"more pixels, interlaced", 2, more.Stream(), 5, 5, true, nullptr},
        {"no end code after the last row", 2, Codes(2, {4, 1, 2}), 2, 1, false, nullptr},
        {"cut short", 2, Codes(2, {4, 1, 2, 3}), 3, 2, false, "damaged GIF: the image data ends at row 1 of 2"},
        {"an early end code", 2, Codes(2, {4, 1, 2, 3, 1, 5}), 3, 2, false,
         "damaged GIF: the image data ends at row 1 of 2"},
        {"cut short, interlaced", 2, Codes(2, {4, 1, 2, 3}), 3, 5, true,
         "damaged GIF: the image data ends after 1 of 5 interlaced rows"},
        {"no data", 2, {}, 3, 2, false, "damaged GIF: the image data ends at row 0 of 2"},
        // 7 is past the next free code 6.
        {"a code beyond the table", 2, Codes(2, {4, 0, 7}), 3, 2, false,
         "damaged GIF: a code not yet in the table at row 0 of 2"},
        {"a code made from itself after a clear", 2, Codes(2, {4, 6}), 3, 2, false,
         "damaged GIF: a code not yet in the table at row 0 of 2"},
        // Code size 9: clear 512, end 513; pixels are bytes.
        {"a root above 255", 9, Codes(9, {512, 300}), 2, 1, false,
         "damaged GIF: a pixel of colour 300, beyond the 256 of a colour table, at row 0 of 1"},
        {"code size 0", 0, {0xFF, 0xFF}, 1, 1, false, "damaged GIF: the minimum code size 0 is not 1 to 11"},
        {"code size 12", 12, {0xFF, 0xFF}, 1, 1, false, "damaged GIF: the minimum code size 12 is not 1 to 11"},
    };
    for (const Case& c : cases) {
        Rows rows(c.width, c.height, c.interlaced);
        auto decoded = Decode(c.minimumCodeSize, c.stream, rows);
        ASSERT_EQ(decoded.has_value(), c.error == nullptr) << c.name;
        if (c.error != nullptr) {
            EXPECT_EQ(decoded.error().message, c.error) << c.name;
        }
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
    LzwDecoder decoder;
    EXPECT_TRUE(decoder.DecodeImageData(source, rows.cursor));
    EXPECT_EQ(rows.TopDown(), expected);

    Bytes early{2, 1, stream.Stream()[0], 0, 1, stream.Stream()[1], 0};
    platform::ByteReader cut(early, platform::Endian::kLittle);
    Rows cutRows(40, 1);
    EXPECT_FALSE(decoder.DecodeImageData(cut, cutRows.cursor));
    EXPECT_EQ(cut.Remaining(), 3u);  // the bytes after the terminator are not image data
}

}  // namespace

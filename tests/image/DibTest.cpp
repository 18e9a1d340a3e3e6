#include <gtest/gtest.h>

#include <algorithm>

#include "image/Dib.h"
#include "platform/ByteOrder.h"

using image::BitmapInfoHeader;
using image::CImagePalette;
using image::Color;
using image::DibBlock;
using platform::ReadLE16;
using platform::ReadLE32;

namespace {

// Table entry i as 0x00RRGGBB: the block holds its bytes blue, green, red, 0.
std::uint32_t TableWord(const DibBlock& block, std::size_t i) {
    return ReadLE32(block.data() + 40 + 4 * i);
}

// A block of `size` bytes that starts with the header.
DibBlock WithHeader(const BitmapInfoHeader& header, std::size_t size) {
    DibBlock block(size, 0);
    header.Write(block);
    return block;
}

}  // namespace

TEST(NewDib, MakesZeroedRowsPaddedToFourBytesBehindAFullTable) {
    struct Case {
        int bits;
        int width;
        std::uint32_t colours;
        std::uint32_t rowBytes;
    };
    const Case cases[] = {{1, 33, 2, 8}, {2, 5, 4, 4}, {4, 9, 16, 8}, {8, 10, 256, 12}, {24, 10, 0, 32}};
    for (const Case& c : cases) {
        auto block = image::NewDib(c.bits, c.width, 3);
        ASSERT_TRUE(block) << c.bits;
        BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biWidth, c.width);
        EXPECT_EQ(header.biHeight, 3);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, c.bits);
        EXPECT_EQ(header.biSizeImage, 3 * c.rowBytes) << c.bits;
        EXPECT_EQ(header.biClrUsed, c.colours) << c.bits;
        EXPECT_EQ(image::DibColorCount(*block), c.colours);
        EXPECT_EQ(image::DibPixelOffset(*block), 40 + 4 * c.colours) << c.bits;
        ASSERT_EQ(block->size(), 40 + 4 * c.colours + 3 * c.rowBytes) << c.bits;
        EXPECT_TRUE(std::all_of(block->begin() + 40 + 4 * c.colours, block->end(), [](auto b) { return b == 0; }));
    }
}

TEST(NewDib, TablesRunFromBlackToWhiteAndEightBitsRepeatTheSixteenColours) {
    for (int bits : {1, 2, 4}) {
        auto block = image::NewDib(bits, 1, 1);
        ASSERT_TRUE(block);
        EXPECT_EQ(TableWord(*block, 0), 0x000000u) << bits;
        EXPECT_EQ(TableWord(*block, (std::size_t{1} << bits) - 1), 0xFFFFFFu) << bits;
    }
    auto four = image::NewDib(4, 1, 1);
    EXPECT_EQ(TableWord(*four, 1), 0x800000u);  // dark red: red is the third byte
    auto eight = image::NewDib(8, 1, 1);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(TableWord(*eight, i), TableWord(*four, i % 16)) << i;
    }
}

TEST(NewDib, RefusesSizesAndDepthsWithoutABlock) {
    const int cases[][3] = {{8, 0, 5},   {8, 5, 0},  {8, -5, 5},          {8, 5, -5},
                            {3, 5, 5},   {0, 5, 5},  {32, 65536, 65536},  // 16 GiB
                            {24, 0x7FFFFFFF, 0x7FFFFFFF}};
    for (const auto& c : cases) {
        EXPECT_FALSE(image::NewDib(c[0], c[1], c[2])) << c[0] << " " << c[1] << " " << c[2];
    }
}

TEST(DibColorCount, FollowsClrUsedThenTheDepth) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t clrUsed;
        std::uint32_t count;
    };
    for (const Case& c : {Case{8, 0, 256}, Case{8, 20, 20}, Case{4, 0, 16}, Case{16, 0, 0}, Case{24, 0, 0}}) {
        BitmapInfoHeader header;
        header.biBitCount = c.bits;
        header.biClrUsed = c.clrUsed;
        EXPECT_EQ(image::DibColorCount(WithHeader(header, 40)), c.count) << c.bits << " " << c.clrUsed;
    }
    EXPECT_EQ(image::DibColorCount(DibBlock(10, 0)), 0u);  // too short for a header
}

TEST(FillDibColorTable, IndexFormNumbersTheEntries) {
    auto block = image::NewDib(8, 10, 3);
    ASSERT_TRUE(block);
    ASSERT_EQ(image::FillDibColorTable(&*block, nullptr, 1), 1);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ReadLE16(block->data() + 40 + 2 * i), i);
    }
}

TEST(FillDibColorTable, ColourFormTakesThePaletteAndBlackBeyondIt) {
    auto block = image::NewDib(4, 9, 2);
    ASSERT_TRUE(block);
    ASSERT_EQ(image::FillDibColorTable(&*block, nullptr, 1), 1);  // from index form back to colours
    ASSERT_EQ(image::FillDibColorTable(&*block, nullptr, 0), 1);  // no palette: the default one
    for (std::size_t i = 0; i < 16; ++i) {
        Color colour = CImagePalette::Default().At(i);
        EXPECT_EQ(TableWord(*block, i), static_cast<std::uint32_t>(colour.red << 16 | colour.green << 8 | colour.blue))
            << i;
    }
    CImagePalette small({{9, 8, 7}, {1, 2, 3}});
    ASSERT_EQ(image::FillDibColorTable(&*block, &small, 0), 1);
    EXPECT_EQ(TableWord(*block, 0), 0x090807u);
    EXPECT_EQ(TableWord(*block, 1), 0x010203u);
    for (std::size_t i = 2; i < 16; ++i) {
        EXPECT_EQ(TableWord(*block, i), 0u) << i;
    }
}

TEST(FillDibColorTable, LeavesBlocksWithoutATableAloneAndRefusesShortOnes) {
    auto deep = image::NewDib(24, 2, 2);
    ASSERT_TRUE(deep);
    DibBlock before = *deep;
    EXPECT_EQ(image::FillDibColorTable(&*deep, nullptr, 1), 1);
    EXPECT_EQ(*deep, before);

    BitmapInfoHeader header;
    header.biBitCount = 16;
    header.biCompression = image::kBiBitFields;
    header.biClrUsed = 3;
    DibBlock masks = WithHeader(header, 40 + 12 + 8);
    masks[40] = 0x77;
    before = masks;
    EXPECT_EQ(image::FillDibColorTable(&masks, nullptr, 0), 1);
    EXPECT_EQ(masks, before);

    header = BitmapInfoHeader{};
    header.biBitCount = 8;
    DibBlock cut = WithHeader(header, 40 + 10);
    EXPECT_EQ(image::FillDibColorTable(&cut, nullptr, 1), 0);
    EXPECT_EQ(image::FillDibColorTable(nullptr, nullptr, 0), 0);
}

TEST(PaletteFromDib, TakesTheTablesColoursOrNone) {
    auto block = image::NewDib(4, 2, 2);
    ASSERT_TRUE(block);
    CImagePalette palette = image::PaletteFromDib(*block);
    ASSERT_EQ(palette.Size(), 16u);
    EXPECT_EQ(palette.At(1), (Color{0x80, 0, 0}));
    EXPECT_EQ(palette.At(4), (Color{0, 0, 0x80}));
    EXPECT_TRUE(image::PaletteFromDib(*image::NewDib(24, 2, 2)).Empty());
}

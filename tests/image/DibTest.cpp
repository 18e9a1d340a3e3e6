#include <gtest/gtest.h>

#include "image/Dib.h"
#include "platform/ByteOrder.h"

using image::BitmapInfoHeader;
using image::DibBlock;
using platform::LogicalPalette;
using platform::ReadLE16;
using platform::ReadLE32;

namespace {

std::uint32_t TableWord(const DibBlock& block, std::size_t i) {
    return ReadLE32(block.data() + 40 + 4 * i);
}

}  // namespace

TEST(NewDib, FourBitsHasPaddedRowsAndTheSixteenDefaultColours) {
    auto block = image::NewDib(4, 9, 2);
    ASSERT_TRUE(block);
    BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 9);
    EXPECT_EQ(header.biHeight, 2);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biSizeImage, 16u);  // rows of 8 bytes
    EXPECT_EQ(header.biClrUsed, 16u);
    EXPECT_EQ(image::DibColorCount(*block), 16u);
    EXPECT_EQ(image::ColorTableBytes(*block), 64u);
    EXPECT_EQ(image::DibPixelOffset(*block), 40u + 64u);
    EXPECT_EQ(block->size(), 40u + 64u + 16u);
    // Bytes blue, green, red, 0 of 0x00RRGGBB.
    EXPECT_EQ(TableWord(*block, 0), 0x000000u);
    EXPECT_EQ(TableWord(*block, 1), 0x800000u);
    EXPECT_EQ((*block)[40 + 4 * 1 + 2], 0x80);
    EXPECT_EQ(TableWord(*block, 7), 0xC0C0C0u);
    EXPECT_EQ(TableWord(*block, 12), 0x0000FFu);
    EXPECT_EQ(TableWord(*block, 15), 0xFFFFFFu);
    for (std::size_t i = 40 + 64; i < block->size(); ++i) {
        EXPECT_EQ((*block)[i], 0) << i;
    }
}

TEST(NewDib, EightBitsRepeatsTheSixteenColoursSixteenTimes) {
    auto block = image::NewDib(8, 10, 3);
    ASSERT_TRUE(block);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biClrUsed, 256u);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biSizeImage, 36u);
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(TableWord(*block, i), TableWord(*block, i % 16)) << i;
    }
    EXPECT_EQ(TableWord(*block, 255), 0xFFFFFFu);
}

TEST(NewDib, OneAndTwoBitBlocksCarryAFullTable) {
    auto one = image::NewDib(1, 33, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(BitmapInfoHeader::Read(*one).biClrUsed, 2u);
    EXPECT_EQ(BitmapInfoHeader::Read(*one).biSizeImage, 8u);
    EXPECT_EQ(TableWord(*one, 0), 0x000000u);
    EXPECT_EQ(TableWord(*one, 1), 0xFFFFFFu);
    auto two = image::NewDib(2, 5, 1);
    ASSERT_TRUE(two);
    EXPECT_EQ(BitmapInfoHeader::Read(*two).biClrUsed, 4u);
    EXPECT_EQ(image::DibPixelOffset(*two), 40u + 16u);
}

TEST(NewDib, DeeperBlocksHaveNoTable) {
    auto block = image::NewDib(24, 10, 5);
    ASSERT_TRUE(block);
    EXPECT_EQ(image::DibColorCount(*block), 0u);
    EXPECT_EQ(image::DibPixelOffset(*block), 40u);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biSizeImage, 160u);
    EXPECT_FALSE(image::PaletteFromDib(*block, 0));
}

TEST(NewDib, RefusesSizesAndDepthsWithoutABlock) {
    EXPECT_FALSE(image::NewDib(8, 0, 5));
    EXPECT_FALSE(image::NewDib(8, 5, 0));
    EXPECT_FALSE(image::NewDib(8, -5, 5));
    EXPECT_FALSE(image::NewDib(8, 5, -5));
    EXPECT_FALSE(image::NewDib(3, 5, 5));
    EXPECT_FALSE(image::NewDib(0, 5, 5));
    EXPECT_FALSE(image::NewDib(32, 65536, 65536));  // 16 GiB
    EXPECT_FALSE(image::NewDib(24, 0x7FFFFFFF, 0x7FFFFFFF));
}

TEST(DibColorCount, FollowsClrUsedThenTheDepth) {
    DibBlock block(40, 0);
    BitmapInfoHeader header;
    header.biBitCount = 8;
    header.Write(block);
    EXPECT_EQ(image::DibColorCount(block), 256u);
    header.biClrUsed = 20;
    header.Write(block);
    EXPECT_EQ(image::DibColorCount(block), 20u);
    header.biClrUsed = 0;
    header.biBitCount = 16;
    header.Write(block);
    EXPECT_EQ(image::DibColorCount(block), 0u);
    header.biSize = 12;
    header.biBitCount = 4;
    header.Write(block);
    EXPECT_EQ(image::ColorTableBytes(block), 48u);
    EXPECT_EQ(image::DibColorCount(DibBlock(10, 0)), 0u);  // too short for a header
}

TEST(FillDibColorTable, IndexFormWritesTheWordsZeroToN) {
    auto block = image::NewDib(8, 10, 3);
    ASSERT_TRUE(block);
    ASSERT_EQ(image::FillDibColorTable(&*block, nullptr, 1), 1);
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(ReadLE16(block->data() + 40 + 2 * i), i);
    }
}

TEST(FillDibColorTable, ColourFormComesFromThePaletteAndBlackBeyondIt) {
    auto block = image::NewDib(4, 9, 2);
    ASSERT_TRUE(block);
    std::vector<platform::PaletteEntry> entries;
    for (std::uint8_t i = 0; i < 16; ++i) {
        entries.push_back({i, static_cast<std::uint8_t>(i + 100), static_cast<std::uint8_t>(i + 200), 0});
    }
    LogicalPalette palette(entries);
    ASSERT_EQ(image::FillDibColorTable(&*block, &palette, 1), 1);
    ASSERT_EQ(image::FillDibColorTable(&*block, &palette, 0), 1);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ((*block)[40 + 4 * i], 200 + i);      // blue
        EXPECT_EQ((*block)[40 + 4 * i + 1], 100 + i);  // green
        EXPECT_EQ((*block)[40 + 4 * i + 2], i);        // red
        EXPECT_EQ((*block)[40 + 4 * i + 3], 0);
    }
    LogicalPalette small({{9, 9, 9, 0}, {8, 8, 8, 0}});
    ASSERT_EQ(image::FillDibColorTable(&*block, &small, 0), 1);
    EXPECT_EQ(TableWord(*block, 1), 0x080808u);
    for (std::size_t i = 2; i < 16; ++i) {
        EXPECT_EQ(TableWord(*block, i), 0u) << i;
    }
}

TEST(FillDibColorTable, WithoutAPaletteUsesTheDefaultOne) {
    auto block = image::NewDib(4, 1, 1);
    ASSERT_TRUE(block);
    ASSERT_EQ(image::FillDibColorTable(&*block, nullptr, 0), 1);
    const auto& defaults = LogicalPalette::Default().Entries();
    EXPECT_EQ((*block)[40 + 4 * 8 + 2], defaults[8].red);
    EXPECT_EQ((*block)[40 + 4 * 8 + 1], defaults[8].green);
    EXPECT_EQ(image::FillDibColorTable(nullptr, nullptr, 0), 0);
}

TEST(FillDibColorTable, LeavesBitFieldMasksAndTablelessBlocksAlone) {
    auto block = image::NewDib(24, 2, 2);
    ASSERT_TRUE(block);
    DibBlock before = *block;
    EXPECT_EQ(image::FillDibColorTable(&*block, nullptr, 1), 1);
    EXPECT_EQ(*block, before);
    DibBlock masks(40 + 12 + 8, 0);
    BitmapInfoHeader header;
    header.biBitCount = 16;
    header.biCompression = image::kBiBitFields;
    header.biClrUsed = 3;
    header.Write(masks);
    masks[40] = 0x77;
    before = masks;
    EXPECT_EQ(image::FillDibColorTable(&masks, nullptr, 0), 1);
    EXPECT_EQ(masks, before);
}

TEST(FillDibColorTable, RefusesABlockTooShortForItsTable) {
    DibBlock block(40 + 10, 0);
    BitmapInfoHeader header;
    header.biBitCount = 8;
    header.Write(block);
    EXPECT_EQ(image::FillDibColorTable(&block, nullptr, 1), 0);
}

TEST(PaletteFromDib, TakesRedGreenBlueFromTheTableWithTheFlags) {
    auto block = image::NewDib(4, 2, 2);
    ASSERT_TRUE(block);
    auto palette = image::PaletteFromDib(*block, 4);
    ASSERT_TRUE(palette);
    ASSERT_EQ(palette->GetEntryCount(), 16u);
    EXPECT_EQ(palette->Entries()[1], (platform::PaletteEntry{0x80, 0, 0, 4}));
    EXPECT_EQ(palette->Entries()[4], (platform::PaletteEntry{0, 0, 0x80, 4}));
}

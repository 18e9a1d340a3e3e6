#include <gtest/gtest.h>

#include "palm/ScanLines.h"
#include "view/MapPicture.h"

using view::RenderMap;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;

mapdb::MapRecord Map(std::uint16_t width, std::uint16_t height, std::uint8_t depth, std::uint16_t rowBytes,
                     std::vector<std::uint8_t> data) {
    mapdb::MapRecord map;
    map.width = width;
    map.height = height;
    map.pixelSize = depth;
    map.rowBytes = rowBytes;
    map.data = std::move(data);
    return map;
}

TEST(MapPictureTest, GreyLevelsAreInvertedAnd8BitsShowTheSystemPalette) {
    // 1 bit: set bits are black. 2 bits: 0 white, 1 and 2 grey, 3 black.
    auto one = RenderMap(Map(3, 1, 1, 2, {0xA0, 0x00}));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->argb, (std::vector<std::uint32_t>{kBlack, kWhite, kBlack}));

    auto two = RenderMap(Map(4, 1, 2, 2, {0x1B, 0x00}));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->argb, (std::vector<std::uint32_t>{kWhite, 0xFFAAAAAAu, 0xFF555555u, kBlack}));

    auto eight = RenderMap(Map(4, 1, 8, 4, {0x00, 0x05, 0xE1, 0xFF}));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->argb, (std::vector<std::uint32_t>{kWhite, 0xFFFF00FFu, 0xFFC0C0C0u, kBlack}));
}

TEST(MapPictureTest, ColorTableGivesTheColoursAndBlackBeyondIt) {
    // Two entries (index, red, green, blue), then one row of 4-bit pixels 0, 1, 5.
    auto map = Map(3, 1, 4, 2, {0x00, 0x02, 0, 255, 0, 0, 1, 0, 0, 255, 0x01, 0x50});
    map.SetFlag(mapdb::kHasColorTable, true);
    auto pixels = RenderMap(map);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->argb, (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF0000FFu, kBlack}));
}

TEST(MapPictureTest, CompressedRowsAreExpandedAndRowsComeTopFirst) {
    auto map = Map(16, 3, 1, 2, {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x01});
    const auto plain = RenderMap(map);
    palm::CompressScanLines(map);
    ASSERT_TRUE(map.IsCompressed());
    const auto expanded = RenderMap(map);
    ASSERT_TRUE(plain && expanded);
    EXPECT_EQ(expanded->argb, plain->argb);
    EXPECT_EQ(plain->argb[0], kBlack);
    EXPECT_EQ(plain->argb[16], kWhite);
    EXPECT_EQ(plain->argb[32], kBlack);
    EXPECT_EQ(plain->argb[33], kWhite);
}

TEST(MapPictureTest, RefusesWhatCannotBeShown) {
    EXPECT_FALSE(RenderMap(Map(2, 1, 3, 2, {0, 0})));
    EXPECT_FALSE(RenderMap(mapdb::MapRecord{}));
    EXPECT_FALSE(RenderMap(Map(40, 1, 1, 2, {0, 0})));  // rows too short for the width
    auto damaged = Map(8, 4, 1, 2, {0x00, 0x04, 0xC0});
    damaged.SetFlag(mapdb::kCompressed, true);
    EXPECT_FALSE(RenderMap(damaged));
}

}  // namespace

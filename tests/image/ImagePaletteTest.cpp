#include <gtest/gtest.h>

#include "image/ImagePalette.h"

using image::CImagePalette;
using image::Color;

TEST(ImagePalette, NearestIndexUsesSquaredDistanceAndLowestIndexOnTies) {
    CImagePalette palette({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {10, 0, 0}});
    EXPECT_EQ(palette.NearestIndex(0, 0, 0), 0);
    EXPECT_EQ(palette.NearestIndex(5, 0, 0), 0);  // tie between 0 and 1
    EXPECT_EQ(palette.NearestIndex(11, 0, 0), 1);  // 1 and 3 are equal; the first wins
    EXPECT_EQ(palette.NearestIndex(255, 255, 255), 2);
}

TEST(ImagePalette, DefaultHasTheTwentyStaticColours) {
    const auto& palette = CImagePalette::Default();
    ASSERT_EQ(palette.Size(), 20u);
    EXPECT_EQ(palette.Colors().front(), (Color{0, 0, 0}));
    EXPECT_EQ(palette.Colors().back(), (Color{255, 255, 255}));
}

TEST(ImagePalette, IsMadeOnceAndAnswersForItsOwnEntriesOnly) {
    const std::uint8_t red[] = {10, 200};
    const std::uint8_t green[] = {20, 210};
    const std::uint8_t blue[] = {30, 220};
    CImagePalette palette;
    Color c{7, 8, 9};
    EXPECT_EQ(palette.GetEntryRGB(0, c.red, c.green, c.blue), 0);
    EXPECT_EQ(palette.NearestIndex(1, 2, 3), 0);
    ASSERT_EQ(palette.CreateFromRGB(2, red, green, blue), 1);
    EXPECT_EQ(palette.CreateFromRGB(2, green, green, green), 0);
    for (int outside : {-1, 2, 256}) {
        EXPECT_EQ(palette.GetEntryRGB(outside, c.red, c.green, c.blue), 0) << outside;
    }
    EXPECT_EQ(c, (Color{7, 8, 9}));  // untouched
    ASSERT_EQ(palette.GetEntryRGB(1, c.red, c.green, c.blue), 1);
    EXPECT_EQ(c, (Color{200, 210, 220}));
    EXPECT_EQ(palette.At(1), c);
    EXPECT_EQ(palette.At(2), Color{});  // black beyond the end
    EXPECT_EQ(CImagePalette().CreateFromRGB(0, red, green, blue), 0);
    EXPECT_EQ(CImagePalette().CreateFromRGB(65536, red, green, blue), 0);
}

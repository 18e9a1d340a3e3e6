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

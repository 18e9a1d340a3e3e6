#include <gtest/gtest.h>

#include "platform/LogicalPalette.h"

using platform::LogicalPalette;
using platform::PaletteEntry;

TEST(LogicalPalette, NearestIndexUsesSquaredDistanceAndLowestIndexOnTies) {
    LogicalPalette palette({{0, 0, 0, 0}, {10, 0, 0, 0}, {20, 0, 0, 0}, {10, 0, 0, 0}});
    EXPECT_EQ(palette.GetNearestPaletteIndex(0, 0, 0), 0u);
    EXPECT_EQ(palette.GetNearestPaletteIndex(5, 0, 0), 0u);  // tie between 0 and 1
    EXPECT_EQ(palette.GetNearestPaletteIndex(11, 0, 0), 1u);  // 1 and 3 are equal; the first wins
    EXPECT_EQ(palette.GetNearestPaletteIndex(255, 255, 255), 2u);
}

TEST(LogicalPalette, EntriesAreCopiedWithinTheirCount) {
    LogicalPalette palette({{1, 2, 3, 0}, {4, 5, 6, 0}});
    PaletteEntry out[4] = {};
    EXPECT_EQ(palette.GetPaletteEntries(1, 4, out), 1u);
    EXPECT_EQ(out[0], (PaletteEntry{4, 5, 6, 0}));
    EXPECT_EQ(palette.GetPaletteEntries(2, 1, out), 0u);
}

TEST(LogicalPalette, DefaultHasTheTwentyStaticColours) {
    const auto& palette = LogicalPalette::Default();
    ASSERT_EQ(palette.GetEntryCount(), 20u);
    EXPECT_EQ(palette.Entries().front(), (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(palette.Entries().back(), (PaletteEntry{255, 255, 255, 0}));
}

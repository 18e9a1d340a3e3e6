#include <gtest/gtest.h>

#include "mapdb/Coordinates.h"

using namespace mapdb;

TEST(Coordinates, DegreesShowWithFiveDecimals) {
    EXPECT_EQ(FormatDegrees(175860000), "48.85000");
    EXPECT_EQ(FormatDegrees(-441000000), "-122.50000");
    EXPECT_EQ(FormatDegrees(-36), "-0.00001");
    EXPECT_EQ(FormatDegrees(135427004), "37.61861");
    EXPECT_EQ(FormatDegrees(0), "0.00000");
}

TEST(Coordinates, TypedDegreesAreReadLikeAtofAndTruncated) {
    EXPECT_EQ(DegreesToUnits(ReadDecimal("48.85")), 175860000);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("-122.5")), -441000000);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("12.3456789")), 44444444);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("-0.00001")), -36);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("37.61861")), 135426996);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("N 10")), 0);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("  1e1xyz")), 36000000);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("999.9")), 2147483647);
    EXPECT_EQ(DegreesToUnits(ReadDecimal("-999.9")), -2147483647 - 1);
}

// Only decimal numbers are read: what strtod would also take as hexadecimal,
// infinite or not a number reads as no number.
TEST(Coordinates, OnlyDecimalNumbersAreRead) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"0x1A", 0},    {"nan", 0},     {"-inf", 0},       {"infinity", 0}, {"1e5", 100000},
        {".5", 0.5},    {"5.", 5},      {" +2.5e-1x", 0.25}, {"1e", 1},     {"3E+", 3},
        {"-", 0},       {".", 0},       {"1,5", 1},        {"\t-7.25 W", -7.25},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadDecimal(c.text), c.value) << c.text;
    }
}

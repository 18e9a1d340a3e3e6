#include <gtest/gtest.h>

#include "palm/StrictCoordinate.h"

using palm::Axis;
using palm::ReadCoordinate;

// Every way the coordinates dialog lets a user write a coordinate, read to the
// millisecond of arc.
TEST(StrictCoordinate, ReadsDecimalDegreesMinutesSecondsAndHemispheres) {
    struct Case {
        const char* text;
        Axis axis;
        std::int32_t units;
    };
    const Case cases[] = {
        {"46.5", Axis::kLatitude, 167400000},
        {"-122.5", Axis::kLongitude, -441000000},
        {"+0.00001", Axis::kLatitude, 36},
        {"  N 45 30  ", Axis::kLatitude, 163800000},
        {"s 45 30", Axis::kLatitude, -163800000},
        {"45 30 S", Axis::kLatitude, -163800000},
        {"W 73 15 30.5", Axis::kLongitude, -263730500},
        {"37\u00B037.133'W", Axis::kLongitude, -135427980},
        {"46\u00BA 33\u2032 12\u2033 e", Axis::kLongitude, 167592000},
        {"46\xBA" "33'", Axis::kLatitude, 167580000},  // a Latin-1 degree sign
        {"12.3456789", Axis::kLongitude, 44444444},
        {"90", Axis::kLatitude, 324000000},
        {"180 W", Axis::kLongitude, -648000000},
        {".5", Axis::kLatitude, 1800000},
    };
    for (const Case& c : cases) {
        auto read = ReadCoordinate(c.text, c.axis);
        ASSERT_TRUE(read) << c.text << ": " << read.error().message;
        EXPECT_EQ(*read, c.units) << c.text;
    }
}

// What a lenient reader would take as something else is refused with the reason.
TEST(StrictCoordinate, RefusesWhatIsNotAWholeCoordinate) {
    struct Case {
        const char* text;
        Axis axis;
        const char* why;
    };
    const Case cases[] = {
        {"", Axis::kLatitude, "empty"},
        {"   ", Axis::kLatitude, "empty"},
        {"46,5", Axis::kLatitude, "a point, not a comma"},
        {"46.5x", Axis::kLatitude, "cannot be read"},
        {"abc", Axis::kLatitude, "cannot be read"},
        {"N", Axis::kLatitude, "no degrees"},
        {"nan", Axis::kLatitude, "cannot be read"},
        {"inf", Axis::kLongitude, "cannot be read"},
        {"0x1A", Axis::kLongitude, "cannot be read"},
        {"1e5", Axis::kLatitude, "cannot be read"},
        {"E 6.5", Axis::kLatitude, "takes N or S"},
        {"46 N", Axis::kLongitude, "takes E or W"},
        {"-46 S", Axis::kLatitude, "both \"-\" and \"S\""},
        {"N 46 S", Axis::kLatitude, "both"},
        {"46 60", Axis::kLatitude, "minutes must be less than 60"},
        {"46 30 60", Axis::kLatitude, "seconds must be less than 60"},
        {"46 -30", Axis::kLatitude, "minutes cannot be negative"},
        {"46.5 30", Axis::kLatitude, "only the last number"},
        {"1 2 3 4", Axis::kLatitude, "more than three numbers"},
        {"- 2", Axis::kLongitude, "cannot be read"},
        {"90.00001", Axis::kLatitude, "beyond 90 degrees"},
        {"S 91", Axis::kLatitude, "beyond 90 degrees"},
        {"600", Axis::kLongitude, "beyond 180 degrees"},
        {"99999999999999999999999", Axis::kLongitude, "beyond 180 degrees"},
    };
    for (const Case& c : cases) {
        auto read = ReadCoordinate(c.text, c.axis);
        ASSERT_FALSE(read) << c.text << " read as " << *read;
        EXPECT_NE(read.error().message.find(c.why), std::string::npos) << c.text << ": " << read.error().message;
        EXPECT_EQ(read.error().message.rfind(std::string("\"") + c.text + "\" is not a ", 0), 0u)
            << read.error().message;
    }
}

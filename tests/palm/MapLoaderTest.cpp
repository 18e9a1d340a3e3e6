#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "palm/MapLoader.h"
#include "support/TempFolder.h"

using namespace palm;
using testing_support::TempFolder;

namespace {

std::vector<std::int32_t> Values(const Corners& c) {
    return {c.topLeftLat, c.topLeftLon, c.bottomRightLat, c.bottomRightLon};
}

}  // namespace

TEST(ParseCoordinate, TypedTextsAndTheirValues) {
    struct Case {
        const char* text;
        const char* negative;
        std::int32_t value;
    };
    const Case cases[] = {
        {"W37\u00BA37'8\"", "Ww", -135428000}, {"W37\xBA" "37'8\"", "Ww", -135428000},
        {"37 37.133 W", "Ww", -135427979},     {"-37.61889", "Ww", -135427999},
        {"S 33 52 10", "Ss", -121930000},      {"-33 52 10", "Ss", -121930000},
        {"-0 30", "Ss", -1800000},             {"33 52 10 s", "Ss", -121930000},
        {"N 45.5", "Ss", 163800000},           {"+45.5", "Ss", 163800000},
        {"45.5N", "Ss", 163800000},            {"45 30", "Ss", 163800000},
        {"W 10", "Ss", 36000000},              {"S 10", "Ww", 36000000},
        {"-10 S", "Ss", 36000000},             {"", "Ss", 0},
        {"", "Ww", 0},                         {"N 100", "Ss", 360000000},
        {"37.5.2", "Ss", 135000000},           {"10-30", "Ss", 36000000},
        {"- 5", "Ss", -300000},               {"N", "Ss", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCoordinate(c.text, c.negative), c.value) << c.text;
    }
    // Values beyond the 32-bit range are clamped to it, with the sign they have.
    EXPECT_EQ(ParseCoordinate("N 1000", "Ss"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseCoordinate("S 1000", "Ss"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseCoordinate("-1000 S", "Ss"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseCoordinate("1" + std::string(60, '0'), "Ss"), std::numeric_limits<std::int32_t>::max());
}

TEST(MapLoader, NamesAndSideFilePaths) {
    EXPECT_EQ(MapNameFromPath("C:\\maps\\city.bmp"), "city");
    EXPECT_EQ(MapNameFromPath("C:\\maps\\Mountainside_north.bmp"), "Mountainsid");
    EXPECT_EQ(MapNameFromPath("a.b.bmp"), "a.b");
    EXPECT_EQ(MapNameFromPath("/home/me/maps.d/Lake"), "Lake");
    EXPECT_EQ(MapNameFromPath("/maps/Łódź-Śródmieście.png"), "L\xF3" "dz-Sr\xF3" "dmi");
    EXPECT_EQ(SideFilePath("C:\\maps\\city.bmp"), "C:\\maps\\city.txt");
    EXPECT_EQ(SideFilePath("/maps/Town.BMP"), "/maps/Town.txt");
}

// Each corner text is read with its own hemisphere letters: S for latitudes, W for longitudes.
TEST(ParseCorners, ProposedAndTypedTexts) {
    EXPECT_EQ(ParseCorners(ProposedCorners()), kProposedCorners);
    const CornerTexts typed{"S 33 52 10", "W37\u00BA37'8\"", "-34", "S 10"};
    EXPECT_EQ(Values(ParseCorners(typed)), (std::vector<std::int32_t>{-121930000, -135428000, -122400000, 36000000}));
}

TEST(ReadSideText, TwoLinesOfDecimalDegrees) {
    struct Case {
        const char* text;
        std::vector<std::int32_t> corners;
    };
    const Case cases[] = {
        {"45.5,-73.25\r\n 44.5 , -72.25 ,ignored\nignored too\n", {163800000, -263700000, 160200000, -260100000}},
        // Read in double precision; a missing line or value gives zeros.
        {"-37.61889", {-135428004, 0, 0, 0}},
        {"\n1,2", {0, 0, 3600000, 7200000}},
        {"", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Values(ReadSideText(c.text)), c.corners) << c.text;
    }
}

TEST(ReadSideFile, NoneWithoutAFileAndAnErrorForOneThatCannotBeRead) {
    TempFolder folder;
    testing_support::WriteFileBytes(folder / "city.txt", {'1', ',', '2', '\n', '3', ',', '4'});
    auto read = ReadSideFile(folder / "city.txt");
    ASSERT_TRUE(read && *read);
    EXPECT_EQ(Values(**read), (std::vector<std::int32_t>{3600000, 7200000, 10800000, 14400000}));

    for (const std::string& missing : {folder / "none.txt", folder / "city.txt/none.txt"}) {
        read = ReadSideFile(missing);
        ASSERT_TRUE(read) << missing;
        EXPECT_FALSE(*read) << missing;
    }

    // A side file that is there but cannot be read is not taken for a missing one.
    std::filesystem::create_directory(folder / "town.txt");
    read = ReadSideFile(folder / "town.txt");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().message.rfind("Cannot open the file " + folder / "town.txt" + ":\n", 0), 0u)
        << read.error().message;
}

TEST(ReadBitmapFile, AFileThatCannotBeReadIsToldByName) {
    TempFolder folder;
    auto file = ReadBitmapFile(folder / "gone.bmp");
    ASSERT_FALSE(file);
    EXPECT_EQ(file.error().message.rfind("Cannot open the file " + folder / "gone.bmp" + ":\n", 0), 0u)
        << file.error().message;
}

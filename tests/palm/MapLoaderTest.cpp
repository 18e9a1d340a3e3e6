#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "palm/MapLoader.h"
#include "PalmFixtures.h"
#include "support/TempFolder.h"

using namespace palm;
using namespace palm_test;
using testing_support::TempFolder;

namespace {

class LoadMapFromBmpTest : public ::testing::Test, public testing_support::WithScriptedUi {
protected:
    TempFolder folder;
    std::string picture = folder / "city.bmp";

    void SetUp() override {
        testing_support::WriteFileBytes(picture, RandomPicture(6, 4, 4, 2).Bmp());
    }
    void WriteText(const std::string& path, const std::string& text) {
        testing_support::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
};

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
    EXPECT_EQ(SideFilePath("C:\\maps\\city.bmp"), "C:\\maps\\city.txt");
    EXPECT_EQ(SideFilePath("/maps/Town.BMP"), "/maps/Town.txt");
}

TEST_F(LoadMapFromBmpTest, SideFileGivesTheCornersWithoutDialog) {
    WriteText(folder / "city.txt", "45.5,-73.25\r\n 44.5 , -72.25 ,ignored\nignored too\n");
    mapdb::MapRecord map;
    LoadMapFromBmp(map, picture);
    ASSERT_TRUE(map.data);
    EXPECT_EQ(map.GetName(), "city");
    EXPECT_EQ(map.topLeftLat, 163800000);
    EXPECT_EQ(map.topLeftLon, -263700000);
    EXPECT_EQ(map.bottomRightLat, 160200000);
    EXPECT_EQ(map.bottomRightLon, -260100000);
    EXPECT_EQ(ui.dialogs, std::vector<int>{CColorDepthDlg::kTemplateId});

    // One line only, read in double precision; the missing line gives zeros.
    WriteText(folder / "city.txt", "-37.61889");
    EXPECT_TRUE(ReadSideFile(map, folder / "city.txt"));
    EXPECT_EQ(map.topLeftLat, -135428004);
    EXPECT_EQ(map.topLeftLon, 0);
    EXPECT_EQ(map.bottomRightLat, 0);
    EXPECT_EQ(map.bottomRightLon, 0);
    EXPECT_FALSE(ReadSideFile(map, folder / "none.txt"));
    EXPECT_EQ(map.topLeftLat, -135428004);
}

TEST_F(LoadMapFromBmpTest, DialogStartsAtTenDegreesAndItsTextsAreParsed) {
    std::vector<std::string> shown;
    ui.answer = [&](platform::CDialog& dialog) {
        if (auto* corners = dynamic_cast<CCoordinatesDlg*>(&dialog)) {
            shown = {corners->topLeftLatitude, corners->topLeftLongitude, corners->bottomRightLatitude,
                     corners->bottomRightLongitude};
        }
    };
    mapdb::MapRecord map;
    LoadMapFromBmp(map, picture);
    EXPECT_EQ(shown, (std::vector<std::string>{"N 10", "W 10", "-10.00000", "10.00000"}));
    EXPECT_EQ(ui.dialogs, (std::vector<int>{CColorDepthDlg::kTemplateId, CCoordinatesDlg::kTemplateId}));
    EXPECT_EQ(map.topLeftLat, 36000000);
    EXPECT_EQ(map.topLeftLon, -36000000);
    EXPECT_EQ(map.bottomRightLat, -36000000);
    EXPECT_EQ(map.bottomRightLon, 36000000);

    ui.answer = [](platform::CDialog& dialog) {
        if (auto* corners = dynamic_cast<CCoordinatesDlg*>(&dialog)) {
            corners->topLeftLatitude = "S 33 52 10";
            corners->topLeftLongitude = "W37\u00BA37'8\"";
            corners->bottomRightLatitude = "-34";
            corners->bottomRightLongitude = "S 10";
        }
    };
    map = {};
    LoadMapFromBmp(map, picture);
    EXPECT_EQ(map.topLeftLat, -121930000);
    EXPECT_EQ(map.topLeftLon, -135428000);
    EXPECT_EQ(map.bottomRightLat, -122400000);
    EXPECT_EQ(map.bottomRightLon, 36000000);
}

TEST_F(LoadMapFromBmpTest, FilesThatCannotBeReadEndTheImportAfterANotice) {
    mapdb::MapRecord map;
    LoadMapFromBmp(map, folder / "gone.bmp");
    EXPECT_FALSE(map.data);
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_NE(ui.notices[0].text.find(folder / "gone.bmp"), std::string::npos);
    EXPECT_TRUE(ui.dialogs.empty());

    // A side file that is there but cannot be read is not taken for a missing one.
    std::filesystem::create_directory(folder / "city.txt");
    map = {};
    LoadMapFromBmp(map, picture);
    EXPECT_FALSE(map.data);
    ASSERT_EQ(ui.notices.size(), 2u);
    EXPECT_NE(ui.notices[1].text.find(folder / "city.txt"), std::string::npos);
    EXPECT_EQ(ui.dialogs, std::vector<int>{CColorDepthDlg::kTemplateId});

    // A refused picture reads no side file and asks for no corners.
    testing_support::WriteFileBytes(folder / "text.bmp", {'B', 'M', 'x'});
    WriteText(folder / "text.txt", "1,2\n3,4\n");
    ui.dialogs.clear();
    map = {};
    LoadMapFromBmp(map, folder / "text.bmp");
    EXPECT_FALSE(map.data);
    EXPECT_EQ(map.topLeftLat, 0);
    EXPECT_EQ(ui.dialogs, std::vector<int>{CUnsupportedFormatDlg::kTemplateId});
}

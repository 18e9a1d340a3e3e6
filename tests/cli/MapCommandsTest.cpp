#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/BmpFixture.h"
#include "support/RunCommand.h"

using testing_support::GreyPalette;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::TempFolder;
using testing_support::WriteIndexedBmp;

namespace {

nlohmann::json List(const std::string& db, const TempFolder& folder) {
    auto listed = RunCli({"list", "--json", db}, folder);
    EXPECT_EQ(listed.status, 0) << listed.err;
    return nlohmann::json::parse(listed.out);
}

class MapCommandsTest : public ::testing::Test {
protected:
    MapCommandsTest() {
        WriteIndexedBmp(folder / "Valley.bmp", 600, 500, 1, GreyPalette(1), [](int x, int y) { return (x + y) % 2; });
        WriteIndexedBmp(folder / "Harbour.bmp", 700, 500, 8, GreyPalette(8), [](int x, int y) { return (x ^ y) & 255; });
    }
    TempFolder folder;
    std::string db = folder / "Coast.pdb";
};

}  // namespace

TEST_F(MapCommandsTest, AddCreatesTheDatabaseAndAnswersTheDialogsFromOptions) {
    auto added = RunCli({"add", db, folder / "Valley.bmp", "--top-left", "N 45 30,W 73 15", "--bottom-right",
                         "45,-73"},
                        folder);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "Valley\t600x500\t1 bit\t37.1523\t0\n");
    auto maps = List(db, folder)["maps"];
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0]["topLeftLat"], 163800000);
    EXPECT_EQ(maps[0]["topLeftLon"], -263700000);
    EXPECT_EQ(maps[0]["bottomRightLat"], 162000000);
    EXPECT_EQ(maps[0]["bottomRightLon"], -262800000);

    auto tiled = RunCli({"add", db, folder / "Harbour.bmp", "--depth", "8", "--color-table", "--compress"}, folder);
    ASSERT_EQ(tiled.status, 0) << tiled.err;
    maps = List(db, folder)["maps"];
    ASSERT_EQ(maps.size(), 10u);
    int tiles = 0;
    for (const auto& map : maps) {
        if (map["category"] == 1) {
            ++tiles;
            EXPECT_EQ(map["pixelSize"], 8);
            EXPECT_EQ(map["hasColorTable"], true);
        }
    }
    EXPECT_EQ(tiles, 9);
    EXPECT_EQ(RunCli({"check", db}, folder).status, 0);
}

TEST_F(MapCommandsTest, ASideFileWinsOverGivenCornersAndTheToolSaysSo) {
    std::ofstream(folder / "Valley.txt") << "45.5,-73.25\n44.5,-72.25\n";
    auto added = RunCli({"add", db, folder / "Valley.bmp", "--top-left", "1,1"}, folder);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_NE(added.err.find("ignored"), std::string::npos) << added.err;
    EXPECT_EQ(List(db, folder)["maps"][0]["bottomRightLon"], -260100000);
}

TEST_F(MapCommandsTest, AFailedAddSavesNothing) {
    ASSERT_EQ(RunCli({"add", db, folder / "Valley.bmp"}, folder).status, 0);
    auto before = ReadFileBytes(db);
    testing_support::WriteFileBytes(folder / "Broken.bmp", {'B', 'M', 0});
    auto failed = RunCli({"add", db, folder / "Harbour.bmp", folder / "Broken.bmp"}, folder);
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("Cannot read the picture " + folder / "Broken.bmp" + ": damaged BMP"), std::string::npos)
        << failed.err;
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_EQ(RunCli({"add", db, folder / "Valley.bmp", "--depth", "3"}, folder).status, 2);
}

// Commands started together on one database each find the others' maps.
TEST_F(MapCommandsTest, CommandsStartedTogetherLoseNothing) {
    constexpr int kCommands = 8;
    std::string line;
    for (int i = 0; i < kCommands; ++i) {
        const std::string picture = folder / ("Sheet" + std::to_string(i) + ".bmp");
        WriteIndexedBmp(picture, 64, 48, 1, GreyPalette(1), [i](int x, int y) { return (x + y + i) % 2; });
        line += testing_support::ShellQuote(std::getenv("PLANDREL_CLI")) + " add " + testing_support::ShellQuote(db) +
                " " + testing_support::ShellQuote(picture) + " --top-left 1,1 --bottom-right 0,2 >/dev/null & ";
    }
    line += "wait";
    ASSERT_EQ(testing_support::RunShell(line, folder).status, 0);
    EXPECT_EQ(List(db, folder)["maps"].size(), std::size_t{kCommands});
}

TEST_F(MapCommandsTest, EditsFindMapsByNameOrIndex) {
    ASSERT_EQ(RunCli({"add", db, folder / "Valley.bmp"}, folder).status, 0);
    EXPECT_EQ(RunCli({"set-corner", db, "Valley", "top-left-lat", "48.85"}, folder).status, 0);
    EXPECT_EQ(RunCli({"set-corner", db, "#0", "top-left-lon", "-122.5"}, folder).status, 0);
    EXPECT_EQ(RunCli({"set-corner", db, "#0", "bottom-right-lon", "12.3456789"}, folder).status, 0);
    auto map = List(db, folder)["maps"][0];
    EXPECT_EQ(map["topLeftLat"], 175860000);
    EXPECT_EQ(map["topLeftLon"], -441000000);
    EXPECT_EQ(map["bottomRightLon"], 44444444);

    EXPECT_EQ(RunCli({"rename", db, "#0", "Hill"}, folder).status, 0);
    EXPECT_EQ(List(db, folder)["maps"][0]["name"], "Hill");
    EXPECT_EQ(RunCli({"rename", db, "Hill", "A name too long"}, folder).status, 1);
    EXPECT_EQ(RunCli({"remove", db, "Valley"}, folder).status, 1);
    EXPECT_EQ(RunCli({"remove", db, "#1"}, folder).status, 1);
    EXPECT_EQ(RunCli({"remove", db, "Hill"}, folder).status, 0);
    EXPECT_EQ(ReadFileBytes(db).size(), 80u);
}

// Coordinates given on the command line are read whole and must make a box;
// anything else is refused with the reason, before the database is touched.
TEST_F(MapCommandsTest, BadCoordinatesAreRefusedAndNothingIsSaved) {
    ASSERT_EQ(RunCli({"add", db, folder / "Valley.bmp", "--top-left", "46.5,6.5", "--bottom-right", "46,7"}, folder).status, 0);
    const auto before = ReadFileBytes(db);
    struct Case {
        std::vector<std::string> args;
        const char* why;
    };
    const std::string valley = folder / "Valley.bmp";
    const Case cases[] = {
        {{"add", db, valley, "--top-left", "46,5,6,5"}, "has 4 values"},
        {{"add", db, valley, "--top-left", "46.5"}, "has 1 value;"},
        {{"add", db, valley, "--top-left", "abc,6"}, "\"abc\" is not a latitude"},
        {{"add", db, valley, "--top-left", "nan,6"}, "\"nan\" is not a latitude"},
        {{"add", db, valley, "--top-left", ",6"}, "the text is empty"},
        {{"add", db, valley, "--top-left", "N 47,6 E x"}, "cannot be read"},
        {{"add", db, valley, "--top-left", "91,6"}, "beyond 90 degrees"},
        {{"add", db, valley, "--bottom-right", "46,200"}, "beyond 180 degrees"},
        {{"add", db, valley, "--top-left", "E 6,N 46"}, "takes N or S"},
        {{"add", db, valley, "--top-left", "46,7", "--bottom-right", "47,6"}, "is not above the bottom edge"},
        {{"add", db, valley, "--top-left", "20,170"}, "not left of the right edge (10.00000)"},
        {{"set-corner", db, "#0", "top-left-lat", "46,5"}, "a point, not a comma"},
        {{"set-corner", db, "#0", "top-left-lat", ""}, "the text is empty"},
        {{"set-corner", db, "#0", "top-left-lon", "0x1A"}, "cannot be read"},
        {{"set-corner", db, "#0", "bottom-right-lon", "inf"}, "cannot be read"},
        {{"set-corner", db, "#0", "top-left-lat", "45"}, "is not above the bottom edge"},
        {{"set-corner", db, "#0", "bottom-right-lon", "W 6 30"}, "not left of the right edge"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[4]);
        auto refused = RunCli(c.args, folder);
        EXPECT_NE(refused.status, 0);
        EXPECT_NE(refused.err.find(c.why), std::string::npos) << refused.err;
        EXPECT_EQ(ReadFileBytes(db), before);
    }
    EXPECT_NE(RunCli({"add", folder / "New.pdb", valley, "--top-left", "x,1"}, folder).status, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "New.pdb"));
}

// Corners that make no sense but came from a side file are kept, warned of
// when added, and reported by check as warnings, not faults.
TEST_F(MapCommandsTest, OddCornersAreWarnedOfNotRefused) {
    std::ofstream(folder / "Valley.txt") << "45,2\n46,1\n";
    auto added = RunCli({"add", db, folder / "Valley.bmp"}, folder);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_NE(added.err.find(": the corners look wrong: the top edge (45.00000) is not above"), std::string::npos)
        << added.err;
    ASSERT_EQ(RunCli({"add", db, folder / "Harbour.bmp"}, folder).status, 0);
    auto checked = RunCli({"check", db}, folder);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_NE(checked.out.find("#0\tValley\twarning: the left edge (2.00000) is not left of"), std::string::npos)
        << checked.out;
    EXPECT_NE(checked.out.find("warning: the corners are still the defaults"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("no problems, "), std::string::npos) << checked.out;
}

TEST_F(MapCommandsTest, BeamAndExportWriteOneMap) {
    ASSERT_EQ(RunCli({"add", db, folder / "Valley.bmp"}, folder).status, 0);
    auto before = ReadFileBytes(db);
    auto beamed = testing_support::RunShell("cd " + testing_support::ShellQuote(folder.path.string()) + " && " +
                                                testing_support::ShellQuote(std::getenv("PLANDREL_CLI")) +
                                                " beam Coast.pdb Valley",
                                            folder);
    ASSERT_EQ(beamed.status, 0) << beamed.err;
    auto beam = ReadFileBytes(folder / "Essai.map");
    ASSERT_EQ(beam.size(), 38044u);
    EXPECT_EQ(beam[28], 0x02);
    EXPECT_EQ(beam[29], 0x58);
    EXPECT_EQ(ReadFileBytes(db), before);

    ASSERT_EQ(RunCli({"export", db, "#0", folder / "Valley-out.bmp"}, folder).status, 0);
    auto same = testing_support::RunShell("compare -metric AE " + testing_support::ShellQuote(folder / "Valley.bmp") +
                                              " " + testing_support::ShellQuote(folder / "Valley-out.bmp") + " null:",
                                          folder);
    EXPECT_EQ(same.err, "0") << "pixels differ";
}

TEST_F(MapCommandsTest, CheckReportsRecordsThatBreakTheRules) {
    ASSERT_EQ(RunCli({"add", db, folder / "Valley.bmp"}, folder).status, 0);
    auto bytes = ReadFileBytes(db);
    bytes[88 + 36] = 3;  // pixelSize
    bytes.resize(bytes.size() - 10);
    testing_support::WriteFileBytes(db, bytes);
    auto checked = RunCli({"check", db}, folder);
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("depth 3"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("data holds 37990 bytes, 38000 expected"), std::string::npos) << checked.out;
}

// The handheld stores names in Latin-1, one byte a character; the tool takes
// and shows them in UTF-8.
TEST_F(MapCommandsTest, NamesAreLatin1InTheFileAndUtf8ForTheUser) {
    const std::string geneva = folder / "Genève.pdb";
    const std::string picture = folder / "Zürich-Nord-Ostseite.bmp";
    WriteIndexedBmp(picture, 64, 48, 1, GreyPalette(1), [](int x, int y) { return (x + y) % 2; });
    auto added = RunCli({"add", geneva, picture}, folder);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out.substr(0, added.out.find('\t')), "Zürich-Nord");
    auto bytes = ReadFileBytes(geneva);
    EXPECT_EQ(std::string(bytes.begin() + 88, bytes.begin() + 100), std::string("Z\xFCrich-Nord\0", 12));
    auto listed = List(geneva, folder);
    EXPECT_EQ(listed["name"], "Genève");
    EXPECT_EQ(listed["maps"][0]["name"], "Zürich-Nord");

    EXPECT_EQ(RunCli({"rename", geneva, "Zürich-Nord", "Łódź-Śródmi"}, folder).status, 0);
    EXPECT_EQ(RunCli({"list", geneva}, folder).out.rfind("0\tLódz-Sródmi\t", 0), 0u);
    auto refused = RunCli({"rename", geneva, "#0", "Łódź-Śródmie"}, folder);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("at most 11 characters: Łódź-Śródmie"), std::string::npos) << refused.err;
}

// Pictures as people have them: true colour is reduced and the tool says so;
// a folder that cannot be written keeps no bitmap, and the tool says why; an
// export writes the format its name asks for.
TEST_F(MapCommandsTest, TrueColourReadOnlyFoldersAndExportFormats) {
    namespace fs = std::filesystem;
    const fs::path locked = fs::path(folder / "locked");
    fs::create_directory(locked);
    const std::string photo = (locked / "Photo.png").string();
    auto made = testing_support::RunShell("convert -seed 1 -size 48x32 plasma:fractal -depth 8 " + testing_support::ShellQuote(photo),
                                          folder);
    ASSERT_EQ(made.status, 0) << made.err;
    const fs::path shared = fs::path(folder / "shared");
    fs::create_directory(shared);
    const std::string sharedDb = (shared / "Photos.pdb").string();
    // Root writes anywhere: the command runs as the user nobody when the test runs as root.
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(shared, fs::perms::all);
    fs::permissions(fs::path(folder / ""), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    const char* cli = std::getenv("PLANDREL_CLI");
    const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    auto added = testing_support::RunShell(asUser + testing_support::ShellQuote(cli) + " add " +
                                               testing_support::ShellQuote(sharedDb) + " " +
                                               testing_support::ShellQuote(photo) + " --depth 8 --dither",
                                           folder);
    fs::permissions(locked, fs::perms::owner_all);
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_NE(added.err.find("plandrel: " + photo + ": reduced "), std::string::npos) << added.err;
    EXPECT_NE(added.err.find(" colours to 256\n"), std::string::npos) << added.err;
    EXPECT_NE(added.err.find("plandrel: " + photo + ": The bitmap " + (locked / "Photo.bmp").string() +
                             " could not be written (permission denied); the map was made from the picture itself.\n"),
              std::string::npos)
        << added.err;
    EXPECT_FALSE(fs::exists(locked / "Photo.bmp"));
    EXPECT_EQ(RunCli({"check", sharedDb}, folder).status, 0);

    struct Export {
        const char* name;
        int status;
        const char* format;  // as ImageMagick names it
    };
    for (const Export& e : {Export{"Photo.png", 0, "PNG"}, Export{"Photo.gif", 0, "GIF"},
                            Export{"Photo.jpg", 0, "JPEG"}, Export{"Photo.tif", 1, ""}}) {
        const std::string out = folder / e.name;
        auto exported = RunCli({"export", sharedDb, "Photo", out}, folder);
        EXPECT_EQ(exported.status, e.status) << e.name << exported.err;
        if (e.status == 0) {
            EXPECT_EQ(testing_support::RunShell("identify -format %m " + out, folder).out, e.format);
        } else {
            EXPECT_FALSE(fs::exists(out));
        }
    }

    auto converted = RunCli({"convert", photo, folder / "Photo-256.gif"}, folder);
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_NE(converted.err.find(" colours to 256\n"), std::string::npos) << converted.err;
}

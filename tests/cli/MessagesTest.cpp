// What the tool tells, command line by command line: the exit status (0
// success, 1 failure, 2 usage error) and the text, each error on one line
// that begins "plandrel: ".
#include <gtest/gtest.h>

#include <filesystem>

#include "mapdb/PDBDoc.h"
#include "support/BmpFixture.h"
#include "support/RunCommand.h"

using testing_support::GreyPalette;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using testing_support::WriteIndexedBmp;

namespace {

// A database of one map whose name holds a tab, a line break, a backslash and a control character.
void MakeOddlyNamedDatabase(const std::string& path) {
    mapdb::CPDBDoc doc;
    doc.OnNewDocument();
    mapdb::MapRecord map;
    map.SetName("a\tb\nc\\d\x01\x85");
    map.width = 16;
    map.height = 1;
    map.rowBytes = 2;
    map.pixelSize = 1;
    map.topLeftLat = 3600000;
    map.bottomRightLon = 3600000;
    map.data.assign(2, 0);
    doc.AddMap(map, mapdb::RecordEntry{});
    ASSERT_TRUE(doc.OnSaveDocument(path));
}

}  // namespace

TEST(CliMessages, EveryMessageSaysWhatWasWrongOnOneLine) {
    TempFolder folder;
    const std::string valley = folder / "Valley.bmp";
    WriteIndexedBmp(valley, 64, 48, 1, GreyPalette(1), [](int x, int y) { return (x + y) % 2; });
    const std::string db = folder / "Coast.pdb";
    ASSERT_EQ(RunCli({"add", db, valley, "--top-left", "1,1", "--bottom-right", "0,2"}, folder).status, 0);
    const std::string fake = folder / "fake.pdb";
    WriteFileBytes(fake, {'n', 'o', 't', ' ', 'a', ' ', 'd', 'b'});
    const std::string broken = folder / "Broken.bmp";
    WriteFileBytes(broken, {'B', 'M', 0});
    const std::string odd = folder / "Odd.pdb";
    MakeOddlyNamedDatabase(odd);
    const std::string fresh = folder / "Fresh.pdb";
    const std::string missing = folder / "missing.pdb";
    const std::string corners[] = {"--top-left", "1,1", "--bottom-right", "0,2"};

    enum Match { kWhole, kPart, kStart };
    struct Case {
        std::vector<std::string> args;
        int status;
        bool onStdout;  // the text expected, on standard output or standard error
        Match match;
        std::string text;
    };
    const std::string notADatabase = " is not a Navrello maps database (a Palm database of type maps, creator Qmvt)\n";
    const Case cases[] = {
        // Usage errors.
        {{}, 2, false, kPart, "Usage: plandrel [OPTIONS] [SUBCOMMAND]"},
        {{"--help"}, 0, true, kPart, "Subcommands:"},
        {{"frobnicate"},
         2,
         false,
         kWhole,
         "plandrel: frobnicate is not a command; the commands are new, save, list, add, remove, rename, set-corner, "
         "beam, export, check, convert\n"},
        {{"add", db, valley, "--depth", "4x"}, 2, false, kWhole, "plandrel: --depth: 4x is not one of 1, 2, 4, 8\n"},
        {{"add", db, valley, "--depth"}, 2, false, kWhole, "plandrel: --depth needs a value (1|2|4|8)\n"},
        {{"add", db, valley, "--frob"},
         2,
         false,
         kStart,
         "plandrel: --frob is not an option of add; its options are --depth, --compress,"},
        {{"add", db, valley, "--dither=maybe"}, 2, false, kWhole, "plandrel: --dither takes no value\n"},
        {{"add", db}, 2, false, kWhole, "plandrel: PICTURE is missing; usage: plandrel add [OPTIONS] DB PICTURE...\n"},
        {{"add", db, folder / "Gone.bmp"},
         2,
         false,
         kWhole,
         "plandrel: PICTURE: " + folder / "Gone.bmp" + " does not exist\n"},
        {{"list", db, "extra"},
         2,
         false,
         kWhole,
         "plandrel: unexpected argument extra; usage: plandrel list [OPTIONS] DB\n"},
        {{"list", "--json", "--geojson", db},
         2,
         false,
         kWhole,
         "plandrel: --json and --geojson cannot be given together; give one of them\n"},
        {{"list", missing}, 2, false, kWhole, "plandrel: DB: " + missing + " does not exist\n"},
        {{"check", folder.path.string()}, 2, false, kPart, " is a folder, not a file\n"},
        {{"set-corner", db, "#0", "top-left", "1"},
         2,
         false,
         kWhole,
         "plandrel: CORNER: top-left is not one of top-left-lat, top-left-lon, bottom-right-lat, bottom-right-lon\n"},
        {{"add", db, valley, "--top-left", "46,5,6,5"},
         2,
         false,
         kStart,
         "plandrel: --top-left: \"46,5,6,5\" has 4 values; LAT,LON is two values"},
        // A file that is not a database: one sentence that names it.
        {{"list", fake}, 1, false, kWhole, "plandrel: " + fake + notADatabase},
        {{"add", fake, valley}, 1, false, kWhole, "plandrel: " + fake + notADatabase},
        // A failed add: what became of the database.
        {{"add", fresh, valley, broken, corners[0], corners[1], corners[2], corners[3]},
         1,
         false,
         kPart,
         "; no picture was added and " + fresh + " was not created\n"},
        {{"add", db, broken}, 1, false, kPart, "; no picture was added, " + db + " is unchanged\n"},
        // A save that fails: no line for a map that was not stored.
        {{"add", folder / "no-such-folder/New.pdb", valley, corners[0], corners[1], corners[2], corners[3]},
         1,
         true,
         kWhole,
         ""},
        // Counts.
        {{"remove", db, "#5"}, 1, false, kWhole, "plandrel: no map #5: the database holds 1 map, #0\n"},
        {{"check", db}, 0, true, kWhole, "1 map, no problems\n"},
        // Names escaped in tab-separated lines, and only there.
        {{"list", odd}, 0, true, kStart, "0\ta\\tb\\nc\\\\d\\x01\\x85\t16x1\t"},
        {{"check", odd}, 0, true, kWhole, "1 map, no problems\n"},
        {{"list", "--json", odd}, 0, true, kPart, R"("name": "a\tb\nc\\d\u0001)"},
        // Every failure of convert says why.
        {{"convert", folder / "Gone.bmp", folder / "out.bmp"},
         1,
         false,
         kWhole,
         "plandrel: " + folder / "Gone.bmp" + ": cannot read the picture: no such file\n"},
        {{"convert", valley, folder / "out.tif"},
         1,
         false,
         kWhole,
         "plandrel: " + folder / "out.tif" + ": unknown picture type (use .bmp, .gif, .jpg or .png)\n"},
        {{"convert", valley, folder / "no-such-folder/out.bmp"}, 1, false, kPart, folder / "no-such-folder/out.bmp"},
    };
    const auto dbBefore = ReadFileBytes(db);
    for (const Case& c : cases) {
        std::string line;
        for (const auto& arg : c.args) {
            line += arg + ' ';
        }
        SCOPED_TRACE(line);
        const auto run = RunCli(c.args, folder);
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::string& text = c.onStdout ? run.out : run.err;
        switch (c.match) {
            case kWhole:
                EXPECT_EQ(text, c.text);
                break;
            case kPart:
                EXPECT_NE(text.find(c.text), std::string::npos) << text;
                break;
            case kStart:
                EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
                break;
        }
        if (c.status != 0 && !c.args.empty()) {
            // One line, the tool's name first.
            EXPECT_EQ(run.err.rfind("plandrel: ", 0), 0u) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
    }
    EXPECT_EQ(ReadFileBytes(db), dbBefore);
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

#include <gtest/gtest.h>

#include <filesystem>

#include "ImportTestSupport.h"
#include "mapdb/PDBDoc.h"
#include "support/BmpFixture.h"
#include "support/TempFolder.h"
#include "view/ImportFlow.h"
#include "view/SingleMapOutput.h"

using testing_support::GreyPalette;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteIndexedBmp;
using view_test::ScriptedAnswers;
using Imported = platform::Result<std::vector<view::ImportedMap>>;
using Strings = std::vector<std::string>;

namespace {

class CountingView : public view::MapListView {
public:
    int refreshes = 0;
    void RefreshMapList() override { ++refreshes; }
};

std::vector<std::int32_t> CornersOf(const mapdb::MapRecord& map) {
    return {map.topLeftLat, map.topLeftLon, map.bottomRightLat, map.bottomRightLon};
}

bool Names(const platform::Error& error, const std::string& path) {
    return error.message.find(path) != std::string::npos;
}

void WriteText(const std::string& path, const std::string& text) {
    testing_support::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class ImportFlowTest : public ::testing::Test {
protected:
    ImportFlowTest() { doc.OnNewDocument(); }

    void WritePicture(const std::string& name, int width, int height, int bits) {
        WriteIndexedBmp(folder / name, width, height, bits, GreyPalette(bits),
                        [](int x, int y) { return (x / 3 + y / 5) % 2; });
    }
    Imported Import(const std::string& name, int width, int height, int bits) {
        WritePicture(name, width, height, bits);
        return view::AppendMapFromBitmap(doc, &form, folder / name, answers.Answers());
    }
    void AnswerAt(unsigned depth, bool compress = false) { answers.options = {depth, compress, false}; }

    TempFolder folder;
    mapdb::CPDBDoc doc;
    CountingView form;
    ScriptedAnswers answers;
};

}  // namespace

TEST_F(ImportFlowTest, APictureThatFitsOneRecordIsOneMapOfCategoryZero) {
    auto added = Import("Valley.bmp", 600, 500, 1);
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_EQ(added->size(), 1u);
    EXPECT_EQ((*added)[0].name, "Valley");
    EXPECT_EQ((*added)[0].recordSize, 38044u);
    EXPECT_EQ((*added)[0].category, 0);
    ASSERT_EQ(doc.GetMapCount(), 1);
    EXPECT_EQ(doc.GetMap(0).rowBytes, 76);
    EXPECT_EQ(doc.GetEntry(0).attributes, 0);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(form.refreshes, 1);
    EXPECT_EQ(answers.shownWidth, 600u);
    EXPECT_EQ(answers.shownHeight, 500u);
    // The proposed corners, kept, place it from 10° N 10° W to 10° S 10° E.
    EXPECT_EQ(CornersOf(doc.GetMap(0)), (std::vector<std::int32_t>{36000000, -36000000, -36000000, 36000000}));
}

// The conversion is asked once the picture has been read; the corners only
// when no side file gives them, after the conversion. Whatever fails ends the
// import there and leaves the document as it was.
TEST_F(ImportFlowTest, QuestionsComeInOrderAndOnlyWhenNeeded) {
    enum class Side { kNone, kText, kFolder };
    enum class Bitmap { kPicture, kRefused, kMissing };
    struct Case {
        const char* name;
        Bitmap bitmap;
        Side side;
        Strings asked;
        std::vector<std::int32_t> corners;  // empty: the import fails
    };
    const Case cases[] = {
        {"typed", Bitmap::kPicture, Side::kNone, {"conversion", "corners"}, {3600000, 7200000, -10800000, -14400000}},
        {"side", Bitmap::kPicture, Side::kText, {"conversion"}, {163800000, -263700000, 160200000, -260100000}},
        {"folder", Bitmap::kPicture, Side::kFolder, {"conversion"}, {}},
        {"refused", Bitmap::kRefused, Side::kText, {}, {}},
        {"missing", Bitmap::kMissing, Side::kNone, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bitmap = folder / (std::string(c.name) + ".bmp");
        const std::string side = palm::SideFilePath(bitmap);
        if (c.bitmap == Bitmap::kPicture) {
            WriteIndexedBmp(bitmap, 6, 4, 4, GreyPalette(4), [](int x, int y) { return x + y; });
        } else if (c.bitmap == Bitmap::kRefused) {
            testing_support::WriteFileBytes(bitmap, {'B', 'M', 1, 2, 3});
        }
        if (c.side == Side::kText) {
            WriteText(side, "45.5,-73.25\n44.5,-72.25\n");
        } else if (c.side == Side::kFolder) {
            std::filesystem::create_directory(side);
        }
        mapdb::CPDBDoc fresh;
        fresh.OnNewDocument();
        CountingView view;
        ScriptedAnswers scripted;
        scripted.typed = palm::CornerTexts{"N 1", "E 2", "S 3", "W 4"};

        auto added = view::AppendMapFromBitmap(fresh, &view, bitmap, scripted.Answers());
        EXPECT_EQ(scripted.asked, c.asked);
        if (!c.corners.empty()) {
            ASSERT_TRUE(added) << added.error().message;
            ASSERT_EQ(fresh.GetMapCount(), 1);
            EXPECT_EQ(fresh.GetMap(0).GetName(), c.name);
            EXPECT_EQ(CornersOf(fresh.GetMap(0)), c.corners);
            continue;
        }
        ASSERT_FALSE(added);
        EXPECT_EQ(fresh.GetMapCount(), 0);
        EXPECT_FALSE(fresh.IsModified());
        EXPECT_EQ(view.refreshes, 0);
        if (c.bitmap == Bitmap::kRefused) {
            EXPECT_EQ(added.error().title, palm::kUnsupportedFormatTitle);
        } else {
            // The file that cannot be read is told by name.
            EXPECT_TRUE(Names(added.error(), c.bitmap == Bitmap::kMissing ? bitmap : side)) << added.error().message;
        }
    }
}

// A bitmap already in memory takes the side text it is given and never reads a side file.
TEST_F(ImportFlowTest, BitmapBytesTakeTheSideTextGiven) {
    const auto file = testing_support::IndexedBmpBytes(6, 4, 1, GreyPalette(1), [](int x, int) { return x % 2; });
    WriteText(folder / "Memory.txt", "1,1\n0,2\n");
    answers.typed = palm::CornerTexts{"N 1", "E 2", "S 3", "W 4"};
    auto added = view::AppendMapFromBitmapBytes(doc, &form, folder / "Memory.bmp", file, "45.5,-73.25\n44.5,-72.25",
                                                answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ(answers.asked, Strings{"conversion"});
    EXPECT_EQ(CornersOf(doc.GetMap(0)), (std::vector<std::int32_t>{163800000, -263700000, 160200000, -260100000}));

    added = view::AppendMapFromBitmapBytes(doc, &form, folder / "Memory.bmp", file, std::nullopt, answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ(answers.asked, (Strings{"conversion", "conversion", "corners"}));
    EXPECT_EQ(doc.GetMap(1).GetName(), "Memory");
    EXPECT_EQ(CornersOf(doc.GetMap(1)), (std::vector<std::int32_t>{3600000, 7200000, -10800000, -14400000}));
}

// A record of up to 65,536 bytes is one map of category 0; a larger one is
// tiled. A flat 256-wide 8-bit picture takes 44 + 256 bytes a row, or
// compressed 44 + 2 + 288 + 32 bytes per further row: 65,518 at 2,038 rows.
TEST_F(ImportFlowTest, TheRecordLimitDecidesBetweenOneMapAndTiles) {
    struct Case {
        int height;
        bool compress;
        std::size_t maps;
        std::uint32_t recordSize;  // of the first map
    };
    const Case cases[] = {
        {255, false, 1, 65324}, {256, false, 2, 61484}, {2038, true, 1, 65518}, {2039, true, 9, 7982},
    };
    for (const Case& c : cases) {
        const std::string name = "Flat" + std::to_string(c.height) + ".bmp";
        WriteIndexedBmp(folder / name, 256, c.height, 8, GreyPalette(8), [](int, int) { return 3; });
        AnswerAt(8, c.compress);
        auto added = view::AppendMapFromBitmap(doc, &form, folder / name, answers.Answers());
        ASSERT_TRUE(added) << added.error().message;
        ASSERT_EQ(added->size(), c.maps) << c.height;
        EXPECT_EQ(added->front().recordSize, c.recordSize) << c.height;
        EXPECT_EQ(added->front().category, c.maps == 1 ? 0 : 1 + (c.compress ? 1 : 0)) << c.height;
        EXPECT_EQ(doc.GetMap(doc.GetMapCount() - c.maps).IsCompressed(), c.compress) << c.height;
    }
}

TEST_F(ImportFlowTest, EachTiledPictureTakesTheNextFreeCategory) {
    AnswerAt(8);
    doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    EXPECT_EQ((*Import("First.bmp", 300, 300, 8))[0].category, 1);
    EXPECT_EQ((*Import("Second.bmp", 300, 300, 8))[0].category, 2);
    for (std::uint8_t c = 3; c < 16; ++c) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{0, c, {}});
    }
    const auto before = doc.GetMapCount();
    auto added = Import("Third.bmp", 300, 300, 8);
    ASSERT_FALSE(added);
    EXPECT_TRUE(Names(added.error(), folder / "Third.bmp")) << added.error().message;
    EXPECT_EQ(doc.GetMapCount(), before);
}

TEST_F(ImportFlowTest, AnImportBeyondTheMapLimitAddsNothing) {
    AnswerAt(8);
    for (std::size_t i = 0; i + 1 < mapdb::kMaxMaps; ++i) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    }
    doc.SetModifiedFlag(false);
    auto big = Import("Big.bmp", 300, 300, 8);
    ASSERT_FALSE(big);
    EXPECT_TRUE(Names(big.error(), folder / "Big.bmp")) << big.error().message;
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps - 1);
    EXPECT_FALSE(doc.IsModified());
    auto small = Import("Small.bmp", 16, 16, 8);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), 1u);
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps);
}

TEST_F(ImportFlowTest, DroppedPathsAreConvertedBesideThePictureByTheirLetters) {
    // "town.BMP" does not contain ".bmp": it is loaded by its extension and written again as town.bmp.
    WriteIndexedBmp(folder / "town.BMP", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    auto added = view::ImportBitmapFile(doc, &form, folder / "town.BMP", answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_EQ(added->size(), 1u);
    EXPECT_EQ((*added)[0].name, "town");
    EXPECT_TRUE(std::filesystem::exists(folder / "town.bmp"));

    EXPECT_EQ(*view::BitmapPathForDrop(folder / "a.bmp.gif"), folder / "a.bmp.gif");
    EXPECT_EQ(*view::BitmapPathForAdd(folder / "town.BMP"), folder / "town.BMP");
}

TEST_F(ImportFlowTest, APictureThatCannotBeLoadedIsNeverReplacedByAnOlderBitmap) {
    WriteIndexedBmp(folder / "old.bmp", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    testing_support::WriteFileBytes(folder / "old.gif", {'G', 'I', 'F'});
    auto path = view::BitmapPathForAdd(folder / "old.gif");
    ASSERT_FALSE(path);
    EXPECT_TRUE(Names(path.error(), folder / "old.gif")) << path.error().message;
    auto added = view::ImportBitmapFile(doc, &form, folder / "old.gif", answers.Answers());
    ASSERT_FALSE(added);
    EXPECT_TRUE(Names(added.error(), folder / "old.gif")) << added.error().message;
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(doc.GetMapCount(), 0);
}

TEST_F(ImportFlowTest, BeamWritesTheStoredRecordAndLeavesTheDocumentAlone) {
    ASSERT_TRUE(Import("Valley.bmp", 600, 500, 1));
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb"));
    ASSERT_TRUE(view::BeamMap(doc.GetMap(0), folder / "Essai.map"));
    auto beam = ReadFileBytes(folder / "Essai.map");
    ASSERT_EQ(beam.size(), 38044u);
    EXPECT_EQ(beam[28], 0x02);
    EXPECT_EQ(beam[29], 0x58);
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb"));
    auto after = ReadFileBytes(folder / "Before.pdb");
    EXPECT_TRUE(std::equal(beam.begin(), beam.end(), after.end() - 38044));

    EXPECT_FALSE(view::BeamMap(doc.GetMap(0), folder / "no-such-folder/Essai.map"));
}

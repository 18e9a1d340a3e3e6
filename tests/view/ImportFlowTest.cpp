#include <gtest/gtest.h>

#include "ImportTestSupport.h"
#include "mapdb/PDBDoc.h"
#include "support/BmpFixture.h"
#include "support/TempFolder.h"
#include "view/ImportFlow.h"
#include "view/SingleMapOutput.h"

using testing_support::GreyPalette;
using testing_support::ImportAnswers;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteIndexedBmp;

namespace {

class CountingView : public view::MapListView {
public:
    int refreshes = 0;
    void RefreshMapList() override { ++refreshes; }
};

class ImportFlowTest : public ::testing::Test, public testing_support::WithScriptedUi {
protected:
    ImportFlowTest() { doc.OnNewDocument(); }

    std::vector<view::ImportedMap> Import(const std::string& name, int width, int height, int bits,
                                          const ImportAnswers& answers) {
        WriteIndexedBmp(folder / name, width, height, bits, GreyPalette(bits),
                        [](int x, int y) { return (x / 3 + y / 5) % 2; });
        answers.Install(ui);
        return view::AppendMapFromBitmap(doc, &form, folder / name);
    }

    TempFolder folder;
    mapdb::CPDBDoc doc;
    CountingView form;
};

}  // namespace

TEST_F(ImportFlowTest, APictureThatFitsOneRecordIsOneMapOfCategoryZero) {
    auto added = Import("Valley.bmp", 600, 500, 1, ImportAnswers{});
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].name, "Valley");
    EXPECT_EQ(added[0].recordSize, 38044u);
    EXPECT_EQ(added[0].category, 0);
    ASSERT_EQ(doc.GetMapCount(), 1);
    EXPECT_EQ(doc.GetMap(0).rowBytes, 76);
    EXPECT_EQ(doc.GetEntry(0).attributes, 0);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(form.refreshes, 1);
    // The coordinates dialog's texts, unchanged, place it from 10° N 10° W to 10° S 10° E.
    EXPECT_EQ(doc.GetMap(0).topLeftLat, 36000000);
    EXPECT_EQ(doc.GetMap(0).bottomRightLon, 36000000);
}

TEST_F(ImportFlowTest, TheRecordLimitDecidesBetweenOneMapAndTiles) {
    EXPECT_EQ(Import("Exact.bmp", 256, 255, 8, ImportAnswers::At(8)).size(), 1u);
    auto tiles = Import("Over.bmp", 256, 256, 8, ImportAnswers::At(8));
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0].name, "Over0-0");
    EXPECT_EQ(tiles[0].height, 240);
    EXPECT_EQ(tiles[1].name, "Over0-1");
    EXPECT_EQ(tiles[1].height, 16);
    EXPECT_EQ(tiles[0].category, 1);
}

TEST_F(ImportFlowTest, CompressionThatMakesAPictureFitKeepsItWhole) {
    auto added = Import("Flat.bmp", 400, 400, 8, ImportAnswers::At(8, true));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_TRUE(doc.GetMap(0).IsCompressed());
    EXPECT_LE(added[0].recordSize, view::kRecordLimit);
}

// A flat picture compresses to the least its size allows: a 256-wide 8-bit one
// to 44 + 2 + 288 + 32 bytes per further row, 65,518 at 2,038 rows, 65,550 at 2,039.
TEST_F(ImportFlowTest, ACompressedRecordAtTheLimitIsKeptWholeAndOneRowMoreIsTiled) {
    for (int height : {2038, 2039}) {
        const std::string name = "Flat" + std::to_string(height) + ".bmp";
        WriteIndexedBmp(folder / name, 256, height, 8, GreyPalette(8), [](int, int) { return 3; });
        ImportAnswers::At(8, true).Install(ui);
        auto added = view::AppendMapFromBitmap(doc, &form, folder / name);
        if (height == 2038) {
            ASSERT_EQ(added.size(), 1u);
            EXPECT_EQ(added[0].recordSize, 65518u);
        } else {
            EXPECT_EQ(added.size(), 9u);
        }
    }
}

TEST_F(ImportFlowTest, EachTiledPictureTakesTheNextFreeCategory) {
    doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    EXPECT_EQ(Import("First.bmp", 300, 300, 8, ImportAnswers::At(8))[0].category, 1);
    EXPECT_EQ(Import("Second.bmp", 300, 300, 8, ImportAnswers::At(8))[0].category, 2);
    for (std::uint8_t c = 3; c < 16; ++c) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{0, c, {}});
    }
    const auto before = doc.GetMapCount();
    ui.notices.clear();
    EXPECT_TRUE(Import("Third.bmp", 300, 300, 8, ImportAnswers::At(8)).empty());
    EXPECT_EQ(doc.GetMapCount(), before);
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_NE(ui.notices[0].text.find("Third.bmp"), std::string::npos);
}

TEST_F(ImportFlowTest, AnImportBeyondTheMapLimitAddsNothing) {
    for (std::size_t i = 0; i + 1 < mapdb::kMaxMaps; ++i) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    }
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(Import("Big.bmp", 300, 300, 8, ImportAnswers::At(8)).empty());
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps - 1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(Import("Small.bmp", 16, 16, 8, ImportAnswers::At(8)).size(), 1u);
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps);
}

TEST_F(ImportFlowTest, ARefusedPictureChangesNothing) {
    testing_support::WriteFileBytes(folder / "Broken.bmp", {'B', 'M', 1, 2, 3});
    EXPECT_TRUE(view::AppendMapFromBitmap(doc, &form, folder / "Broken.bmp").empty());
    EXPECT_EQ(doc.GetMapCount(), 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(form.refreshes, 0);
    EXPECT_EQ(ui.dialogs, std::vector<int>{palm::CUnsupportedFormatDlg::kTemplateId});
}

TEST_F(ImportFlowTest, DroppedPathsAreConvertedBesideThePictureByTheirLetters) {
    // "town.BMP" does not contain ".bmp": it is loaded by its extension and written again as town.bmp.
    WriteIndexedBmp(folder / "town.BMP", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    ImportAnswers{}.Install(ui);
    auto added = view::ImportBitmapFile(doc, &form, folder / "town.BMP");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].name, "town");
    EXPECT_TRUE(std::filesystem::exists(folder / "town.bmp"));

    EXPECT_EQ(view::BitmapPathForDrop(folder / "a.bmp.gif"), folder / "a.bmp.gif");
    EXPECT_EQ(view::BitmapPathForAdd(folder / "town.BMP"), folder / "town.BMP");
}

TEST_F(ImportFlowTest, APictureThatCannotBeLoadedIsNeverReplacedByAnOlderBitmap) {
    WriteIndexedBmp(folder / "old.bmp", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    testing_support::WriteFileBytes(folder / "old.gif", {'G', 'I', 'F'});
    EXPECT_FALSE(view::BitmapPathForAdd(folder / "old.gif"));
    EXPECT_TRUE(view::ImportBitmapFile(doc, &form, folder / "old.gif").empty());
    EXPECT_EQ(doc.GetMapCount(), 0);
    ASSERT_FALSE(ui.notices.empty());
    EXPECT_NE(ui.notices.back().text.find("old.gif"), std::string::npos);
}

TEST_F(ImportFlowTest, BeamWritesTheStoredRecordAndLeavesTheDocumentAlone) {
    Import("Valley.bmp", 600, 500, 1, ImportAnswers{});
    std::string error;
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb", error)) << error;
    ASSERT_TRUE(view::BeamMap(doc.GetMap(0), folder / "Essai.map"));
    auto beam = ReadFileBytes(folder / "Essai.map");
    ASSERT_EQ(beam.size(), 38044u);
    EXPECT_EQ(beam[28], 0x02);
    EXPECT_EQ(beam[29], 0x58);
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb", error)) << error;
    auto after = ReadFileBytes(folder / "Before.pdb");
    EXPECT_TRUE(std::equal(beam.begin(), beam.end(), after.end() - 38044));

    EXPECT_FALSE(view::BeamMap(doc.GetMap(0), folder / "no-such-folder/Essai.map"));
}

#include <gtest/gtest.h>

#include <filesystem>

#include "mapdb/PDBDoc.h"
#include "support/TempFolder.h"

using namespace mapdb;

namespace {

MapRecord Map(const std::string& name, std::uint16_t height, std::int32_t top, std::int32_t bottom) {
    MapRecord map;
    map.SetName(name);
    map.height = height;
    map.topLeftLat = top;
    map.bottomRightLat = bottom;
    return map;
}

std::vector<std::string> Names(const CPDBDoc& doc) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        names.push_back(doc.GetMap(i).GetName());
    }
    return names;
}

}  // namespace

TEST(CPDBDoc, NewDocumentIsAnEmptyMapsDatabaseDatedNow) {
    CPDBDoc doc;
    doc.SetClock([] { return 1234u; });
    ASSERT_TRUE(doc.OnNewDocument());
    const auto& header = doc.GetHeader();
    EXPECT_EQ(header.name[0], '\0');
    EXPECT_EQ(header.creationDate, 1234u);
    EXPECT_EQ(header.modificationDate, 1234u);
    EXPECT_EQ(std::string(header.type.data(), 4), "maps");
    EXPECT_EQ(std::string(header.creator.data(), 4), "Qmvt");
    EXPECT_EQ(doc.GetMapCount(), 0);
}

TEST(CPDBDoc, SortsByRowsPerDegreeOfLatitude) {
    CPDBDoc doc;
    doc.AddMap(Map("Town", 240, 36000, 0), {});
    doc.AddMap(Map("Street", 480, 36000, 0), {});
    doc.AddMap(Map("Region", 100, 36000, 0), {});
    doc.SortByScale();
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Region", "Town", "Street"}));
}

TEST(CPDBDoc, SortIsStableAndPutsUndefinedKeysLast) {
    CPDBDoc doc;
    doc.AddMap(Map("Flat", 10, 5, 5), {});     // span 0: +infinity
    doc.AddMap(Map("Nothing", 0, 5, 5), {});   // 0 / 0: no key
    doc.AddMap(Map("A", 100, 1000, 0), {});
    doc.AddMap(Map("Upside", 100, 0, 1000), {});  // negative key
    doc.AddMap(Map("B", 100, 1000, 0), {});
    doc.AddMap(Map("Nothing2", 0, 7, 7), {});
    for (int round = 0; round < 3; ++round) {
        doc.SortByScale();
        EXPECT_EQ(Names(doc), (std::vector<std::string>{"Upside", "A", "B", "Flat", "Nothing", "Nothing2"}));
    }
}

TEST(CPDBDoc, SortMovesEntriesWithTheirMaps) {
    CPDBDoc doc;
    doc.AddMap(Map("Big", 480, 36000, 0), RecordEntry{0, 2, {1, 1, 1}});
    doc.AddMap(Map("Small", 100, 36000, 0), RecordEntry{0, 5, {2, 2, 2}});
    doc.SortByScale();
    EXPECT_EQ(doc.GetMap(0).GetName(), "Small");
    EXPECT_EQ(doc.GetEntry(0).attributes, 5);
    EXPECT_EQ(doc.GetEntry(1).uniqueID[0], 1);
}

TEST(CPDBDoc, RemovingMovesLaterMapsAndEntriesDown) {
    CPDBDoc doc;
    doc.AddMap(Map("A", 1, 1, 0), RecordEntry{0, 1, {1, 0, 0}});
    doc.AddMap(Map("B", 1, 1, 0), RecordEntry{0, 2, {2, 0, 0}});
    doc.AddMap(Map("C", 1, 1, 0), RecordEntry{0, 3, {3, 0, 0}});
    doc.RemoveMap(0);
    EXPECT_EQ(doc.GetMapCount(), 2);
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(doc.GetEntry(0).attributes, 2);
    EXPECT_EQ(doc.GetEntry(1).uniqueID[0], 3);
    doc.RemoveMap(1);
    doc.RemoveMap(0);
    EXPECT_EQ(doc.GetMapCount(), 0);
}

TEST(CPDBDoc, RenameAndCornerChangeOnlyTheirField) {
    CPDBDoc doc;
    doc.AddMap(Map("A", 1, 1, 0), {});
    doc.RenameMap(0, "A much longer name");
    doc.SetMapCorner(0, Corner::BottomRightLon, -441000000);
    doc.SetMapCorner(0, Corner::TopLeftLat, 175860000);
    EXPECT_EQ(doc.GetMap(0).GetName(), "A much long");
    EXPECT_EQ(doc.GetMap(0).bottomRightLon, -441000000);
    EXPECT_EQ(doc.GetMap(0).topLeftLat, 175860000);
    EXPECT_EQ(doc.GetMap(0).height, 1);
}

TEST(CPDBDoc, AddingBeyondTheLastCountableMapIsRefused) {
    CPDBDoc doc;
    for (std::size_t i = 0; i < kMaxMaps; ++i) {
        ASSERT_TRUE(doc.AddMap(MapRecord{}, {}));
    }
    EXPECT_EQ(doc.GetMapCount(), 65535);
    EXPECT_FALSE(doc.AddMap(MapRecord{}, {}));
    EXPECT_EQ(doc.GetMapCount(), 65535);
}

TEST(CPDBDoc, AFailedSaveLeavesTheDocumentAsItWasAndTellsNoView) {
    class CountingView : public platform::CView {
    public:
        int updates = 0;
        void OnUpdate(platform::CView*) override { ++updates; }
    };
    testing_support::TempFolder folder;
    CPDBDoc doc;
    doc.SetClock([] { return 42u; });
    doc.OnNewDocument();
    doc.AddMap(Map("Big", 480, 36000, 0), RecordEntry{0, 1, {}});
    doc.AddMap(Map("Small", 100, 36000, 0), RecordEntry{0, 2, {}});
    doc.SetClock([] { return 43u; });
    CountingView view;
    doc.AddView(&view);
    std::filesystem::create_directory(folder / "Full.pdb");
    EXPECT_FALSE(doc.OnSaveDocument(folder / "Full.pdb"));
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Big", "Small"}));
    EXPECT_EQ(doc.GetHeader().modificationDate, 42u);
    EXPECT_EQ(doc.GetHeader().name[0], '\0');
    EXPECT_EQ(doc.GetEntry(1).offset, 0u);
    EXPECT_EQ(view.updates, 0);

    ASSERT_TRUE(doc.OnSaveDocument(folder / "Saved.pdb"));
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Small", "Big"}));
    EXPECT_EQ(view.updates, 1);
}

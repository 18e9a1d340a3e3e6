#include <gtest/gtest.h>

#include "mapdb/PDBDoc.h"
#include "support/ScriptedUserInterface.h"

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

// Writes through an archive that fails after a given number of bytes.
class FailingArchive : public platform::MemoryArchive {
public:
    explicit FailingArchive(std::size_t limit) : limit(limit) { SetFileTitle("Broken.pdb"); }
    void Write(const void* buffer, std::size_t count) override {
        if (GetPosition() + count > limit) {
            throw platform::ArchiveError("disk full");
        }
        MemoryArchive::Write(buffer, count);
    }

private:
    std::size_t limit;
};

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

TEST(CPDBDoc, AWriteFailingAtAnyByteLeavesTheDocumentAsItWas) {
    testing_support::WithScriptedUi scripted;
    CPDBDoc doc;
    doc.SetClock([] { return 42u; });
    doc.OnNewDocument();
    MapRecord big = Map("Big", 2, 36000, 0);
    big.rowBytes = 2;
    big.data = std::vector<std::uint8_t>{1, 2, 3, 4};
    doc.AddMap(big, RecordEntry{0, 1, {}});
    doc.AddMap(Map("Small", 1, 36000, 0), RecordEntry{0, 2, {}});

    platform::MemoryArchive complete;
    complete.SetFileTitle("Broken.pdb");
    doc.SetClock([] { return 43u; });
    CPDBDoc reference;
    {
        // The bytes a successful save would write, from an identical document.
        reference.SetClock([] { return 42u; });
        reference.OnNewDocument();
        reference.SetClock([] { return 43u; });
        reference.AddMap(big, RecordEntry{0, 1, {}});
        reference.AddMap(Map("Small", 1, 36000, 0), RecordEntry{0, 2, {}});
        std::string error;
        ASSERT_TRUE(reference.SaveThrough(complete, error));
    }
    for (std::size_t limit = 0; limit < complete.Bytes().size(); ++limit) {
        FailingArchive archive(limit);
        std::string error;
        EXPECT_FALSE(doc.SaveThrough(archive, error));
        EXPECT_EQ(error, "disk full");
        EXPECT_EQ(doc.GetHeader().modificationDate, 42u);
        EXPECT_EQ(doc.GetHeader().name[0], '\0');
        EXPECT_EQ(Names(doc), (std::vector<std::string>{"Big", "Small"}));
        EXPECT_EQ(doc.GetEntry(0).attributes, 1);
        EXPECT_EQ(doc.GetEntry(0).offset, 0u);
    }
    platform::MemoryArchive again;
    again.SetFileTitle("Broken.pdb");
    std::string error;
    ASSERT_TRUE(doc.SaveThrough(again, error));
    EXPECT_EQ(again.Bytes(), complete.Bytes());
}

TEST(CPDBDoc, AFailureAtTheLastStepOfASaveLeavesTheDocumentAsItWas) {
    // Writes to a file are buffered: a full disk often shows only when the file is
    // flushed, after every map has been written. That failure too gives the
    // document back unsorted, with its old date and offsets, and tells no view.
    class FailingFlush : public platform::MemoryArchive {
    public:
        void Flush() override { throw platform::ArchiveError("disk full"); }
    };
    class CountingView : public platform::CView {
    public:
        int updates = 0;
        void OnUpdate(platform::CView*) override { ++updates; }
    };
    testing_support::WithScriptedUi scripted;
    CPDBDoc doc;
    doc.SetClock([] { return 42u; });
    doc.OnNewDocument();
    doc.AddMap(Map("Big", 480, 36000, 0), RecordEntry{0, 1, {}});
    doc.AddMap(Map("Small", 100, 36000, 0), RecordEntry{0, 2, {}});
    doc.SetClock([] { return 43u; });
    CountingView view;
    doc.AddView(&view);
    FailingFlush archive;
    archive.SetFileTitle("Full.pdb");
    std::string error;
    EXPECT_FALSE(doc.SaveThrough(archive, error));
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(Names(doc), (std::vector<std::string>{"Big", "Small"}));
    EXPECT_EQ(doc.GetHeader().modificationDate, 42u);
    EXPECT_EQ(doc.GetEntry(1).offset, 0u);
    EXPECT_EQ(view.updates, 0);
}

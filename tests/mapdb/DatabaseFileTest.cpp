#include <gtest/gtest.h>

#include "mapdb/PDBDoc.h"
#include "platform/ByteOrder.h"
#include "support/TempFolder.h"

using namespace mapdb;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

constexpr std::uint32_t kOctober2000 = 970358400;  // 2000-10-01 00:00:00 UTC

MapRecord DotMap() {
    MapRecord map;
    map.SetName("Dot");
    map.topLeftLat = 36000000;
    map.topLeftLon = -36000000;
    map.bottomRightLat = -36000000;
    map.bottomRightLon = 36000000;
    map.width = 16;
    map.height = 2;
    map.rowBytes = 2;
    map.pixelSize = 1;
    map.data = std::vector<std::uint8_t>{0xFF, 0xFF, 0x00, 0x00};
    return map;
}

class DatabaseFileTest : public ::testing::Test {
protected:
    DatabaseFileTest() {
        doc.SetClock([] { return kOctober2000; });
        doc.OnNewDocument();
    }

    std::vector<std::uint8_t> SaveAs(const std::string& name) {
        auto saved = doc.OnSaveDocument(folder / name);
        EXPECT_TRUE(saved) << saved.error().message;
        return ReadFileBytes(folder / name);
    }

    bool ReadBytes(const std::vector<std::uint8_t>& bytes) { return doc.ReadDatabase(bytes).has_value(); }

    testing_support::TempFolder folder;
    CPDBDoc doc;
};

}  // namespace

TEST_F(DatabaseFileTest, EmptyDatabaseIsEightyBytesAndReadsBackEmpty) {
    auto bytes = SaveAs("Empty.pdb");
    ASSERT_EQ(bytes.size(), 80u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data()), 6), std::string("Empty\0", 6));
    EXPECT_EQ(platform::ReadBE16(bytes.data() + 34), 0);   // version
    EXPECT_EQ(platform::ReadBE16(bytes.data() + 76), 0);   // numRecords
    EXPECT_EQ(bytes[78], 0);
    EXPECT_EQ(bytes[79], 0);
    ASSERT_TRUE(ReadBytes(bytes));
    EXPECT_EQ(doc.GetMapCount(), 0);
}

TEST_F(DatabaseFileTest, TinyDatabaseIsByteExact) {
    ASSERT_TRUE(doc.AddMap(DotMap(), RecordEntry{}));
    auto bytes = SaveAs("Tiny.pdb");
    ASSERT_EQ(bytes.size(), 136u);
    const std::vector<std::pair<std::size_t, std::vector<std::uint8_t>>> expected = {
        {0, {0x54, 0x69, 0x6E, 0x79, 0x00}},
        {32, {0, 0, 0, 0}},
        {36, {0x39, 0xD6, 0x7E, 0x80, 0x39, 0xD6, 0x7E, 0x80}},
        {44, std::vector<std::uint8_t>(16, 0)},
        {60, {'m', 'a', 'p', 's', 'Q', 'm', 'v', 't'}},
        {68, std::vector<std::uint8_t>(8, 0)},
        {76, {0x00, 0x01, 0x00, 0x00, 0x00, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {88, {0x44, 0x6F, 0x74, 0x00}},
        {100, {0x02, 0x25, 0x51, 0x00, 0xFD, 0xDA, 0xAF, 0x00, 0xFD, 0xDA, 0xAF, 0x00, 0x02, 0x25, 0x51, 0x00}},
        {116, {0x00, 0x10, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {132, {0xFF, 0xFF, 0x00, 0x00}},
    };
    for (const auto& [offset, want] : expected) {
        for (std::size_t k = 0; k < want.size(); ++k) {
            EXPECT_EQ(bytes[offset + k], want[k]) << "at offset " << offset + k;
        }
    }
    EXPECT_EQ(platform::ReadBE32(bytes.data() + 40), kOctober2000);

    CPDBDoc other;
    ASSERT_TRUE(ReadBytes(bytes));
    ASSERT_EQ(doc.GetMapCount(), 1);
    EXPECT_EQ(doc.GetMap(0).GetName(), "Dot");
    EXPECT_EQ(doc.GetMap(0).bottomRightLat, -36000000);
    EXPECT_EQ(doc.GetMap(0).data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0, 0}));
}

TEST_F(DatabaseFileTest, OneMapOfSixteenBySixteenMakesA164ByteFile) {
    MapRecord map = DotMap();
    map.height = 16;
    map.data = std::vector<std::uint8_t>(32, 0x5A);
    doc.AddMap(map, RecordEntry{});
    auto bytes = SaveAs("One.pdb");
    EXPECT_EQ(bytes.size(), 164u);
    EXPECT_EQ(platform::ReadBE32(bytes.data() + 78), 88u);
}

TEST_F(DatabaseFileTest, NameIsTheTitleCutBeforeItsFirstDot) {
    SaveAs("Road.map.pdb");
    EXPECT_STREQ(doc.GetHeader().name.data(), "Road");
    auto bytes = SaveAs(std::string(40, 'L') + ".pdb");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data())), std::string(31, 'L'));
    EXPECT_EQ(bytes[31], 0);
}

// The handheld reads the name in Latin-1: the title is converted, then cut.
TEST_F(DatabaseFileTest, NameIsTheTitleInLatin1) {
    SaveAs("Genève.pdb");
    EXPECT_STREQ(doc.GetHeader().name.data(), "Gen\xE8ve");
    auto bytes = SaveAs(std::string(30, 'L') + "éa.pdb");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.data())), std::string(30, 'L') + "\xE9");
}

TEST_F(DatabaseFileTest, ForeignFilesAreRefusedAsTheWrongFile) {
    auto bytes = SaveAs("Good.pdb");
    bytes[67] = 'x';  // creator "Qmvx"
    auto refused = doc.ReadDatabase(bytes);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().title, "Wrong file");
    EXPECT_EQ(refused.error().message, "This is not a valid\nNavrello maps DataBase.");
    EXPECT_EQ(doc.GetMapCount(), 0);
}

TEST_F(DatabaseFileTest, ShortAndInconsistentFilesAreRefusedLikeForeignOnes) {
    doc.AddMap(DotMap(), RecordEntry{});
    doc.AddMap(DotMap(), RecordEntry{});
    const auto good = SaveAs("Two.pdb");  // entries at 96 and 144, file of 192 bytes
    std::vector<std::vector<std::uint8_t>> bad = {
        {},                                      // zero-length file
        {good.begin(), good.begin() + 50},      // ends inside the header
        {good.begin(), good.begin() + 90},      // ends inside the record list
        {good.begin(), good.begin() + 120},     // ends inside the second map's fields
    };
    auto offsetBefore = good;
    platform::WriteBE32(offsetBefore.data() + 78, 90);  // entry 0 before the end of the list
    bad.push_back(offsetBefore);
    auto beyond = good;
    platform::WriteBE32(beyond.data() + 86, 5000);  // entry 1 beyond the end of the file
    bad.push_back(beyond);
    auto backwards = good;
    platform::WriteBE32(backwards.data() + 86, 100);  // entry 1 inside map 0's fields
    bad.push_back(backwards);

    for (std::size_t k = 0; k < bad.size(); ++k) {
        auto refused = doc.ReadDatabase(bad[k]);
        ASSERT_FALSE(refused) << "case " << k;
        EXPECT_EQ(refused.error().title, "Wrong file") << "case " << k;
        EXPECT_EQ(doc.GetMapCount(), 0) << "case " << k;
    }
}

TEST_F(DatabaseFileTest, ARefusedOpenLeavesANewUntitledDatabase) {
    WriteFileBytes(folder / "picture.pdb", {'B', 'M', 0, 0});
    doc.AddMap(DotMap(), RecordEntry{});
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnOpenDocument(folder / "picture.pdb"));
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(doc.GetMapCount(), 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(std::string(doc.GetHeader().type.data(), 4), "maps");
}

TEST_F(DatabaseFileTest, TrailingBytesJoinTheLastMapAndAreDroppedOnSave) {
    doc.AddMap(DotMap(), RecordEntry{});
    auto bytes = SaveAs("Tiny.pdb");
    bytes.insert(bytes.end(), {1, 2, 3});
    ASSERT_TRUE(ReadBytes(bytes));
    EXPECT_EQ(doc.GetMap(0).data.size(), 7u);
    EXPECT_EQ(SaveAs("Tiny.pdb").size(), 136u);
}

// The program never writes application-info or sort-info blocks, so it
// never claims one: a foreign database's blocks are skipped and dropped.
TEST_F(DatabaseFileTest, InfoBlocksAreSkippedAndTheirOffsetsNotKept) {
    doc.AddMap(DotMap(), RecordEntry{});
    auto bytes = SaveAs("Tiny.pdb");
    // Put two 6-byte blocks between the two zero bytes and the record.
    bytes.insert(bytes.begin() + 88, {9, 9, 9, 9, 9, 9, 8, 8, 8, 8, 8, 8});
    platform::WriteBE32(bytes.data() + 52, 88);
    platform::WriteBE32(bytes.data() + 56, 94);
    platform::WriteBE32(bytes.data() + 78, 100);
    ASSERT_TRUE(ReadBytes(bytes));
    EXPECT_EQ(doc.GetMap(0).GetName(), "Dot");
    auto saved = SaveAs("Tiny.pdb");
    EXPECT_EQ(saved.size(), 136u);
    EXPECT_EQ(platform::ReadBE32(saved.data() + 52), 0u);
    EXPECT_EQ(platform::ReadBE32(saved.data() + 56), 0u);
}

TEST_F(DatabaseFileTest, EntriesKeepTheirAttributesAndUniqueIDs) {
    doc.AddMap(DotMap(), RecordEntry{0, 0x53, {1, 2, 3}});
    auto bytes = SaveAs("Tiny.pdb");
    EXPECT_EQ(bytes[82], 0x53);
    EXPECT_EQ(bytes[83], 1);
    EXPECT_EQ(bytes[85], 3);
    ASSERT_TRUE(ReadBytes(bytes));
    EXPECT_EQ(doc.GetEntry(0).attributes, 0x53);
    EXPECT_EQ(doc.GetEntry(0).uniqueID[1], 2);
}

TEST_F(DatabaseFileTest, AMapWithShorterDataThanItsSizeRulesIsPaddedWithZeros) {
    MapRecord map = DotMap();
    map.data = std::vector<std::uint8_t>{0xAA};
    doc.AddMap(map, RecordEntry{});
    auto bytes = SaveAs("Tiny.pdb");
    ASSERT_EQ(bytes.size(), 136u);
    EXPECT_EQ(bytes[132], 0xAA);
    EXPECT_EQ(bytes[133], 0);
    EXPECT_EQ(bytes[135], 0);
}

TEST_F(DatabaseFileTest, FailedSaveLeavesOldFileAndDocumentUnchanged) {
    MapRecord street = DotMap();
    street.SetName("Street");
    street.height = 480;
    street.topLeftLat = 36000;
    street.bottomRightLat = 0;
    street.data = std::vector<std::uint8_t>(960, 0);
    doc.AddMap(street, RecordEntry{});
    doc.AddMap(DotMap(), RecordEntry{});
    auto old = SaveAs("Keep.pdb");
    doc.AddMap(DotMap(), RecordEntry{0, 7, {}});
    doc.RenameMap(0, "Street");

    // A file the save cannot replace: the target is a folder.
    std::filesystem::create_directory(folder / "dir.pdb");
    auto failed = doc.OnSaveDocument(folder / "dir.pdb");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message, "Cannot save dir.pdb: it is a folder");
    EXPECT_EQ(ReadFileBytes(folder / "Keep.pdb"), old);
}

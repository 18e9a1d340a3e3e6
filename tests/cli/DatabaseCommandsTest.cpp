#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mapdb/PDBDoc.h"
#include "support/RunCommand.h"

using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::TempFolder;

namespace {

void MakeDatabaseWithTwoMaps(const std::string& path) {
    mapdb::CPDBDoc doc;
    doc.OnNewDocument();
    mapdb::MapRecord map;
    map.SetName("Zurich");
    map.width = 600;
    map.height = 500;
    map.rowBytes = 76;
    map.pixelSize = 1;
    map.topLeftLat = 175860000;
    map.topLeftLon = -441000000;
    map.bottomRightLat = -36;
    map.bottomRightLon = 36000000;
    map.data.assign(38000, 0);
    doc.AddMap(map, mapdb::RecordEntry{0, 0x13, {0, 1, 2}});
    map.SetName("Basel");
    map.pixelSize = 3;
    map.flags = mapdb::kCompressed | mapdb::kHasColorTable;
    map.data = std::vector<std::uint8_t>{0, 0, 0, 4, 0, 0};
    doc.AddMap(map, mapdb::RecordEntry{});
    ASSERT_TRUE(doc.OnSaveDocument(path));
}

}  // namespace

TEST(CliDatabase, NewMakesAnEmptyDatabaseAndRefusesToReplaceOne) {
    TempFolder folder;
    auto path = folder / "Fresh.pdb";
    auto made = RunCli({"new", path}, folder);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(ReadFileBytes(path).size(), 80u);

    auto again = RunCli({"new", path}, folder);
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.rfind("plandrel: ", 0), 0u) << again.err;
    EXPECT_EQ(RunCli({"new", "--force", path}, folder).status, 0);
}

TEST(CliDatabase, ListShowsEveryMapAsTextAndJson) {
    TempFolder folder;
    auto path = folder / "Swiss.pdb";
    MakeDatabaseWithTwoMaps(path);

    auto text = RunCli({"list", path}, folder);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "0\tZurich\t600x500\t1 bit\t-\t37.1523\t48.85000\t-122.50000\t-0.00001\t10.00000\t3\n"
              "1\tBasel\t600x500\tError\tcompressed,table\t0.0488281\t48.85000\t-122.50000\t-0.00001\t10.00000\t0\n");

    auto json = RunCli({"list", "--json", path}, folder);
    ASSERT_EQ(json.status, 0) << json.err;
    auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["name"], "Swiss");
    EXPECT_EQ(parsed["type"], "maps");
    EXPECT_EQ(parsed["creator"], "Qmvt");
    EXPECT_EQ(parsed["numRecords"], 2);
    const auto& zurich = parsed["maps"][0];
    EXPECT_EQ(zurich["name"], "Zurich");
    EXPECT_EQ(zurich["recordSize"], 38044);
    EXPECT_EQ(zurich["bottomRightLat"], -36);
    EXPECT_EQ(zurich["attributes"], 0x13);
    EXPECT_EQ(zurich["category"], 3);
    EXPECT_EQ(zurich["uniqueID"], 0x000102);
    EXPECT_EQ(zurich["compressed"], false);
    EXPECT_EQ(parsed["maps"][1]["hasColorTable"], true);
}

TEST(CliDatabase, SaveRewritesOrSavesAsAnotherName) {
    TempFolder folder;
    auto path = folder / "Swiss.pdb";
    MakeDatabaseWithTwoMaps(path);
    auto saved = RunCli({"save", path, folder / "Copy.more.pdb"}, folder);
    ASSERT_EQ(saved.status, 0) << saved.err;
    auto copy = ReadFileBytes(folder / "Copy.more.pdb");
    ASSERT_EQ(copy.size(), ReadFileBytes(path).size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.data())), "Copy");
    EXPECT_EQ(RunCli({"save", path}, folder).status, 0);
}

// What the tool writes for GIS programs, read back by GDAL's own tools: the
// world file and .prj beside an export, and the maps' outlines as GeoJSON.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/BmpFixture.h"
#include "support/RunCommand.h"

using testing_support::RunCli;
using testing_support::RunShell;
using testing_support::ShellQuote;
using testing_support::TempFolder;

namespace {

class GeoOutputsTest : public ::testing::Test {
protected:
    GeoOutputsTest() {
        testing_support::WriteIndexedBmp(folder / "Lake.bmp", 60, 40, 8, testing_support::GreyPalette(8),
                                         [](int x, int y) { return (x * 4 + y) & 255; });
        EXPECT_EQ(RunCli({"add", db, folder / "Lake.bmp", "--depth", "8", "--top-left", "46.5,6.5", "--bottom-right",
                          "46.3,6.8"},
                         folder)
                      .status,
                  0);
    }
    nlohmann::json GdalInfo(const std::string& path) {
        auto info = RunShell("gdalinfo -json " + ShellQuote(path), folder);
        EXPECT_EQ(info.status, 0) << info.err;
        return nlohmann::json::parse(info.out);
    }
    TempFolder folder;
    std::string db = folder / "Lakes.pdb";
};

}  // namespace

// Whatever the format, GDAL finds the exported picture where the map's corners
// put it, in WGS 84 latitude and longitude.
TEST_F(GeoOutputsTest, ExportsCarryAWorldFileAndTheirCoordinateSystem) {
    for (const char* name : {"Lake.BMP", "Lake.gif", "Lake.jpg", "Lake.png"}) {
        SCOPED_TRACE(name);
        auto exported = RunCli({"export", db, "Lake", folder / name}, folder);
        ASSERT_EQ(exported.status, 0) << exported.err;
        const auto info = GdalInfo(folder / name);
        const auto& corners = info["cornerCoordinates"];
        EXPECT_NEAR(corners["upperLeft"][0].get<double>(), 6.5, 1e-9);
        EXPECT_NEAR(corners["upperLeft"][1].get<double>(), 46.5, 1e-9);
        EXPECT_NEAR(corners["lowerRight"][0].get<double>(), 6.8, 1e-9);
        EXPECT_NEAR(corners["lowerRight"][1].get<double>(), 46.3, 1e-9);
        EXPECT_NE(info["coordinateSystem"]["wkt"].get<std::string>().find("WGS"), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::exists(folder / "Lake.BPW"));

    // Corners that make no box give no world file, and one left by an earlier
    // export, which would place this picture wrongly, goes.
    ASSERT_EQ(RunCli({"set-corner", db, "Lake", "top-left-lat", "40"}, folder).status, 1);
    auto bytes = testing_support::ReadFileBytes(db);
    bytes[88 + 12] = 0;  // the top-left latitude's high byte: 46.5° becomes about 4.6°, below the bottom edge
    testing_support::WriteFileBytes(db, bytes);
    auto exported = RunCli({"export", db, "Lake", folder / "Lake.png"}, folder);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.err.find("no world file was written"), std::string::npos) << exported.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "Lake.pgw"));
}

// The outlines open in any GIS: one polygon per map, named, its ring
// counter-clockwise in longitude and latitude.
TEST_F(GeoOutputsTest, ListWritesTheOutlinesAsGeoJson) {
    testing_support::WriteIndexedBmp(folder / "Zürich.bmp", 16, 8, 1, testing_support::GreyPalette(1),
                                     [](int x, int) { return x % 2; });
    ASSERT_EQ(RunCli({"add", db, folder / "Zürich.bmp", "--top-left", "N 47 30,E 8 30", "--bottom-right", "47.25,8.75"},
                     folder)
                  .status,
              0);
    auto listed = RunCli({"list", "--geojson", db}, folder);
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto json = nlohmann::json::parse(listed.out);
    ASSERT_EQ(json["features"].size(), 2u);
    for (const auto& feature : json["features"]) {
        const auto& ring = feature["geometry"]["coordinates"][0];
        ASSERT_EQ(ring.size(), 5u);
        EXPECT_EQ(ring[0], ring[4]);
        double twiceArea = 0;
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            twiceArea += ring[i][0].get<double>() * ring[i + 1][1].get<double>() -
                         ring[i + 1][0].get<double>() * ring[i][1].get<double>();
        }
        EXPECT_GT(twiceArea, 0) << feature["properties"]["name"];
    }
    testing_support::WriteFileBytes(folder / "outlines.geojson",
                                    std::vector<std::uint8_t>(listed.out.begin(), listed.out.end()));
    auto read = RunShell("ogrinfo -ro -al -geom=NO " + ShellQuote(folder / "outlines.geojson"), folder);
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find("Feature Count: 2"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("name (String) = Zürich"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("Extent: (6.500000, 46.300000) - (8.750000, 47.500000)"), std::string::npos) << read.out;

    EXPECT_EQ(RunCli({"list", "--geojson", "--json", db}, folder).status, 2);
}

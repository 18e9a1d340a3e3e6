// Georeferenced pictures made here with GDAL's own API, imported: their
// corners, and for warped pictures where each point of the picture lands.
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geo/gdal/Gdal.h"
#include "image/Picture.h"
#include "mapdb/PDBDoc.h"
#include "support/TempFolder.h"
#include "view/ImportFlow.h"
#include "view/ImportTestSupport.h"

namespace {

using testing_support::TempFolder;

constexpr double kUnits = 3600000.0;

// A picture of width × height: white, with a square of colour k (3 × 3
// pixels) centred on each point of a grid every `step` pixels.
struct Markers {
    int width = 0;
    int height = 0;
    int step = 0;
    // Marker k's centre, in pixels from the top-left corner of the picture.
    std::vector<std::pair<int, int>> centres;

    std::uint8_t At(int x, int y) const {
        for (std::size_t k = 0; k < centres.size(); ++k) {
            if (std::abs(x - centres[k].first) <= 1 && std::abs(y - centres[k].second) <= 1) {
                return static_cast<std::uint8_t>(k + 1);
            }
        }
        return 0;
    }
};

Markers MakeMarkers(int width, int height, int step) {
    Markers m{width, height, step, {}};
    for (int y = step / 2; y < height; y += step) {
        for (int x = step / 2; x < width; x += step) {
            m.centres.emplace_back(x, y);
        }
    }
    return m;
}

std::vector<GDALColorEntry> MarkerColours(std::size_t count) {
    std::vector<GDALColorEntry> colours{{255, 255, 255, 255}};
    for (std::size_t k = 1; k <= count; ++k) {
        colours.push_back({static_cast<short>(k * 37 % 200), static_cast<short>(k * 91 % 200),
                           static_cast<short>(k * 53 % 200), 255});
    }
    return colours;
}

// Writes the markers as a paletted GeoTIFF in `srs` with `transform`.
void WriteGeoTiff(const std::string& path, const Markers& m, const OGRSpatialReference& srs,
                  const std::array<double, 6>& transform) {
    geo::gdal::UseGdal();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    geo::gdal::Dataset out(driver->Create(path.c_str(), m.width, m.height, 1, GDT_Byte, nullptr));
    ASSERT_TRUE(out);
    std::array<double, 6> t = transform;
    out->SetGeoTransform(t.data());
    out->SetSpatialRef(&srs);
    GDALColorTable table;
    const auto colours = MarkerColours(m.centres.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
        table.SetColorEntry(static_cast<int>(i), &colours[i]);
    }
    out->GetRasterBand(1)->SetColorTable(&table);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(m.width));
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            row[static_cast<std::size_t>(x)] = m.At(x, y);
        }
        ASSERT_EQ(out->GetRasterBand(1)->RasterIO(GF_Write, 0, y, m.width, 1, row.data(), m.width, 1, GDT_Byte, 0, 0,
                                                  nullptr),
                  CE_None);
    }
}

// Writes the markers as an 8-bit PNG through the image library.
void WritePng(const std::string& path, const Markers& m) {
    image::CPicture picture;
    ASSERT_NE(picture.Create(m.width, m.height, 8), 0);
    std::vector<image::Color> palette;
    for (const GDALColorEntry& c : MarkerColours(m.centres.size())) {
        palette.push_back({static_cast<std::uint8_t>(c.c1), static_cast<std::uint8_t>(c.c2),
                           static_cast<std::uint8_t>(c.c3)});
    }
    picture.SetPaletteObject(std::make_unique<image::CImagePalette>(palette));
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            picture.SetPixelIndex(x, m.height - 1 - y, m.At(x, y));
        }
    }
    ASSERT_TRUE(picture.Save(path));
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

OGRSpatialReference Srs(int epsg) {
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

std::string Wkt(const OGRSpatialReference& srs) {
    char* text = nullptr;
    srs.exportToWkt(&text);
    std::string wkt = text;
    CPLFree(text);
    return wkt;
}

std::vector<std::int32_t> CornersOf(const mapdb::MapRecord& map) {
    return {map.topLeftLat, map.topLeftLon, map.bottomRightLat, map.bottomRightLon};
}

struct Imported {
    mapdb::CPDBDoc doc;
    view_test::ScriptedAnswers answers;
    platform::Result<std::vector<view::ImportedMap>> added = platform::Error{};

    explicit Imported(const std::string& path) {
        doc.OnNewDocument();
        answers.options = {8, false, true};
        added = view::ImportPicture(doc, nullptr, path, view::Handover::kAddButton, answers.Answers());
    }
    std::vector<std::string> Told() const {
        std::vector<std::string> texts;
        for (const auto& notice : answers.notices) {
            texts.push_back(notice.text);
        }
        return texts;
    }
};

class GeoreferencedImport : public ::testing::Test {
protected:
    TempFolder folder;
    Markers markers = MakeMarkers(60, 40, 20);
};

}  // namespace

// North-up latitude and longitude give the corners as they are: the outer
// edges of the corner pixels. A world file names the centre of the top-left
// pixel, half a pixel inside them.
TEST_F(GeoreferencedImport, LatitudeLongitudePicturesKeepTheirEdges) {
    // 60 × 40 pixels of 0.01° × 0.005°, the top-left corner at 47° N 6° E.
    WriteGeoTiff(folder / "Sheet.tif", markers, Srs(4326), {6.0, 0.01, 0, 47.0, 0, -0.005});
    WritePng(folder / "Plan.png", markers);
    WriteText(folder / "Plan.pgw", "0.01\n0\n0\n-0.005\n6.005\n46.9975\n");
    WritePng(folder / "Calibrated.png", markers);
    WriteText(folder / "Calibrated.map",
              "OziExplorer Map Data File Version 2.2\nCalibrated\nC:\\Maps\\Calibrated.png\n1 ,Map Code,\n"
              "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\nReserved 1\nReserved 2\nMagnetic Variation,,,E\n"
              "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\n"
              "Point01,xy,    0,    0,in, deg,  47, 0.0000,N,   6, 0.0000,E, grid,   ,           ,           ,N\n"
              "Point02,xy,   60,    0,in, deg,  47, 0.0000,N,   6,36.0000,E, grid,   ,           ,           ,N\n"
              "Point03,xy,   60,   40,in, deg,  46,48.0000,N,   6,36.0000,E, grid,   ,           ,           ,N\n"
              "Point04,xy,    0,   40,in, deg,  46,48.0000,N,   6, 0.0000,E, grid,   ,           ,           ,N\n"
              "Projection Setup,,,,,,,,,,\nIWH,Map Image Width/Height,60,40\n");
    struct Case {
        const char* picture;
        const char* told;
    };
    const Case cases[] = {
        {"Sheet.tif", "corners from the GeoTIFF's tags"},
        {"Plan.png",
         "corners from the world file Plan.pgw, which names no coordinate system: its values are taken as WGS 84 "
         "latitude and longitude"},
        {"Calibrated.png", "corners from the OziExplorer calibration Calibrated.map"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        Imported imported(folder / c.picture);
        ASSERT_TRUE(imported.added) << imported.added.error().message;
        EXPECT_EQ(imported.answers.asked, std::vector<std::string>{"conversion"});
        EXPECT_EQ(imported.Told(), std::vector<std::string>{c.told});
        const mapdb::MapRecord& map = imported.doc.GetMap(0);
        EXPECT_EQ(map.width, 60);
        EXPECT_EQ(CornersOf(map), (std::vector<std::int32_t>{169200000, 21600000, 168480000, 23760000}));
    }
}

// A UTM picture is warped: every marker lands where its own latitude and
// longitude put it on the map, within a pixel.
TEST_F(GeoreferencedImport, ProjectedPicturesAreWarpedSoEveryPointLinesUp) {
    const Markers big = MakeMarkers(200, 150, 25);
    // 30 m pixels, the top-left corner at 500,000 E 5,200,000 N in UTM zone 32N.
    const std::array<double, 6> transform{500000, 30, 0, 5200000, 0, -30};
    WriteGeoTiff(folder / "Utm.tif", big, Srs(32632), transform);
    Imported imported(folder / "Utm.tif");
    ASSERT_TRUE(imported.added) << imported.added.error().message;
    ASSERT_EQ(imported.doc.GetMapCount(), 1);
    ASSERT_EQ(imported.answers.notices.size(), 1u);
    EXPECT_EQ(imported.answers.notices[0].kind, view::ImportNotice::Kind::kPictureWarped);
    const mapdb::MapRecord& map = imported.doc.GetMap(0);
    EXPECT_EQ(imported.answers.notices[0].text,
              "warped from WGS 84 / UTM zone 32N (the GeoTIFF's tags) to latitude and longitude: now " +
                  std::to_string(map.width) + " x " + std::to_string(map.height) + " pixels");

    // Where each marker's colour lies on the map.
    const std::size_t table = mapdb::GetColorTableSize(map);
    std::map<unsigned, std::pair<double, double>> sums;
    std::map<unsigned, int> counts;
    for (int y = 0; y < map.height; ++y) {
        for (int x = 0; x < map.width; ++x) {
            const unsigned value = map.data[table + static_cast<std::size_t>(y) * map.rowBytes + static_cast<std::size_t>(x)];
            sums[value].first += x + 0.5;
            sums[value].second += y + 0.5;
            ++counts[value];
        }
    }
    const auto colours = palm::ReadPalmColorTable(map.data, 256);
    OGRSpatialReference utm = Srs(32632);
    OGRSpatialReference wgs84 = Srs(4326);
    std::unique_ptr<OGRCoordinateTransformation> toDegrees(OGRCreateCoordinateTransformation(&utm, &wgs84));
    const double left = map.topLeftLon / kUnits;
    const double top = map.topLeftLat / kUnits;
    const double degreesPerColumn = (map.bottomRightLon - map.topLeftLon) / kUnits / map.width;
    const double degreesPerRow = (map.topLeftLat - map.bottomRightLat) / kUnits / map.height;
    const auto marker = MarkerColours(big.centres.size());
    for (std::size_t k = 0; k < big.centres.size(); ++k) {
        // The marker's colour in the map's table.
        const image::Color want{static_cast<std::uint8_t>(marker[k + 1].c1), static_cast<std::uint8_t>(marker[k + 1].c2),
                                static_cast<std::uint8_t>(marker[k + 1].c3)};
        unsigned value = 0;
        while (value < colours.Size() && colours.At(value) != want) {
            ++value;
        }
        ASSERT_GT(counts[value], 0) << "marker " << k;
        double x = transform[0] + (big.centres[k].first + 0.5) * transform[1];
        double y = transform[3] + (big.centres[k].second + 0.5) * transform[5];
        ASSERT_TRUE(toDegrees->Transform(1, &x, &y));
        const double column = (x - left) / degreesPerColumn;
        const double row = (top - y) / degreesPerRow;
        EXPECT_NEAR(sums[value].first / counts[value], column, 1.0) << "marker " << k;
        EXPECT_NEAR(sums[value].second / counts[value], row, 1.0) << "marker " << k;
    }
}

// A rotated world file is warped too: the map is the rotated picture's
// bounding box, and it is white outside the picture.
TEST_F(GeoreferencedImport, RotatedPicturesAreWarpedIntoTheirBoundingBox) {
    WritePng(folder / "Turned.png", markers);
    // Pixels of 0.01° turned by a small angle; the centre of the top-left pixel at 6.005° E 46.995° N.
    WriteText(folder / "Turned.pgw", "0.0099\n0.0014\n0.0014\n-0.0099\n6.005\n46.995\n");
    Imported imported(folder / "Turned.png");
    ASSERT_TRUE(imported.added) << imported.added.error().message;
    const mapdb::MapRecord& map = imported.doc.GetMap(0);
    // The picture's outer corners: the top-left one half a pixel up and left of the centre named.
    const double x0 = 6.005 - 0.5 * 0.0099 - 0.5 * 0.0014;
    const double y0 = 46.995 - 0.5 * 0.0014 + 0.5 * 0.0099;
    const double west = x0;
    const double east = x0 + 60 * 0.0099 + 40 * 0.0014;
    const double north = y0 + 60 * 0.0014;
    const double south = y0 - 40 * 0.0099;
    const double pixel = 0.0099;
    EXPECT_NEAR(map.topLeftLon / kUnits, west, pixel);
    EXPECT_NEAR(map.bottomRightLon / kUnits, east, pixel);
    EXPECT_NEAR(map.topLeftLat / kUnits, north, pixel);
    EXPECT_NEAR(map.bottomRightLat / kUnits, south, pixel);
    // The top-left corner of the box lies outside the turned picture: white.
    const auto colours = palm::ReadPalmColorTable(map.data, 256);
    EXPECT_EQ(colours.At(map.data[mapdb::GetColorTableSize(map)]), (image::Color{255, 255, 255}));
}

// The side file is the user's own word; a world file that cannot be degrees
// and names no coordinate system is refused with the reason.
TEST_F(GeoreferencedImport, SideFilesWinAndUnplaceableWorldFilesAreRefused) {
    WritePng(folder / "Town.png", markers);
    WriteText(folder / "Town.pgw", "10\n0\n0\n-10\n500005\n5199995\n");
    Imported refused(folder / "Town.png");
    ASSERT_FALSE(refused.added);
    EXPECT_EQ(refused.added.error().message,
              "Cannot place the picture " + folder / "Town.png" +
                  ": the world file Town.pgw names no coordinate system, and its values (500000, 5200000) cannot be "
                  "degrees of latitude and longitude.");
    EXPECT_EQ(refused.doc.GetMapCount(), 0);

    WriteText(folder / "Town.txt", "45.5,-73.25\n44.5,-72.25\n");
    Imported placed(folder / "Town.png");
    ASSERT_TRUE(placed.added) << placed.added.error().message;
    EXPECT_EQ(placed.Told(), std::vector<std::string>{"corners from the side file Town.txt"});
    EXPECT_EQ(CornersOf(placed.doc.GetMap(0)), (std::vector<std::int32_t>{163800000, -263700000, 160200000, -260100000}));

    std::filesystem::remove(folder / "Town.txt");
    WriteText(folder / "Town.prj", Wkt(Srs(32632)));
    Imported warped(folder / "Town.png");
    ASSERT_TRUE(warped.added) << warped.added.error().message;
    // The bitmap of the earlier import stays; the warped picture's is another.
    ASSERT_EQ(warped.answers.notices.size(), 2u);
    EXPECT_EQ(warped.answers.notices[0].text.rfind("warped from WGS 84 / UTM zone 32N (the world file Town.pgw and "
                                                   "Town.prj) to latitude and longitude",
                                                   0),
              0u)
        << warped.answers.notices[0].text;
    EXPECT_EQ(warped.answers.notices[1].kind, view::ImportNotice::Kind::kBitmapNotWritten);
}

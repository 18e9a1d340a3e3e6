// The whole import of a 4000 x 4000 true-colour GeoTIFF in UTM zone 32N with
// `plandrel add` at 4 bits, compressed (reading, warping to latitude and
// longitude, colour reduction, conversion, tiling, compression, saving),
// against gdalwarp turning the same file into latitude and longitude alone.
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "geo/gdal/Gdal.h"

namespace bench {

namespace {

// The map-like picture in its colours, 4,000 pixels of 30 m from 500,000 E 5,200,000 N.
const std::string& GeoTiffPath() {
    static const std::string path = [] {
        std::string name = WorkPath("utm.tif");
        geo::gdal::UseGdal();
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
        geo::gdal::Dataset out(driver->Create(name.c_str(), kSide, kSide, 3, GDT_Byte, nullptr));
        double transform[6] = {500000, 30, 0, 5200000, 0, -30};
        out->SetGeoTransform(transform);
        OGRSpatialReference utm;
        utm.importFromEPSG(32632);
        out->SetSpatialRef(&utm);
        const auto& pixels = MapPixels();
        const auto& palette = MapPalette();
        std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(kSide));
        for (int y = 0; y < kSide; ++y) {
            for (std::size_t x = 0; x < kSide; ++x) {
                const image::Color c = palette[pixels[static_cast<std::size_t>(y) * kSide + x]];
                row[3 * x] = c.red;
                row[3 * x + 1] = c.green;
                row[3 * x + 2] = c.blue;
            }
            if (out->RasterIO(GF_Write, 0, y, kSide, 1, row.data(), kSide, 1, GDT_Byte, 3, nullptr, 3, 0, 1,
                              nullptr) != CE_None) {
                std::fprintf(stderr, "cannot write %s\n", name.c_str());
                break;
            }
        }
        return name;
    }();
    return path;
}

void Repeat(benchmark::State& state, const std::string& command, const std::vector<std::string>& outputs) {
    for (auto _ : state) {
        state.PauseTiming();
        for (const std::string& output : outputs) {
            std::remove(output.c_str());
        }
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("the command failed");
            break;
        }
    }
}

void ImportOurs(benchmark::State& state) {
    const std::string database = WorkPath("utm.pdb");
    Repeat(state,
           ShellQuote(PLANDREL_CLI) + " add " + ShellQuote(database) + " " + ShellQuote(GeoTiffPath()) +
               " --depth 4 --compress >/dev/null 2>&1",
           {database, WorkPath("utm.bmp")});
}

void WarpAlone(benchmark::State& state) {
    const std::string warped = WorkPath("utm-warped.tif");
    Repeat(state, "gdalwarp -q -t_srs EPSG:4326 " + ShellQuote(GeoTiffPath()) + " " + ShellQuote(warped), {warped});
}

}  // namespace

void RegisterGeoImportRows() {
    AddRow("Whole import: UTM GeoTIFF, 4 bits, compr.", "gdalwarp alone", 1.5, ImportOurs, WarpAlone);
}

}  // namespace bench

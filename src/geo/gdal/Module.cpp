// The module's entry: geo::Library done with GDAL.
#include "FindGeoreference.h"
#include "TiffReader.h"
#include "Warp.h"
#include "geo/Library.h"

namespace geo::gdal {

namespace {

class GdalLibrary final : public Library {
public:
    platform::Result<std::optional<Georeference>> FindGeoreference(const std::string& path) const override {
        return gdal::FindGeoreference(path);
    }
    std::optional<palm::Corners> PlainCorners(const Georeference& georeference, int width, int height) const override {
        return gdal::PlainCorners(georeference, width, height);
    }
    platform::Result<Warped> WarpToLatLon(const image::CImageImpl& picture,
                                          const Georeference& georeference) const override {
        return gdal::WarpToLatLon(picture, georeference);
    }
    platform::Result<std::unique_ptr<image::CImageImpl>> ReadTiff(std::span<const std::uint8_t> file) const override {
        return gdal::ReadTiff(file);
    }
};

}  // namespace

}  // namespace geo::gdal

extern "C" __attribute__((visibility("default"))) const geo::Library* plandrel_geo_library() {
    static const geo::gdal::GdalLibrary library;
    return &library;
}

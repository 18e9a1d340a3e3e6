#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Georeference.h"
#include "image/ImageImpl.h"
#include "platform/Result.h"

namespace geo {

// What is done with GDAL, behind one interface: GDAL and the hundred libraries
// it brings take about 50 ms to load, so they live in a module of their own
// (libplandrel-geo.so), loaded only for a picture that needs them.
class Library {
public:
    // The picture's georeferencing, first found: GeoTIFF tags, a PAM file, a
    // world file (with the .prj of its name for its coordinate system), or an
    // OziExplorer calibration beside it that names it. None when there is none.
    // A world file that names no coordinate system is taken as WGS 84 latitude
    // and longitude when its values can be degrees, and refused with the reason
    // otherwise.
    virtual platform::Result<std::optional<Georeference>> FindGeoreference(const std::string& path) const = 0;
    // The corners of a picture of width × height pixels that needs no warping:
    // north up, in WGS 84 latitude and longitude. None for any other.
    virtual std::optional<palm::Corners> PlainCorners(const Georeference& georeference, int width,
                                                      int height) const = 0;
    // The picture warped to WGS 84 latitude and longitude, north up: nearest
    // neighbour for a picture of 8 bits or fewer (no new colour appears),
    // bilinear for true colour; white outside the picture.
    virtual platform::Result<Warped> WarpToLatLon(const image::CImageImpl& picture,
                                                  const Georeference& georeference) const = 0;
    // The picture of a TIFF file held in memory: 8-bit samples in one band (its
    // colour table, or grey levels), grey with alpha, RGB or RGBA, transparency
    // over white.
    virtual platform::Result<std::unique_ptr<image::CImageImpl>> ReadTiff(
        std::span<const std::uint8_t> file) const = 0;

protected:
    ~Library() = default;
};

// The module's one entry point, by this name.
#define PLANDREL_GEO_ENTRY "plandrel_geo_library"
using GeoEntry = const Library* (*)();

// The module's library, loaded the first time it is asked for (then the same);
// an error that says why when it cannot be loaded.
platform::Result<const Library*> LoadLibrary();

}  // namespace geo

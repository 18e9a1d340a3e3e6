#pragma once

#include <memory>

#include "Georeference.h"
#include "image/ImageImpl.h"

namespace geo {

// A picture warped to WGS 84 latitude and longitude, north up, and its corners.
struct Warped {
    std::unique_ptr<image::CImageImpl> picture;
    palm::Corners corners;
};

// Warps a picture of any depth with GDAL's warper: nearest neighbour for a
// picture of 8 bits or fewer (an 8-bit picture of its palette comes out, so
// no new colour appears), bilinear for true colour (24 bits). What lies
// outside the picture is white, the colour of the handheld's screen where
// there is no ink. An error with the reason when it cannot be warped.
Result<Warped> WarpToLatLon(const image::CImageImpl& picture, const Georeference& georeference);

}  // namespace geo

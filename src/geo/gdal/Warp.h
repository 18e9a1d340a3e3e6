#pragma once

#include "geo/Georeference.h"
#include "image/ImageImpl.h"
#include "platform/Result.h"

namespace geo::gdal {

// What geo::Library::WarpToLatLon does, with GDAL's warper on MEM datasets
// over the picture's own rows.
platform::Result<Warped> WarpToLatLon(const image::CImageImpl& picture, const Georeference& georeference);

}  // namespace geo::gdal

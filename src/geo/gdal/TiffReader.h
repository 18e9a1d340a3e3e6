#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "image/ImageImpl.h"
#include "platform/Result.h"

namespace geo::gdal {

// The picture of a TIFF file held in memory, read by GDAL: 8-bit samples in
// one band (its colour table, or grey levels), grey with alpha, RGB or RGBA.
// Transparency is composited over white, as every reader here does. An error
// with the reason for anything else.
platform::Result<std::unique_ptr<image::CImageImpl>> ReadTiff(std::span<const std::uint8_t> file);

}  // namespace geo::gdal

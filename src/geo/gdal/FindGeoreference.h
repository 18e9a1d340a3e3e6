#pragma once

#include <optional>
#include <string>

#include "geo/Georeference.h"
#include "platform/Result.h"

namespace geo::gdal {

// What geo::Library::FindGeoreference and PlainCorners do.
platform::Result<std::optional<Georeference>> FindGeoreference(const std::string& path);
std::optional<palm::Corners> PlainCorners(const Georeference& georeference, int width, int height);

}  // namespace geo::gdal

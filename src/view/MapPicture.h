#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mapdb/MapRecord.h"

namespace view {

// A map's picture as the handheld shows it, one 0xAARRGGBB value per pixel,
// rows top first.
struct MapPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// The picture of a map of 1, 2, 4 or 8 bits per pixel in the colours the
// handheld shows (palm::MapColors). Compressed rows are expanded.
// None when the map has another depth, or rows that do not expand.
std::optional<MapPixels> RenderMap(const mapdb::MapRecord& map);

}  // namespace view

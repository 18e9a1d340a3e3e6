#pragma once

#include <cstdint>
#include <span>

#include "image/ImagePalette.h"
#include "mapdb/MapRecord.h"

namespace palm {

// The handheld's standard palette of 8-bit bitmaps without a colour table: a
// cube of six levels (255, 204, 153, 102, 51, 0) of red, blue and green without
// its black, ten more greys, five more colours and black at 230, then black to
// 255.
const image::CImagePalette& SystemPalette();

// The inverted grey levels of a depth of 1, 2 or 4 bits: 0 white, the highest value black.
image::CImagePalette GreyLevels(unsigned depth);

// The colours a map's pixel values show on the handheld, one per value its depth
// holds: its colour table's (black where the table has no entry), the system
// palette at 8 bits without a table, or else the inverted grey levels (0 white,
// the highest value black). `data` is the map's data, its table in front.
image::CImagePalette MapColors(const mapdb::MapRecord& map, std::span<const std::uint8_t> data);

}  // namespace palm

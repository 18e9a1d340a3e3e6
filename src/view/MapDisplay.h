#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mapdb/Coordinates.h"
#include "mapdb/MapRecord.h"

namespace view {

// How the map list form shows a map's values.

// "1 bit", "2 bits", "4 bits", "8 bits", or "Error" for any other depth.
std::string DepthText(std::uint8_t pixelSize);
// The record's size in kilobytes, as a single-precision number.
float MemoryKB(const mapdb::MapRecord& map);
// A float in general notation with six significant digits ("37.1523", "64").
std::string FormatFloat(float value);
// A count with its thousands grouped by commas ("48,213").
std::string WithThousands(std::size_t number);
// A corner value in degrees with five decimals ("48.85000").
using mapdb::FormatDegrees;
// A typed corner text in degrees, read the way atof reads it, times 3,600,000,
// truncated toward zero; values beyond the 32-bit range are clamped to it.
std::int32_t ParseDegrees(const std::string& text);
// Degrees times 3,600,000 truncated toward zero, clamped to the 32-bit range.
using mapdb::DegreesToUnits;

}  // namespace view

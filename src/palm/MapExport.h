#pragma once

#include <string>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace palm {

// Writes the picture of `map` to `path` as an uncompressed Windows bitmap
// (bottom row first, rows padded to 32 bits) of the map's own depth, but 4 bits
// for a 2-bit map, a depth that few bitmap readers take. The colours are those
// the map shows on the handheld (MapColors). A compressed map is expanded
// first. An error when the map has no picture that can be written or the file
// cannot be created or written; the map is not changed.
platform::Result<void> ExportAsBmp(const mapdb::MapRecord& map, const std::string& path);

// Writes the picture of `map` in the format its file name's extension names:
// a Windows bitmap as ExportAsBmp writes it, or a GIF, JPEG or PNG picture of
// 8 bits per pixel in the map's colours. An unknown extension is an error.
platform::Result<void> ExportAsPicture(const mapdb::MapRecord& map, const std::string& path);

}  // namespace palm

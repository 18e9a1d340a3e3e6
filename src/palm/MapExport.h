#pragma once

#include <string>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace palm {

// Writes the picture of `map` to `path` as an uncompressed Windows bitmap of the
// map's own depth (1, 2, 4 or 8 bits; bottom row first, rows padded to 32 bits).
// The colours are the map's colour table, black for the entries it lacks, or
// else the inverted grey ramp of Palm grey levels (0 white). A compressed map is
// expanded first. An error when the map has no picture that can be written or
// the file cannot be created or written; the map is not changed.
platform::Result<void> ExportAsBmp(const mapdb::MapRecord& map, const std::string& path);

}  // namespace palm

#pragma once

#include <string>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace view {

constexpr const char* kBeamFileName = "Essai.map";
constexpr const char* kExportFileName = "Essai.bmp";

// Writes the map alone, exactly as its record is stored in a maps database
// (fields big-endian, flags in file bit order, GetBitmapDataSize bytes of data).
// The map is not changed. An error naming the file when it cannot be written.
platform::Result<void> BeamMap(const mapdb::MapRecord& map, const std::string& path);
// Writes the map's picture as the kind of picture file its name says (palm::ExportAsPicture).
platform::Result<void> ExportMap(const mapdb::MapRecord& map, const std::string& path);

}  // namespace view

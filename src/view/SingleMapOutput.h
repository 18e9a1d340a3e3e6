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
// An export done: `noWorldFile` says why the picture has no world file beside
// it; empty when it has one.
struct ExportedMap {
    std::string noWorldFile;
};
// Writes the map's picture as the kind of picture file its name says
// (palm::ExportAsPicture), then its world file and .prj (WriteGeoreferencing).
// A map whose corners make no box (BoxProblems), or that has no pixels, gets
// neither; a world file of the picture's name, left by an earlier export, is
// then removed, as it would place this picture wrongly.
platform::Result<ExportedMap> ExportMap(const mapdb::MapRecord& map, const std::string& path);

}  // namespace view

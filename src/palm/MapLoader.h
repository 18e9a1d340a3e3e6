#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mapdb/MapRecord.h"

namespace palm {

// Loads the Windows bitmap file at `path` into `map`, a fresh record: names the
// map after the file, converts the picture (BuildPalmBitmap, with its dialog) and
// sets the four corners from the side file beside the picture or, when there is
// none, from CCoordinatesDlg. Afterwards `data` is set only when everything
// succeeded; a picture that cannot be read, a picture that is refused and a side
// file that exists but cannot be read leave it empty, each after a notice.
void LoadMapFromBmp(mapdb::MapRecord& map, const std::string& path);
// The same for a bitmap file already in memory: `path` names the map, and
// `sideText` is the text of its side file (none: there is no side file).
void LoadMapFromBmpBytes(mapdb::MapRecord& map, const std::string& path, const std::uint8_t* bytes,
                         std::size_t length, const std::optional<std::string>& sideText);

// Sets the four corners from a side file of two lines, "latitude,longitude" of
// the top-left and of the bottom-right corner, in decimal degrees (a missing
// line or value reads as 0). Returns false, changing nothing, when the file
// cannot be opened or read.
bool ReadSideFile(mapdb::MapRecord& map, const std::string& path);
// The same for the text of a side file.
void ReadSideText(mapdb::MapRecord& map, std::string_view text);

// A typed coordinate in milliseconds of arc: up to three numbers (degrees,
// minutes, seconds) separated by anything but digits, "." and "-". A leading
// minus on the degrees makes the value negative, and so does any of
// `negativeLetters` ("Ss" for latitudes, "Ww" for longitudes) anywhere in the
// text; both together cancel. The numbers are single-precision, as typed values
// always were, and the result is clamped to the 32-bit range.
std::int32_t ParseCoordinate(const std::string& text, const std::string& negativeLetters);

// The map name for a picture path: the file name without folder and without
// its last extension, cut to 11 characters ("C:\maps\a.b.bmp" gives "a.b").
std::string MapNameFromPath(const std::string& path);

// The side file of a picture: its path with the last three characters replaced by "txt".
std::string SideFilePath(const std::string& path);

}  // namespace palm

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace palm {

using platform::Error;
using platform::Result;

// The four corner values of a map, in milliseconds of arc.
struct Corners {
    std::int32_t topLeftLat = 0;
    std::int32_t topLeftLon = 0;
    std::int32_t bottomRightLat = 0;
    std::int32_t bottomRightLon = 0;

    bool operator==(const Corners&) const = default;
};

// The four corners as the user types them in the coordinates dialog.
struct CornerTexts {
    std::string topLeftLatitude;
    std::string topLeftLongitude;
    std::string bottomRightLatitude;
    std::string bottomRightLongitude;
};

void PlaceMap(mapdb::MapRecord& map, const Corners& corners);
Corners CornersOf(const mapdb::MapRecord& map);

// The largest bitmap file read for a map: 65,535 rows of 65,536 bytes and headers.
constexpr std::uint64_t kMaxBitmapFileSize = (std::uint64_t{1} << 32) + (std::uint64_t{1} << 20);
// The bitmap file at `path`, whole: "Cannot open the file PATH:\nREASON" when
// it cannot be read, "Unsuported format" when it is larger than any picture a
// map can be made of.
Result<std::vector<std::uint8_t>> ReadBitmapFile(const std::string& path);

// The corners of a side file of two lines, "latitude,longitude" of the
// top-left and of the bottom-right corner, in decimal degrees (a missing line
// or value reads as 0). None when there is no side file; "Cannot open the
// file PATH:\nREASON" when it exists but cannot be read.
Result<std::optional<Corners>> ReadSideFile(const std::string& path);
// The same for the text of a side file.
Corners ReadSideText(std::string_view text);

// The texts the coordinates dialog proposes: 10° N 10° W to 10° S 10° E.
CornerTexts ProposedCorners();
// The corners those texts give.
constexpr Corners kProposedCorners{36000000, -36000000, -36000000, 36000000};
// The corners the four texts give (ParseCoordinate).
Corners ParseCorners(const CornerTexts& texts);

// A typed coordinate in milliseconds of arc: up to three numbers (degrees,
// minutes, seconds) separated by anything but digits, "." and "-". A leading
// minus on the degrees makes the value negative, and so does any of
// `negativeLetters` ("Ss" for latitudes, "Ww" for longitudes) anywhere in the
// text; both together cancel. The numbers are single-precision, as typed values
// always were, and the result is clamped to the 32-bit range.
std::int32_t ParseCoordinate(const std::string& text, const std::string& negativeLetters);

// The map name for a picture path: the file name without folder and without
// its last extension, in Latin-1 (platform::Utf8ToLatin1), cut to 11
// characters ("C:\maps\a.b.bmp" gives "a.b").
std::string MapNameFromPath(const std::string& path);

// The side file of a picture: its path with the last three characters replaced by "txt".
std::string SideFilePath(const std::string& path);

}  // namespace palm

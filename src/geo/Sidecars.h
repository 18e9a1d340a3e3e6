#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace geo {

// What tells, without GDAL, whether a picture may say where it lies: its first
// bytes, and the files beside it.

// Whether a file's first bytes are those of a TIFF or BigTIFF (either byte order).
bool IsTiff(std::span<const std::uint8_t> file);

// Whether `path` names a world file (.wld, .tfw, .pgw, .jgw, .gfw, .bpw, ... in any case).
bool IsWorldFile(const std::string& path);

// The OziExplorer calibration beside a picture (the picture's name with .map)
// that names it on its third line; none when there is none.
std::optional<std::string> CalibrationFor(const std::string& picture);

// Whether the picture at `path`, of these bytes, may be georeferenced: a TIFF
// (its tags), or a PAM file, a world file or a calibration beside it.
bool MayBeGeoreferenced(const std::string& path, std::span<const std::uint8_t> file);

}  // namespace geo

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mapdb/MapRecord.h"

namespace palm {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

// Largest width and height a map can have: both are 16-bit fields.
constexpr std::uint32_t kMaxMapSide = 0xFFFF;

// The record size in KB (bytes / 1024) of a new uncompressed map of
// width × height pixels without colour table, at 1, 2, 4 and 8 bits per pixel:
// the estimates that the colour-depth dialog shows.
std::array<float, 4> SizeEstimates(std::uint32_t width, std::uint32_t height);

// The value that each source index takes in a map of `pixelSize` bits (1, 2, 4
// or 8), as a lookup table. `colors` is the source colour table, one entry per
// index the source depth can hold. With a colour table the index is kept (at 1
// bit every index but 0 becomes 1; at 2 and 4 bits an index beyond the depth
// becomes the index of the nearest colour among those the table keeps); without
// one the colour's luminance gives an inverted grey level, and 8 bits keep the
// index. Entries of indices the source cannot hold are 0.
std::array<std::uint8_t, 256> DestinationTable(const std::vector<Rgb>& colors, unsigned pixelSize,
                                               bool withColorTable);

// A Palm colour table of the first `count` colours: the count (big-endian), then
// one entry of index 0, red, green, blue per colour.
std::vector<std::uint8_t> PalmColorTable(const std::vector<Rgb>& colors, std::size_t count);

// Converts the Windows bitmap file image `bytes` (length bytes, the whole file)
// into the Palm bitmap of `map`, a fresh record: asks for depth, compression and
// colour table in CColorDepthDlg, then sets width, height, pixelSize, rowBytes,
// version, nextDepthOffset, the compressed and hasColorTable flags, and `data`
// (the colour table when asked for, then the uncompressed rows, top row first;
// compression is left to CompressScanLines). Pictures of 1, 4 and 8 bits per
// pixel in any layout the bitmap reader knows are taken; anything else, and a
// map too large for the record's 16-bit fields, is refused with the
// "Unsuported format" notice, leaving `data` empty and the other fields as they were.
void BuildPalmBitmap(mapdb::MapRecord& map, const std::uint8_t* bytes, std::size_t length);

}  // namespace palm

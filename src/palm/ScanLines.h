#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace palm {

using platform::Error;
using platform::Result;

// Palm scan-line compression. Each row is stored as the bytes in which it
// differs from the row above, in groups of eight bytes: one flag byte per group
// (bit 7 for the group's first byte) marks the bytes that follow it; in the top
// row every byte is marked. The compressed rows follow a big-endian 16-bit size
// that counts itself and every byte of the rows; any colour table stays in front.

// Largest size the 16-bit size word can state.
constexpr std::size_t kMaxCompressedSize = 0xFFFF;

// Most bytes the compressed form of `height` rows of `rowBytes` can take:
// the size word, and every byte of every row with a flag byte per group.
std::size_t CompressedBound(std::size_t rowBytes, std::size_t height);

// Compresses `height` rows of `rowBytes` bytes that lie `stride` bytes apart
// (rows of a larger picture, or consecutive ones) into `out`, which has room
// for CompressedBound bytes: the size word, capped at 65,535, then the rows.
// Returns the full size. Bytes past that size but within the bound may be
// overwritten.
std::size_t CompressRows(const std::uint8_t* rows, std::size_t stride, std::size_t rowBytes, std::size_t height,
                         std::uint8_t* out);

// Replaces the uncompressed rows of `map` (after its colour table, if any) by
// their compressed form and sets the compressed flag. Returns the full size of
// the compressed area; when it is above 65,535 the size word says 65,535
// although all of it is kept in `data`, so a caller that stores the map should
// keep such a map uncompressed. Bytes that `data` lacks count as zeros.
std::size_t CompressScanLines(mapdb::MapRecord& map);

// The uncompressed data block of `map` (colour table, then rowBytes × height
// bytes): the rows expanded when the map is compressed, else a copy of its data
// with any bytes it lacks as zeros. An error when its compressed rows do not
// expand exactly to height rows within the size word (a size word of 65,535
// stands for that size or more).
Result<std::vector<std::uint8_t>> ExpandScanLines(const mapdb::MapRecord& map);

}  // namespace palm

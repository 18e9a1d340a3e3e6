#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteCursor.h"

namespace mapdb {

// Flag bits of a map's bitmap header; the others are kept as read.
constexpr std::uint16_t kCompressed = 0x8000;
constexpr std::uint16_t kHasColorTable = 0x4000;

constexpr std::size_t kMapFieldsSize = 44;
constexpr std::size_t kMapNameSize = 12;
constexpr std::size_t kMaxMapNameLength = kMapNameSize - 1;

// The Palm bitmap header of a map (record bytes 28 to 43), numbers in host order.
struct BitmapHeader {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t rowBytes = 0;
    std::uint16_t flags = 0;
    std::uint8_t pixelSize = 0;
    std::uint8_t version = 2;
    std::array<std::uint8_t, 2> nextDepthOffset{};  // file bytes, carried unchanged
    std::uint8_t transparentIndex = 0;
    std::uint8_t compressionType = 0;
    std::array<std::uint8_t, 2> reserved{};  // file bytes, carried unchanged
};

// One map: a record of the maps database in memory form. `data` holds the bitmap
// data exactly as in the file (colour table, then pixel rows, plain or
// compressed). In the file the fields come first, big-endian, in the order of
// Fields.
struct MapRecord : BitmapHeader {
    std::array<char, kMapNameSize> name{};
    std::int32_t topLeftLat = 0;
    std::int32_t topLeftLon = 0;
    std::int32_t bottomRightLat = 0;
    std::int32_t bottomRightLon = 0;
    std::vector<std::uint8_t> data;

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& m) {
        c(m.name, m.topLeftLat, m.topLeftLon, m.bottomRightLat, m.bottomRightLon, m.width, m.height, m.rowBytes,
          m.flags, m.pixelSize, m.version, m.nextDepthOffset, m.transparentIndex, m.compressionType, m.reserved);
    }

    bool IsCompressed() const { return (flags & kCompressed) != 0; }
    bool HasColorTable() const { return (flags & kHasColorTable) != 0; }
    void SetFlag(std::uint16_t flag, bool on) {
        flags = static_cast<std::uint16_t>(on ? (flags | flag) : (flags & ~flag));
    }

    // The name up to its terminating zero.
    std::string GetName() const;
    // Sets the name to the first 11 characters of `text`, zero-filling the rest.
    void SetName(std::string_view text);
};

// Size rules. They read only the flags, rowBytes, height and the first bytes of
// the data (the colour-table count and the compressed size word, big-endian);
// bytes the data does not hold count as 0.
std::uint32_t GetColorTableSize(const MapRecord& map);
// The data size the rules give. A map read from a file can claim a colour table
// and 65,535 rows of 65,535 bytes, a little more than 32 bits can count: the
// exact size is BitmapDataBytes, and the two 32-bit sizes stop at 0xFFFFFFFF.
std::uint64_t BitmapDataBytes(const MapRecord& map);
std::uint32_t GetBitmapDataSize(const MapRecord& map);
std::uint32_t GetRecordSize(const MapRecord& map);

// Writes the whole record in file form: the fields, then BitmapDataBytes bytes
// of data (zeros where the data is shorter than the size rules say).
void WriteMapRecord(platform::ByteWriter& out, const MapRecord& map);
// The same as a block of its own.
std::vector<std::uint8_t> EncodeMapRecord(const MapRecord& map);

}  // namespace mapdb

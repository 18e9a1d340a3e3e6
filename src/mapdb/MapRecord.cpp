#include "MapRecord.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

namespace mapdb {

using platform::ReadBE16;
using platform::ReadBE32;
using platform::WriteBE16;
using platform::WriteBE32;

namespace {

// A big-endian 16-bit number of the data at `offset`; missing bytes read as 0.
std::uint16_t DataWordAt(const MapRecord& map, std::size_t offset) {
    if (!map.data) {
        return 0;
    }
    const auto& bytes = *map.data;
    std::uint8_t high = offset < bytes.size() ? bytes[offset] : 0;
    std::uint8_t low = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return static_cast<std::uint16_t>((high << 8) | low);
}

}  // namespace

std::uint16_t FlipFlagBits(std::uint16_t flags) {
    std::uint16_t flipped = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if (flags & (1u << bit)) {
            flipped = static_cast<std::uint16_t>(flipped | (1u << (15 - bit)));
        }
    }
    return flipped;
}

std::string MapRecord::GetName() const {
    return std::string(name.data(), strnlen(name.data(), name.size()));
}

void MapRecord::SetName(std::string_view text) {
    name.fill('\0');
    std::copy_n(text.begin(), std::min(text.size(), kMaxMapNameLength), name.begin());
}

std::uint32_t GetColorTableSize(const MapRecord& map) {
    return map.HasColorTable() ? 2u + 4u * DataWordAt(map, 0) : 0u;
}

std::uint64_t BitmapDataBytes(const MapRecord& map) {
    std::uint32_t table = GetColorTableSize(map);
    if (map.IsCompressed()) {
        return std::uint64_t{table} + DataWordAt(map, table);
    }
    return std::uint64_t{table} + std::uint64_t{map.rowBytes} * map.height;
}

std::uint32_t GetBitmapDataSize(const MapRecord& map) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(BitmapDataBytes(map), UINT32_MAX));
}

std::uint32_t GetRecordSize(const MapRecord& map) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kMapFieldsSize + BitmapDataBytes(map), UINT32_MAX));
}

void EncodeMapFields(const MapRecord& map, std::uint8_t* out) {
    std::memcpy(out, map.name.data(), kMapNameSize);
    WriteBE32(out + 12, static_cast<std::uint32_t>(map.topLeftLat));
    WriteBE32(out + 16, static_cast<std::uint32_t>(map.topLeftLon));
    WriteBE32(out + 20, static_cast<std::uint32_t>(map.bottomRightLat));
    WriteBE32(out + 24, static_cast<std::uint32_t>(map.bottomRightLon));
    WriteBE16(out + 28, map.width);
    WriteBE16(out + 30, map.height);
    WriteBE16(out + 32, map.rowBytes);
    WriteBE16(out + 34, FlipFlagBits(map.flags));
    out[36] = map.pixelSize;
    out[37] = map.version;
    std::memcpy(out + 38, map.nextDepthOffset.data(), 2);
    out[40] = map.transparentIndex;
    out[41] = map.compressionType;
    std::memcpy(out + 42, map.reserved.data(), 2);
}

void DecodeMapFields(const std::uint8_t* in, MapRecord& map) {
    std::memcpy(map.name.data(), in, kMapNameSize);
    map.topLeftLat = static_cast<std::int32_t>(ReadBE32(in + 12));
    map.topLeftLon = static_cast<std::int32_t>(ReadBE32(in + 16));
    map.bottomRightLat = static_cast<std::int32_t>(ReadBE32(in + 20));
    map.bottomRightLon = static_cast<std::int32_t>(ReadBE32(in + 24));
    map.width = ReadBE16(in + 28);
    map.height = ReadBE16(in + 30);
    map.rowBytes = ReadBE16(in + 32);
    map.flags = FlipFlagBits(ReadBE16(in + 34));
    map.pixelSize = in[36];
    map.version = in[37];
    std::memcpy(map.nextDepthOffset.data(), in + 38, 2);
    map.transparentIndex = in[40];
    map.compressionType = in[41];
    std::memcpy(map.reserved.data(), in + 42, 2);
}

std::vector<std::uint8_t> EncodeMapRecord(const MapRecord& map) {
    std::uint32_t dataSize = GetBitmapDataSize(map);
    std::vector<std::uint8_t> record(kMapFieldsSize + dataSize, 0);
    EncodeMapFields(map, record.data());
    if (map.data) {
        std::size_t held = std::min<std::size_t>(dataSize, map.data->size());
        std::copy_n(map.data->begin(), held, record.begin() + kMapFieldsSize);
    }
    return record;
}

}  // namespace mapdb

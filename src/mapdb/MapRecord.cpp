#include "MapRecord.h"

#include <algorithm>
#include <cstring>

namespace mapdb {

namespace {

// A big-endian 16-bit number of the data at `offset`; missing bytes read as 0.
std::uint16_t DataWordAt(const MapRecord& map, std::size_t offset) {
    const auto& bytes = map.data;
    std::uint8_t high = offset < bytes.size() ? bytes[offset] : 0;
    std::uint8_t low = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return static_cast<std::uint16_t>((high << 8) | low);
}

}  // namespace

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

void WriteMapRecord(platform::ByteWriter& out, const MapRecord& map) {
    MapRecord::Fields(out, map);
    const std::uint64_t size = BitmapDataBytes(map);
    const auto held = static_cast<std::size_t>(std::min<std::uint64_t>(size, map.data.size()));
    out.Bytes(std::span(map.data).first(held));
    out.Zeros(static_cast<std::size_t>(size - held));
}

std::vector<std::uint8_t> EncodeMapRecord(const MapRecord& map) {
    std::vector<std::uint8_t> record;
    platform::ByteWriter out(record, platform::Endian::kBig);
    WriteMapRecord(out, map);
    return record;
}

}  // namespace mapdb

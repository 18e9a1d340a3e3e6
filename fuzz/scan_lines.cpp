// Fuzz target: expanding the scan-line compressed rows of a map record (its
// 44 bytes of fields, then its data), and compressing what was expanded.
#include "FuzzSupport.h"
#include "mapdb/MapRecord.h"
#include "palm/ScanLines.h"

namespace {

// Uncompressed rows are copied to their full size whatever the data holds;
// only maps whose full size is small are expanded that way.
constexpr std::size_t kMaxPlainBytes = std::size_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < mapdb::kMapFieldsSize) {
        return 0;
    }
    mapdb::MapRecord map;
    platform::ByteReader reader({data, size}, platform::Endian::kBig);
    mapdb::MapRecord::Fields(reader, map);
    map.data.assign(data + mapdb::kMapFieldsSize, data + size);
    if (!map.IsCompressed() && std::size_t{map.rowBytes} * map.height > kMaxPlainBytes) {
        return 0;
    }
    auto expanded = palm::ExpandScanLines(map);
    if (!expanded) {
        return 0;
    }
    // The block is the colour table and the rows; compressed again, it expands to itself.
    mapdb::MapRecord plain = map;
    plain.SetFlag(mapdb::kCompressed, false);
    plain.data = *expanded;
    fuzzing::Require(expanded->size() == mapdb::GetColorTableSize(plain) + std::size_t{map.rowBytes} * map.height);
    mapdb::MapRecord compressed = plain;
    if (palm::CompressScanLines(compressed) <= palm::kMaxCompressedSize) {
        auto again = palm::ExpandScanLines(compressed);
        fuzzing::Require(again && *again == *expanded);
    }
    return 0;
}

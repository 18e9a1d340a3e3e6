// Fuzz target: building a Palm bitmap from the bytes of a bitmap file, with
// the depth, compression and colour table chosen by the first byte. A map that
// is built has exactly the data its size rules describe, and its rows survive
// scan-line compression.
#include "FuzzSupport.h"
#include "palm/PalmBitmap.h"
#include "palm/ScanLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::QuietUserInterface ui;
    fuzzing::FuzzInput input(data, size);
    ui.depthAnswer = input.Byte();
    mapdb::MapRecord map;
    palm::BuildPalmBitmap(map, input.Rest(), input.RestSize());
    if (!map.data) {
        return 0;
    }
    // The built data is uncompressed whatever the flag says: compression is a later step.
    mapdb::MapRecord plain = map;
    plain.SetFlag(mapdb::kCompressed, false);
    fuzzing::Require(map.data->size() == mapdb::GetBitmapDataSize(plain));
    fuzzing::Require(std::size_t{map.rowBytes} * 8 >= std::size_t{map.width} * map.pixelSize);
    mapdb::MapRecord compressed = plain;
    if (palm::CompressScanLines(compressed) <= palm::kMaxCompressedSize) {
        auto expanded = palm::ExpandScanLines(compressed);
        fuzzing::Require(expanded && *expanded == *map.data);
    }
    return 0;
}

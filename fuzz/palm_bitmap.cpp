// Fuzz target: building a Palm bitmap from the bytes of a bitmap file, with
// the depth and colour table chosen by the first byte. A map that is built
// has exactly the data its size rules describe, and its rows survive
// scan-line compression.
#include "FuzzSupport.h"
#include "palm/PalmBitmap.h"
#include "palm/ScanLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    fuzzing::FuzzedAnswers answers;
    answers.depthAnswer = input.Byte();
    auto picture = palm::ReadSourcePicture({input.Rest(), input.RestSize()});
    if (!picture) {
        return 0;
    }
    auto map = palm::BuildPalmBitmap(*picture, answers.Conversion());
    if (!map) {
        return 0;
    }
    fuzzing::Require(map->data.size() == mapdb::GetBitmapDataSize(*map));
    fuzzing::Require(std::size_t{map->rowBytes} * 8 >= std::size_t{map->width} * map->pixelSize);
    mapdb::MapRecord compressed = *map;
    if (palm::CompressScanLines(compressed) <= palm::kMaxCompressedSize) {
        auto expanded = palm::ExpandScanLines(compressed);
        fuzzing::Require(expanded && *expanded == map->data);
    }
    return 0;
}

// Fuzz target: the PNG reader on the bytes of a whole file. Mutated chunks
// almost never keep a right CRC, which the library checks first; so for one
// input in two (an odd first byte, which is dropped) the target writes the
// right CRC into every whole chunk, letting the mutations reach the chunks'
// contents.
#include <vector>
#include <zlib.h>

#include "PictureTarget.h"
#include "image/PngImageImpl.h"

namespace {

// After the 8-byte signature: chunks of a 4-byte length, a 4-byte type, the
// data, and the CRC of type and data.
void RepairCrcs(std::vector<std::uint8_t>& png) {
    std::size_t at = 8;
    while (png.size() >= at + 12) {
        std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                             std::size_t{png[at + 2]} << 8 | png[at + 3];
        if (length > png.size() - at - 12) {
            return;
        }
        auto crc = static_cast<std::uint32_t>(crc32_z(0, &png[at + 4], length + 4));
        for (int i = 0; i < 4; ++i) {
            png[at + 8 + length + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        }
        at += length + 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::vector<std::uint8_t> png(data + 1, data + size);
    if ((data[0] & 1) != 0) {
        RepairCrcs(png);
    }
    return fuzzing::FuzzPictureReader<image::CPngImageImpl>(png.data(), png.size());
}

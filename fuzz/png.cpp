// Fuzz target: the PNG reader on the bytes of a whole file.
#include "PictureTarget.h"
#include "image/PngImageImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::FuzzPictureReader<image::CPngImageImpl>(data, size);
}

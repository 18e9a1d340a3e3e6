// Fuzz target: the JPEG reader on the bytes of a whole file.
#include "PictureTarget.h"
#include "image/JpgImageImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::FuzzPictureReader<image::CJpgImageImpl>(data, size);
}

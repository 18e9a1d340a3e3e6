// Fuzz target: the GIF reader on the bytes of a whole file.
#include "PictureTarget.h"
#include "image/GifImageImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::FuzzPictureReader<image::CGifImageImpl>(data, size);
}

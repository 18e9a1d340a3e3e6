// Fuzz target: the BMP reader on the bytes of a whole file.
#include "PictureTarget.h"
#include "image/BmpImageImpl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzing::FuzzPictureReader<image::CBmpImageImpl>(data, size, [](const image::CBmpImageImpl& picture) {
        // Every block the reader makes has a 40-byte header that describes it exactly.
        const image::DibBlock& block = *picture.imageDib;
        image::BitmapInfoHeader header = image::BitmapInfoHeader::Read(block);
        fuzzing::Require(header.biSize == image::kInfoHeaderSize && header.biHeight > 0);
        fuzzing::Require(block.size() == image::DibPixelOffset(block) + header.biSizeImage);
    });
}

#include "BmpImageImpl.h"

namespace image {

int CBmpImageImpl::ReadImage(const std::string& fileName) {
    return TakeBlock(LoadBmpFile(UseName(fileName)));
}

int CBmpImageImpl::ReadImageBytes(const std::uint8_t* bytes, std::size_t size) {
    return TakeBlock(LoadBmpFromMemory(bytes, size));
}

int CBmpImageImpl::TakeBlock(std::optional<DibBlock> block) {
    if (!block) {
        return 0;
    }
    BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
    imageDib = std::make_unique<DibBlock>(std::move(*block));
    imageWidth = header.biWidth;
    imageHeight = header.biHeight;
    imageBitCount = header.biBitCount;
    imageBits = imageDib->data() + DibPixelOffset(*imageDib);
    imageRowBytes = static_cast<int>(DibRowBytes(header.biBitCount, static_cast<std::uint32_t>(header.biWidth)));
    // Nothing of an earlier picture in this object may stay with the new one.
    imageTransparent = -1;
    imagePalette.reset();
    std::optional<platform::LogicalPalette> palette = PaletteFromDib(*imageDib, 0);
    if (!palette) {
        imageFlags = 2;  // colours in the pixels themselves
        return 1;
    }
    imagePalette = std::make_unique<CImagePalette>(std::move(*palette));
    imageFlags = 3;
    FillDibColorTable(imageDib.get(), imagePalette->GetLogicalPalette(), 1);
    return 1;
}

int CBmpImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    if (!imagePalette) {
        // Without a palette object the table still holds its own colours.
        return SaveBmpFile(name, imageDib.get());
    }
    FillDibColorTable(imageDib.get(), imagePalette->GetLogicalPalette(), 0);
    int result = SaveBmpFile(name, imageDib.get());
    FillDibColorTable(imageDib.get(), imagePalette->GetLogicalPalette(), 1);
    return result;
}

}  // namespace image

#include "BmpImageImpl.h"

namespace image {

Result<void> CBmpImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    Result<DibBlock> block = LoadBmpFromMemory(file);
    if (!block) {
        return block.error();
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
    CImagePalette palette = PaletteFromDib(*imageDib);
    if (palette.Empty()) {
        imageFlags = 2;  // colours in the pixels themselves
        return {};
    }
    imagePalette = std::make_unique<CImagePalette>(std::move(palette));
    imageFlags = 3;
    FillDibColorTable(imageDib.get(), imagePalette.get(), 1);
    return {};
}

Result<void> CBmpImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    if (!imageDib) {
        return Error{"there is no picture to write"};
    }
    if (!imagePalette) {
        // Without a palette object the table still holds its own colours.
        return SaveBmpFile(name, *imageDib);
    }
    FillDibColorTable(imageDib.get(), imagePalette.get(), 0);
    Result<void> saved = SaveBmpFile(name, *imageDib);
    FillDibColorTable(imageDib.get(), imagePalette.get(), 1);
    return saved;
}

Result<BmpFileBytes> BmpFileBytesOfPicture(CImageImpl& picture) {
    if (!picture.imageDib) {
        return Error{"there is no picture to write"};
    }
    if (picture.imagePalette) {
        FillDibColorTable(picture.imageDib.get(), picture.imagePalette.get(), 0);
    }
    return BmpFileBytesOf(*picture.imageDib);
}

}  // namespace image

#include "GifImageImpl.h"

#include "GifCodec.h"

namespace image {

namespace {

// The reader's picture is this image: an 8-bit picture with default flags and
// the palette built from the file's colour table.
class ImageTarget : public GifPictureTarget {
public:
    explicit ImageTarget(CImageImpl& image) : image(image) {}

    bool CreatePicture(int width, int height) override {
        image.Create(width, height, 8, -1);
        return image.HasPicture();
    }
    std::uint8_t* PictureBits() override { return image.imageBits; }
    std::ptrdiff_t PictureRowBytes() override { return image.imageRowBytes; }
    void SetPalette(const GifPalette& palette) override {
        image.SetPaletteRGB(palette.count, palette.red.data(), palette.green.data(), palette.blue.data());
    }

private:
    CImageImpl& image;
};

// Whether the picture's rows, as its members describe them, lie inside its block.
bool RowsInsideBlock(const CImageImpl& image) {
    if (!image.imageDib || image.imageBits == nullptr || image.imageWidth <= 0 || image.imageHeight <= 0 ||
        image.imageBitCount <= 0 || image.imageBitCount > 8) {
        return false;
    }
    const DibBlock& block = *image.imageDib;
    if (image.imageBits < block.data() || image.imageBits > block.data() + block.size()) {
        return false;
    }
    auto start = static_cast<std::uint64_t>(image.imageBits - block.data());
    auto rowBytes = static_cast<std::uint64_t>(image.imageRowBytes);
    std::uint64_t needed = (std::uint64_t{static_cast<unsigned>(image.imageBitCount)} *
                                static_cast<std::uint64_t>(image.imageWidth) + 7) / 8;
    return image.imageRowBytes > 0 && rowBytes >= needed &&
           start + rowBytes * static_cast<std::uint64_t>(image.imageHeight) <= block.size();
}

}  // namespace

int CGifImageImpl::ReadImage(const std::string& fileName) {
    ImageTarget target(*this);
    return ReadGifFile(UseName(fileName), target, imageTransparent);
}

int CGifImageImpl::ReadImageBytes(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) {
        return 0;
    }
    ImageTarget target(*this);
    return ReadGif(std::span<const std::uint8_t>(bytes, size), target, imageTransparent);
}

int CGifImageImpl::WriteImage(const std::string& fileName) {
    GifPictureView view;
    view.width = imageWidth;
    view.height = imageHeight;
    view.bitCount = imageBitCount;
    if (imageBitCount <= 8 && RowsInsideBlock(*this)) {
        view.pixels = imageBits;
        view.rowBytes = imageRowBytes;
    }
    if (imagePalette && imagePalette->GetEntryCount() > 0) {
        const auto& entries = imagePalette->GetLogicalPalette()->Entries();
        view.palette = entries.data();
        view.paletteCount = entries.size();
    }
    return WriteGifFile(UseName(fileName), view);
}

}  // namespace image

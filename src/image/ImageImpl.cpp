// The picture object's implementation: making a picture, pixel access and
// palettes. Pixel access is exact at every depth:
// - 1, 2 and 4 bits: the index operations read and write the pixel's own bits
//   (leftmost pixel in the high bits of its byte), never its neighbours';
// - 16 and 32 bits: colours go through the block's bit-field masks, or the
//   default layouts (5-5-5, and blue, green, red, unused) without them;
// - 8 bits or fewer without a palette object: colours come from, and are
//   matched against, the colours of the block's own table.
#include "ImageImpl.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "PictureLimits.h"
#include "platform/ByteOrder.h"
#include "platform/Files.h"

namespace image {

namespace {

constexpr int kMaxPaletteTriples = 256;

// Where a pixel lies: its first byte, and for depths below 8 the shift of its bits.
struct PixelSpot {
    std::uint8_t* byte = nullptr;
    int shift = 0;
};

PixelSpot FindPixel(const CImageImpl& image, int x, int y) {
    if (!image.IsInside(x, y) || image.imageBits == nullptr || !image.imageDib || image.imageBitCount <= 0) {
        return {};
    }
    const DibBlock& block = *image.imageDib;
    // Members set by hand may describe more than the block holds: stay inside it.
    auto start = reinterpret_cast<std::uintptr_t>(block.data());
    auto bits = reinterpret_cast<std::uintptr_t>(image.imageBits);
    if (bits < start || bits - start > block.size()) {
        return {};
    }
    std::int64_t bitOffset = std::int64_t{x} * image.imageBitCount;
    auto offset = static_cast<std::int64_t>(bits - start) + std::int64_t{y} * image.imageRowBytes + bitOffset / 8;
    std::int64_t bytes = std::max(1, image.imageBitCount / 8);
    if (offset < 0 || offset + bytes > static_cast<std::int64_t>(block.size())) {
        return {};
    }
    int shift = image.imageBitCount < 8 ? 8 - image.imageBitCount - static_cast<int>(bitOffset % 8) : 0;
    return {image.imageDib->data() + offset, shift};
}

// The three colour masks of a 16- or 32-bit block (red, green, blue).
std::array<std::uint32_t, 3> ColourMasks(const CImageImpl& image) {
    const DibBlock& block = *image.imageDib;
    BitmapInfoHeader header = BitmapInfoHeader::Read(block);
    if (header.biCompression == kBiBitFields && block.size() >= std::size_t{header.biSize} + 12) {
        const std::uint8_t* p = block.data() + header.biSize;
        return {platform::ReadLE32(p), platform::ReadLE32(p + 4), platform::ReadLE32(p + 8)};
    }
    if (image.imageBitCount == 16) {
        return {0x7C00, 0x03E0, 0x001F};
    }
    return {0xFF0000, 0x00FF00, 0x0000FF};
}

std::uint8_t FromMask(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = std::countr_zero(mask);
    std::uint32_t top = mask >> shift;
    return static_cast<std::uint8_t>(((value & mask) >> shift) * 255u / top);
}

std::uint32_t ToMask(std::uint8_t value, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = std::countr_zero(mask);
    std::uint32_t top = mask >> shift;
    return ((value * top + 127u) / 255u << shift) & mask;
}

std::uint32_t ReadPacked(const std::uint8_t* p, int bits) {
    return bits == 16 ? platform::ReadLE16(p) : platform::ReadLE32(p);
}

void WritePacked(std::uint8_t* p, int bits, std::uint32_t value) {
    if (bits == 16) {
        platform::WriteLE16(p, static_cast<std::uint16_t>(value));
    } else {
        platform::WriteLE32(p, value);
    }
}

}  // namespace

bool CImageImpl::IsInside(int x, int y) const {
    return x >= 0 && x < imageWidth && y >= 0 && y < imageHeight;
}

int CImageImpl::Create(int width, int height, int bitsPerPixel, int flags, int colors) {
    imageWidth = width;
    imageHeight = height;
    imageBitCount = bitsPerPixel;
    imageFlags = flags >= 0 ? flags : (bitsPerPixel <= 8 ? 0 : 2);
    imageDib.reset();
    imagePalette.reset();
    imageBits = nullptr;
    Result<DibBlock> block = NewDib(bitsPerPixel, width, height, colors);
    if (!block) {
        // No picture: nothing may look inside.
        imageWidth = imageHeight = imageBitCount = imageRowBytes = 0;
        return 0;
    }
    imageDib = std::make_unique<DibBlock>(std::move(*block));
    imageBits = imageDib->data() + DibPixelOffset(*imageDib);
    imageRowBytes = static_cast<int>(
        DibRowBytes(static_cast<std::uint32_t>(bitsPerPixel), static_cast<std::uint32_t>(width)));
    return imageRowBytes;
}

int CImageImpl::GetPixelIndex(int x, int y) const {
    if (imageBitCount > 8) {
        return -1;
    }
    PixelSpot spot = FindPixel(*this, x, y);
    if (spot.byte == nullptr) {
        return -1;
    }
    int mask = (1 << imageBitCount) - 1;
    return (*spot.byte >> spot.shift) & mask;
}

int CImageImpl::SetPixelIndex(int x, int y, int value) {
    if (imageBitCount > 8) {
        return 0;
    }
    PixelSpot spot = FindPixel(*this, x, y);
    if (spot.byte == nullptr) {
        return 0;
    }
    int mask = ((1 << imageBitCount) - 1) << spot.shift;
    *spot.byte = static_cast<std::uint8_t>((*spot.byte & ~mask) | ((value << spot.shift) & mask));
    return 1;
}

int CImageImpl::GetPixelRGB(int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const {
    PixelSpot spot = FindPixel(*this, x, y);
    if (spot.byte == nullptr) {
        return 0;
    }
    if (imagePalette) {
        return imagePalette->GetEntryRGB(GetPixelIndex(x, y), red, green, blue);
    }
    if (imageBitCount <= 8) {
        // No palette object: the block's table still holds colours.
        return PaletteFromDib(*imageDib).GetEntryRGB(GetPixelIndex(x, y), red, green, blue);
    }
    if (imageBitCount == 16 || imageBitCount == 32) {
        std::array<std::uint32_t, 3> masks = ColourMasks(*this);
        std::uint32_t value = ReadPacked(spot.byte, imageBitCount);
        red = FromMask(value, masks[0]);
        green = FromMask(value, masks[1]);
        blue = FromMask(value, masks[2]);
        return 1;
    }
    blue = spot.byte[0];
    green = spot.byte[1];
    red = spot.byte[2];
    return 1;
}

bool CImageImpl::ReadRowColors(int y, Color* out) const {
    const PixelSpot start = FindPixel(*this, 0, y);
    const PixelSpot end = FindPixel(*this, imageWidth - 1, y);
    if (start.byte == nullptr || end.byte == nullptr) {
        return false;
    }
    const std::uint8_t* row = start.byte;
    if (imageBitCount <= 8) {
        const CImagePalette table = imagePalette ? *imagePalette : PaletteFromDib(*imageDib);
        const unsigned bits = static_cast<unsigned>(imageBitCount);
        const unsigned mask = (1u << bits) - 1;
        for (std::size_t x = 0; x < static_cast<std::size_t>(imageWidth); ++x) {
            const std::size_t bit = x * bits;
            const unsigned index = (unsigned{row[bit / 8]} >> (8 - bits - bit % 8)) & mask;
            out[x] = table.At(index);
        }
    } else if (imageBitCount == 24) {
        for (int x = 0; x < imageWidth; ++x, row += 3) {
            out[x] = {row[2], row[1], row[0]};
        }
    } else {
        const std::array<std::uint32_t, 3> masks = ColourMasks(*this);
        const int step = imageBitCount / 8;
        for (int x = 0; x < imageWidth; ++x, row += step) {
            const std::uint32_t value = ReadPacked(row, imageBitCount);
            out[x] = {FromMask(value, masks[0]), FromMask(value, masks[1]), FromMask(value, masks[2])};
        }
    }
    return true;
}

int CImageImpl::SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    PixelSpot spot = FindPixel(*this, x, y);
    if (spot.byte == nullptr) {
        return 0;
    }
    if ((imageFlags & 1) != 0) {
        if (!imagePalette) {
            return 0;
        }
        SetPixelIndex(x, y, imagePalette->NearestIndex(red, green, blue));
        return 1;
    }
    if (imageBitCount <= 8) {
        if (imagePalette) {
            return SetPixelIndex(x, y, imagePalette->NearestIndex(red, green, blue));
        }
        CImagePalette table = PaletteFromDib(*imageDib);
        if (table.Empty()) {
            return 0;
        }
        return SetPixelIndex(x, y, table.NearestIndex(red, green, blue));
    }
    if (imageBitCount == 16 || imageBitCount == 32) {
        std::array<std::uint32_t, 3> masks = ColourMasks(*this);
        std::uint32_t others = ReadPacked(spot.byte, imageBitCount) & ~(masks[0] | masks[1] | masks[2]);
        WritePacked(spot.byte, imageBitCount,
                    others | ToMask(red, masks[0]) | ToMask(green, masks[1]) | ToMask(blue, masks[2]));
        return 1;
    }
    spot.byte[0] = blue;
    spot.byte[1] = green;
    spot.byte[2] = red;
    return 1;
}

Result<void> CImageImpl::ReadImage(const std::string& fileName) {
    Result<std::vector<std::uint8_t>> file = platform::ReadWholeFile(fileName, kMaxPictureFileBytes);
    if (!file) {
        return platform::FileError("Cannot open", fileName, file.error());
    }
    return ReadImageBytes(*file);
}

Result<void> CImageImpl::ReadImageBytes(std::span<const std::uint8_t>) {
    return Error{"a picture of no file format cannot be read"};
}

Result<void> CImageImpl::WriteImage(const std::string&) {
    return Error{"a picture of no file format cannot be written"};
}

int CImageImpl::SetPaletteObject(std::unique_ptr<CImagePalette> palette) {
    if (!palette) {
        return 0;
    }
    imagePalette = std::move(palette);
    imageFlags |= 3;
    return FillDibColorTable(imageDib.get(), imagePalette.get(), 1);
}

int CImageImpl::SetPaletteRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue) {
    // One array serves for all three when the others are missing.
    if (green == nullptr) {
        green = red;
    }
    if (blue == nullptr) {
        blue = green;
    }
    auto palette = std::make_unique<CImagePalette>();
    if (palette->CreateFromRGB(n, red, green, blue) == 0) {
        return 0;
    }
    return SetPaletteObject(std::move(palette));
}

int CImageImpl::SetPaletteTriples(int n, const std::uint8_t* triples) {
    if (triples == nullptr) {
        return 0;
    }
    n = std::min(n, kMaxPaletteTriples);
    std::array<std::uint8_t, kMaxPaletteTriples> red{};
    std::array<std::uint8_t, kMaxPaletteTriples> green{};
    std::array<std::uint8_t, kMaxPaletteTriples> blue{};
    for (int i = 0; i < n; ++i) {
        red[static_cast<std::size_t>(i)] = triples[3 * i];
        green[static_cast<std::size_t>(i)] = triples[3 * i + 1];
        blue[static_cast<std::size_t>(i)] = triples[3 * i + 2];
    }
    return SetPaletteRGB(n, red.data(), green.data(), blue.data());
}

int CImageImpl::SetGreyRamp(int n) {
    n = std::min(n, kMaxPaletteTriples);
    if (n <= 0) {
        return 0;
    }
    std::array<std::uint8_t, kMaxPaletteTriples> grey{};
    for (int i = 0; i < n; ++i) {
        grey[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 256 / n);
    }
    return SetPaletteRGB(n, grey.data(), nullptr, nullptr);
}

CImageImpl* CImageImpl::TakeOver(CImageImpl* other) {
    if (other == nullptr || other == this) {
        return other;
    }
    imageDib = std::move(other->imageDib);
    imagePalette = std::move(other->imagePalette);
    imageTransparent = other->imageTransparent;
    imageBits = other->imageBits;
    imageWidth = other->imageWidth;
    imageHeight = other->imageHeight;
    imageBitCount = other->imageBitCount;
    imageFlags = other->imageFlags;
    imageRowBytes = other->imageRowBytes;
    other->imageBits = nullptr;
    return other;
}

Result<void> CImageFileImpl::ReadImage(const std::string& fileName) {
    return CImageImpl::ReadImage(UseName(fileName));
}

const std::string& CImageFileImpl::UseName(const std::string& fileName) {
    if (!fileName.empty()) {
        imageFileName = fileName;
    }
    return imageFileName;
}

}  // namespace image

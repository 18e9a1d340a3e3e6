#include <new>

#include "GifCodec.h"
#include "GifLzwEncoder.h"
#include "platform/Files.h"

namespace image {

namespace {

constexpr int kMaxSide = 0xFFFF;
// Global table present, colour resolution 8 bits, not sorted, 256 entries.
constexpr std::uint8_t kScreenPacked = 0xF7;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;

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

std::array<std::uint8_t, 3 * 256> GifColorTableFor(const CImageImpl& image) {
    std::array<std::uint8_t, 3 * 256> table{};
    if (image.imagePalette && !image.imagePalette->Empty()) {
        std::size_t count = std::min<std::size_t>(image.imagePalette->Size(), 256);
        for (std::size_t i = 0; i < count; ++i) {
            Color color = image.imagePalette->At(i);
            table[3 * i] = color.red;
            table[3 * i + 1] = color.green;
            table[3 * i + 2] = color.blue;
        }
    } else if (image.imageBitCount >= 1 && image.imageBitCount <= 8) {
        // No palette: the indices are grey levels, black to white.
        std::size_t levels = std::size_t{1} << image.imageBitCount;
        for (std::size_t i = 0; i < levels; ++i) {
            auto grey = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            table[3 * i] = table[3 * i + 1] = table[3 * i + 2] = grey;
        }
    }
    return table;
}

Result<std::vector<std::uint8_t>> WriteGifStream(const CImageImpl& image) {
    if (image.imageBitCount > 8) {
        return Error{kGifTooDeepMessage};
    }
    if (!RowsInsideBlock(image)) {
        return Error{"there is no picture to write"};
    }
    const int width = image.imageWidth;
    const int height = image.imageHeight;
    if (width > kMaxSide || height > kMaxSide) {
        return Error{kGifTooLargeMessage};
    }
    std::vector<std::uint8_t> bytes;
    platform::ByteWriter out(bytes, platform::Endian::kLittle);
    const auto side = [](int value) { return static_cast<std::uint16_t>(value); };
    const std::array<char, 6> signature{'G', 'I', 'F', '8', '7', 'a'};
    const std::uint8_t noBackground = 0;
    const std::uint8_t noAspect = 0;
    out(signature, side(width), side(height), kScreenPacked, noBackground, noAspect, GifColorTableFor(image));
    const std::uint16_t left = 0;
    const std::uint16_t top = 0;
    const std::uint8_t noLocalTable = 0;
    const auto codeSize = static_cast<std::uint8_t>(GifLzwEncoder::kMinimumCodeSize);
    out(kImageSeparator, left, top, side(width), side(height), noLocalTable, codeSize);

    GifPixelSource pixels(image.imageBits, image.imageRowBytes, width, height, image.imageBitCount);
    auto encoder = std::make_unique<GifLzwEncoder>(bytes);
    encoder->Compress(pixels);

    const std::uint8_t blockTerminator = 0;
    out(blockTerminator, kTrailer);
    return bytes;
}

Result<void> WriteGifFile(const std::string& name, const CImageImpl& image) {
    try {
        Result<std::vector<std::uint8_t>> stream = WriteGifStream(image);
        if (!stream) {
            return stream.error();
        }
        Result<platform::OutputFile> file = platform::OutputFile::Create(name);
        if (!file) {
            return Error{kGifCannotOpenMessage};
        }
        if (!file->Write(*stream) || !file->Finish()) {
            return Error{kGifWriteErrorMessage};
        }
        return {};
    } catch (const std::bad_alloc&) {
        return Error{kGifWriteErrorMessage};
    }
}

}  // namespace image

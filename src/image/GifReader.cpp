// Reading GIF files: the header and logical screen descriptor, the colour
// tables, the extensions before the first image (for a transparent index),
// and the first image's descriptor and data.
#include <algorithm>
#include <cstring>

#include "GifCodec.h"
#include "GifLzwDecoder.h"
#include "PictureLimits.h"

namespace image {

namespace {

using platform::ByteReader;

constexpr std::size_t kSignatureSize = 6;
constexpr std::size_t kHeaderSize = 13;  // signature, version, logical screen descriptor
constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kColorTableFlag = 0x80;
constexpr std::uint8_t kInterlaceFlag = 0x40;
constexpr std::uint8_t kTransparentFlag = 0x01;

struct ScreenDescriptor {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t packed = 0;
    std::uint8_t background = 0;
    std::uint8_t aspect = 0;
};

struct ImageDescriptor {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t packed = 0;
};

struct GraphicControl {
    std::uint8_t packed = 0;
    std::uint16_t delay = 0;
    std::uint8_t transparent = 0;
};

// A colour table of 2^(k+1) entries, k from the packed byte's low three bits.
// Entries missing at the end of the file stay black.
CImagePalette ReadColorTable(ByteReader& source, std::uint8_t packed) {
    const std::size_t count = std::size_t{2} << (packed & 0x07);
    auto bytes = source.Take(std::min(3 * count, source.Remaining()));
    std::vector<Color> colors(count);
    for (std::size_t i = 0; 3 * i + 2 < bytes.size(); ++i) {
        colors[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    }
    return CImagePalette(std::move(colors));
}

// Passes over data sub-blocks up to their zero-length terminator.
void SkipSubBlocks(ByteReader& source) {
    std::uint8_t length = 0;
    while (source(length) && length != 0) {
        source.Skip(std::min<std::size_t>(length, source.Remaining()));
    }
}

// One extension after its introducer. Only the graphic control extension is
// looked at, for its transparent index. False ends the parse.
bool ReadExtension(ByteReader& source, int& transparent) {
    std::uint8_t label = 0;
    if (!source(label)) {
        return false;
    }
    if (label == kGraphicControlLabel) {
        std::uint8_t blockSize = 0;
        GraphicControl control;
        if (!source(blockSize) || blockSize != 4 || !source(control.packed, control.delay, control.transparent)) {
            return false;
        }
        if (control.packed & kTransparentFlag) {
            transparent = control.transparent;
        }
    }
    SkipSubBlocks(source);
    return true;
}

Result<void> ReadFirstImage(ByteReader& source, CImagePalette table, CImageImpl& image) {
    ImageDescriptor descriptor;
    // Left and top place the image on a screen we do not have.
    if (!source(descriptor.left, descriptor.top, descriptor.width, descriptor.height, descriptor.packed)) {
        return {};  // no complete image: nothing is made
    }
    if (descriptor.packed & kColorTableFlag) {
        table = ReadColorTable(source, descriptor.packed);
    }
    const int width = descriptor.width;
    const int height = descriptor.height;
    if (!GifPictureSizeAllowed(width, height, source.Remaining())) {
        return Error{"the GIF picture is too large"};
    }
    if (image.Create(width, height, 8, -1) == 0) {
        return Error{"a GIF picture of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels cannot be made"};
    }
    if (!table.Empty()) {
        image.SetPaletteObject(std::make_unique<CImagePalette>(BuildGifPalette(table, image.imageTransparent)));
    }
    GifRowCursor rows(image.imageBits, image.imageRowBytes, width, height, (descriptor.packed & kInterlaceFlag) != 0);
    auto decoder = std::make_unique<LzwDecoder>();
    int badCodes = 0;
    // Damaged or short data leave what was decoded; the rest of the picture stays 0.
    [[maybe_unused]] Result<void> decoded = decoder->DecodeImageData(source, rows, badCodes);
    return {};
}

}  // namespace

CImagePalette BuildGifPalette(const CImagePalette& table, int transparent) {
    std::vector<Color> colors = table.Colors();
    colors.resize(std::min<std::size_t>(colors.size(), 256));
    if (transparent < 0 || transparent > 255) {
        return CImagePalette(std::move(colors));
    }
    // Transparent pictures are drawn through a mask, which needs the
    // transparent entry black and some entry white.
    constexpr Color kWhite{255, 255, 255};
    const bool hasWhite = std::find(colors.begin(), colors.end(), kWhite) != colors.end();
    const std::size_t count = colors.size();
    colors.resize(256);
    colors[static_cast<std::size_t>(transparent)] = Color{};
    if (count < 256) {
        std::fill(colors.begin() + static_cast<std::ptrdiff_t>(count), colors.end(), kWhite);
    } else if (!hasWhite) {
        colors[255] = kWhite;
    }
    return CImagePalette(std::move(colors));
}

bool GifPictureSizeAllowed(int width, int height, std::size_t dataBytes) {
    if (width <= 0 || height <= 0) {
        return true;  // no picture can be made of it, which Create reports
    }
    auto w = static_cast<std::uint64_t>(width);
    auto h = static_cast<std::uint64_t>(height);
    return PictureSizeAllowed(w, h) && CodedDataCanDescribe(w * h, dataBytes, kMaxPixelsPerCodedByte);
}

Result<void> ReadGif(std::span<const std::uint8_t> file, CImageImpl& image) {
    // Only "GIF8" is tested: both versions, 87a and 89a, are read alike.
    if (file.size() < kHeaderSize || std::memcmp(file.data(), "GIF8", 4) != 0) {
        return Error{"not a GIF file"};
    }
    image.imageTransparent = -1;
    ByteReader source(file, platform::Endian::kLittle);
    source.Skip(kSignatureSize);
    // Screen size, colour resolution, background and aspect describe a
    // display; only the global table matters here.
    ScreenDescriptor screen;
    source(screen.width, screen.height, screen.packed, screen.background, screen.aspect);
    CImagePalette table;
    if (screen.packed & kColorTableFlag) {
        table = ReadColorTable(source, screen.packed);
    }
    for (std::uint8_t introducer = 0; source(introducer);) {
        if (introducer == kExtensionIntroducer) {
            if (!ReadExtension(source, image.imageTransparent)) {
                break;
            }
        } else if (introducer == kImageSeparator) {
            // The first image is the picture; whatever follows it is not read.
            return ReadFirstImage(source, std::move(table), image);
        } else {
            break;  // the trailer, or a byte that starts nothing
        }
    }
    return {};
}

}  // namespace image

// Reading GIF files: the header and logical screen descriptor, the colour
// tables, the extensions before the first image (for a transparent index),
// and the first image's descriptor and data, placed on its screen.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

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

// One extension after its introducer: a label and data sub-blocks. Only the
// graphic control extension is looked at: its first sub-block, 4 bytes long
// (any longer one is read for the same fields), names the transparent index
// of the image that follows.
void ReadExtension(ByteReader& source, int& transparent) {
    std::uint8_t label = 0;
    if (!source(label)) {
        return;
    }
    if (label == kGraphicControlLabel) {
        std::uint8_t blockSize = 0;
        if (!source(blockSize) || blockSize == 0) {
            return;  // the terminator, or the end of the file
        }
        ByteReader block(source.Take(std::min<std::size_t>(blockSize, source.Remaining())), platform::Endian::kLittle);
        GraphicControl control;
        if (block(control.packed, control.delay, control.transparent)) {
            transparent = (control.packed & kTransparentFlag) != 0 ? control.transparent : -1;
        }
    }
    SkipSubBlocks(source);
}

// Where the first image lies in the picture: the logical screen, widened to
// take an image that reaches beyond it, so that no pixel of it is lost.
struct Placement {
    int left = 0;
    int top = 0;
    int width = 0;   // the image's
    int height = 0;
    int pictureWidth = 0;
    int pictureHeight = 0;
};

Placement PlaceImage(const ScreenDescriptor& screen, const ImageDescriptor& descriptor) {
    Placement p{descriptor.left, descriptor.top, descriptor.width, descriptor.height, 0, 0};
    p.pictureWidth = std::max<int>(screen.width, p.left + p.width);
    p.pictureHeight = std::max<int>(screen.height, p.top + p.height);
    return p;
}

// Paints the screen around the image with the background index.
void PaintAround(const CImageImpl& picture, const Placement& p, std::uint8_t background) {
    const auto stride = static_cast<std::ptrdiff_t>(picture.imageRowBytes);
    for (int y = 0; y < p.pictureHeight; ++y) {  // from the top
        std::uint8_t* row = picture.imageBits + static_cast<std::ptrdiff_t>(p.pictureHeight - 1 - y) * stride;
        if (y < p.top || y >= p.top + p.height) {
            std::memset(row, background, static_cast<std::size_t>(p.pictureWidth));
        } else {
            std::memset(row, background, static_cast<std::size_t>(p.left));
            const int right = p.left + p.width;
            std::memset(row + right, background, static_cast<std::size_t>(p.pictureWidth - right));
        }
    }
}

// The first image on its screen, read into a new picture: `image` takes it
// over only when the whole image was decoded.
Result<void> ReadFirstImage(ByteReader& source, const ScreenDescriptor& screen, CImagePalette table, int transparent,
                            CImageImpl& image) {
    ImageDescriptor descriptor;
    if (!source(descriptor.left, descriptor.top, descriptor.width, descriptor.height, descriptor.packed)) {
        return Error{"damaged GIF: the file ends in the image descriptor"};
    }
    // The screen's background is an index of the global table; without one, 0.
    const std::uint8_t background = table.Empty() ? 0 : screen.background;
    if (descriptor.packed & kColorTableFlag) {
        table = ReadColorTable(source, descriptor.packed);
    }
    if (descriptor.width == 0 || descriptor.height == 0) {
        return Error{"damaged GIF: the image is " + std::to_string(descriptor.width) + " x " +
                     std::to_string(descriptor.height) + " pixels"};
    }
    const Placement place = PlaceImage(screen, descriptor);
    if (!GifPictureSizeAllowed(place.pictureWidth, place.pictureHeight, source.Remaining())) {
        return Error{"the GIF picture is too large"};
    }
    CImageImpl picture;
    if (picture.Create(place.pictureWidth, place.pictureHeight, 8, -1) == 0) {
        return Error{"a GIF picture of " + std::to_string(place.pictureWidth) + " x " +
                     std::to_string(place.pictureHeight) + " pixels cannot be made"};
    }
    picture.imageTransparent = transparent;
    if (!table.Empty()) {
        picture.SetPaletteObject(std::make_unique<CImagePalette>(BuildGifPalette(table, transparent)));
    }
    if (background != 0) {  // a new picture is all 0
        PaintAround(picture, place, background);
    }
    // The image's bottom row, at its left edge.
    std::uint8_t* bottomLeft =
        picture.imageBits +
        static_cast<std::ptrdiff_t>(place.pictureHeight - place.top - place.height) * picture.imageRowBytes +
        place.left;
    GifRowCursor rows(bottomLeft, picture.imageRowBytes, place.width, place.height,
                      (descriptor.packed & kInterlaceFlag) != 0);
    auto decoder = std::make_unique<LzwDecoder>();
    if (Result<void> decoded = decoder->DecodeImageData(source, rows); !decoded) {
        return decoded.error();
    }
    image.TakeOver(&picture);
    return {};
}

}  // namespace

CImagePalette BuildGifPalette(const CImagePalette& table, int transparent) {
    std::vector<Color> colors = table.Colors();
    if (transparent >= 0 && static_cast<std::size_t>(transparent) < colors.size()) {
        // Where nothing is drawn the handheld's screen shows white.
        colors[static_cast<std::size_t>(transparent)] = Color{255, 255, 255};
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
    ByteReader source(file, platform::Endian::kLittle);
    source.Skip(kSignatureSize);
    // Colour resolution and aspect describe a display; the screen's size and
    // background frame the first image.
    ScreenDescriptor screen;
    source(screen.width, screen.height, screen.packed, screen.background, screen.aspect);
    CImagePalette table;
    if (screen.packed & kColorTableFlag) {
        table = ReadColorTable(source, screen.packed);
    }
    int transparent = -1;
    for (std::uint8_t introducer = 0; source(introducer);) {
        if (introducer == kExtensionIntroducer) {
            ReadExtension(source, transparent);
        } else if (introducer == kImageSeparator) {
            // The first image is the picture; whatever follows it is not read.
            return ReadFirstImage(source, screen, std::move(table), transparent, image);
        } else {
            break;  // the trailer, or a byte that starts nothing
        }
    }
    return Error{"the GIF file holds no image"};
}

}  // namespace image

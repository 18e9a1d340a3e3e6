#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "GifCodec.h"
#include "GifLzwDecoder.h"
#include "platform/ByteOrder.h"

namespace image {

namespace {

constexpr std::size_t kHeaderSize = 13;  // signature, version, logical screen descriptor
constexpr std::size_t kImageDescriptorSize = 9;
constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr int kGraphicControlLabel = 0xF9;
constexpr std::size_t kGraphicControlSize = 4;
constexpr std::uint8_t kColorTableFlag = 0x80;
constexpr std::uint8_t kInterlaceFlag = 0x40;
constexpr std::uint8_t kTransparentFlag = 0x01;

// A colour table of 2^(k+1) entries, k from the packed byte's low three bits.
// Entries missing at the end of the file stay black.
void ReadColorTable(GifByteSource& source, std::uint8_t packed, GifColorTable& table) {
    table.count = 2 << (packed & 0x07);
    table.rgb.fill(0);
    source.Read(table.rgb.data(), 3 * static_cast<std::size_t>(table.count));
}

// Passes over data sub-blocks up to their zero-length terminator.
void SkipSubBlocks(GifByteSource& source) {
    for (;;) {
        int length = source.NextGifByte();
        if (length <= 0) {
            return;
        }
        source.Skip(static_cast<std::size_t>(length));
    }
}

// One extension after its introducer. Only the graphic control extension is
// looked at, for its transparent index. False ends the parse.
bool ReadExtension(GifByteSource& source, int& transparent) {
    int label = source.NextGifByte();
    if (label < 0) {
        return false;
    }
    if (label == kGraphicControlLabel) {
        int blockSize = source.NextGifByte();
        if (blockSize < 0) {
            return false;
        }
        std::array<std::uint8_t, kGraphicControlSize> data{};
        std::size_t got = source.Read(data.data(), data.size());
        if (got != static_cast<std::size_t>(blockSize)) {
            return false;
        }
        if (data[0] & kTransparentFlag) {
            transparent = data[3];
        }
    }
    SkipSubBlocks(source);
    return true;
}

int ReadFirstImage(GifByteSource& source, GifColorTable& table, bool haveTable, GifPictureTarget& target,
                   int transparent) {
    std::array<std::uint8_t, kImageDescriptorSize> descriptor{};
    if (source.Read(descriptor.data(), descriptor.size()) < descriptor.size()) {
        return 1;  // no complete image: nothing is made
    }
    // Left and top position (bytes 0–3) place the image on a screen we do not have.
    int width = platform::ReadLE16(&descriptor[4]);
    int height = platform::ReadLE16(&descriptor[6]);
    std::uint8_t packed = descriptor[8];
    if (packed & kColorTableFlag) {
        ReadColorTable(source, packed, table);
        haveTable = true;
    }
    if (!GifPictureSizeAllowed(width, height, source.Remaining())) {
        return 0;
    }
    if (!target.CreatePicture(width, height)) {
        return 0;
    }
    if (haveTable) {
        target.SetPalette(BuildGifPalette(table, transparent));
    }
    GifRowCursor rows(target.PictureBits(), target.PictureRowBytes(), width, height, (packed & kInterlaceFlag) != 0);
    auto decoder = std::make_unique<LzwDecoder>();
    int badCodes = 0;
    // Damaged or short data leave what was decoded; the rest of the picture stays 0.
    decoder->DecodeImageData(source, rows, badCodes);
    return 1;
}

}  // namespace

GifPalette BuildGifPalette(const GifColorTable& table, int transparent) {
    GifPalette palette;
    bool hasWhite = false;
    for (int i = 0; i < table.count && i < 256; ++i) {
        auto e = static_cast<std::size_t>(i);
        palette.red[e] = table.rgb[3 * e];
        palette.green[e] = table.rgb[3 * e + 1];
        palette.blue[e] = table.rgb[3 * e + 2];
        hasWhite = hasWhite || (palette.red[e] == 255 && palette.green[e] == 255 && palette.blue[e] == 255);
    }
    palette.count = table.count;
    if (transparent < 0 || transparent > 255) {
        return palette;
    }
    // Transparent pictures are drawn through a mask, which needs the
    // transparent entry black and some entry white.
    auto t = static_cast<std::size_t>(transparent);
    palette.red[t] = palette.green[t] = palette.blue[t] = 0;
    if (table.count < 256) {
        for (auto i = static_cast<std::size_t>(table.count); i < 256; ++i) {
            palette.red[i] = palette.green[i] = palette.blue[i] = 255;
        }
    } else if (!hasWhite) {
        palette.red[255] = palette.green[255] = palette.blue[255] = 255;
    }
    palette.count = 256;
    return palette;
}

bool GifPictureSizeAllowed(int width, int height, std::size_t dataBytes) {
    if (width <= 0 || height <= 0) {
        return true;  // no picture can be made of it, which CreatePicture reports
    }
    auto w = static_cast<std::uint64_t>(width);
    auto h = static_cast<std::uint64_t>(height);
    return PictureSizeAllowed(w, h) && CodedDataCanDescribe(w * h, dataBytes, kMaxPixelsPerCodedByte);
}

int ReadGif(std::span<const std::uint8_t> file, GifPictureTarget& target, int& transparent) {
    // Only "GIF8" is tested: both versions, 87a and 89a, are read alike.
    if (file.size() < kHeaderSize || std::memcmp(file.data(), "GIF8", 4) != 0) {
        return 0;
    }
    transparent = -1;
    GifByteSource source(file);
    source.Skip(kHeaderSize);
    // Screen size, colour resolution, background and aspect (bytes 6–9, 11,
    // 12) describe a display; only the global table matters here.
    std::uint8_t screenPacked = file[10];
    GifColorTable table;
    bool haveTable = false;
    if (screenPacked & kColorTableFlag) {
        ReadColorTable(source, screenPacked, table);
        haveTable = true;
    }
    for (;;) {
        int introducer = source.NextGifByte();
        if (introducer == kExtensionIntroducer) {
            if (!ReadExtension(source, transparent)) {
                break;
            }
        } else if (introducer == kImageSeparator) {
            // The first image is the picture; whatever follows it is not read.
            return ReadFirstImage(source, table, haveTable, target, transparent);
        } else {
            break;  // the trailer, the end of the file, or a byte that starts nothing
        }
    }
    return 1;
}

int ReadGifFile(const std::string& name, GifPictureTarget& target, int& transparent) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"), &std::fclose);
    if (!file) {
        return 0;
    }
    try {
        // Read the whole file: a first piece for the signature, then the rest.
        std::vector<std::uint8_t> bytes(kHeaderSize);
        std::size_t size = std::fread(bytes.data(), 1, bytes.size(), file.get());
        if (size < kHeaderSize || std::memcmp(bytes.data(), "GIF8", 4) != 0) {
            return 0;
        }
        constexpr std::size_t kPiece = std::size_t{1} << 20;
        for (;;) {
            bytes.resize(size + kPiece);
            std::size_t got = std::fread(bytes.data() + size, 1, kPiece, file.get());
            size += got;
            if (got < kPiece) {
                break;
            }
        }
        if (std::ferror(file.get())) {
            return 0;
        }
        bytes.resize(size);
        file.reset();
        return ReadGif(bytes, target, transparent);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace image

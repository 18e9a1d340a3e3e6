// Rules of the packed DIB block: header fields, colour counts, the layout of a
// new block and the colour table's two forms (colours, or palette indices).
#include "Dib.h"

#include <algorithm>
#include <array>

#include "platform/ByteOrder.h"

namespace image {

namespace {

using platform::WriteLE16;
using platform::WriteLE32;

// The 16 colours a new block of 4 or 8 bits starts with, as 0x00RRGGBB.
constexpr std::array<std::uint32_t, 16> kDefaultColours = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

constexpr std::size_t kMaskBytes = 12;

// Tables of 1- and 2-bit blocks: black to white.
constexpr std::array<std::uint32_t, 2> kTwoColours = {0x000000, 0xFFFFFF};
constexpr std::array<std::uint32_t, 4> kFourColours = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF};

// Entries the table of a new block gets: every depth up to 8 bits has a full table.
std::uint32_t NewTableEntries(int bitsPerPixel) {
    return bitsPerPixel <= 8 ? std::uint32_t{1} << bitsPerPixel : 0;
}

std::uint32_t NewTableColour(int bitsPerPixel, std::uint32_t i) {
    switch (bitsPerPixel) {
    case 1:
        return kTwoColours[i];
    case 2:
        return kFourColours[i];
    default:
        return kDefaultColours[i % kDefaultColours.size()];
    }
}

}  // namespace

BitmapInfoHeader BitmapInfoHeader::Read(const DibBlock& block) {
    BitmapInfoHeader header;
    platform::ByteReader reader(block, platform::Endian::kLittle);
    Fields(reader, header);
    return reader ? header : BitmapInfoHeader{0, 0, 0, 0};
}

void BitmapInfoHeader::Write(DibBlock& block) const {
    std::vector<std::uint8_t> bytes;
    platform::ByteWriter writer(bytes, platform::Endian::kLittle);
    Fields(writer, *this);
    if (block.size() < bytes.size()) {
        block.resize(bytes.size());
    }
    std::copy(bytes.begin(), bytes.end(), block.begin());
}

std::uint64_t DibRowBytes(std::uint32_t bitsPerPixel, std::uint32_t width) {
    return (std::uint64_t{bitsPerPixel} * width + 31) / 32 * 4;
}

bool IsDibDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

std::uint32_t DibColorCount(const DibBlock& block) {
    if (block.size() < kInfoHeaderSize) {
        return 0;
    }
    BitmapInfoHeader header = BitmapInfoHeader::Read(block);
    if (header.biClrUsed != 0) {
        return header.biClrUsed;
    }
    return header.biBitCount <= 8 ? std::uint32_t{1} << header.biBitCount : 0;
}

std::size_t DibPixelOffset(const DibBlock& block) {
    BitmapInfoHeader header = BitmapInfoHeader::Read(block);
    // Bit-field blocks hold the red, green and blue masks where the table would be.
    if (header.biCompression == kBiBitFields) {
        return std::size_t{header.biSize} + kMaskBytes;
    }
    return std::size_t{header.biSize} + std::size_t{4} * DibColorCount(block);
}

Result<DibBlock> NewDib(int bitsPerPixel, int width, int height, int colors) {
    if (!IsDibDepth(bitsPerPixel) || width <= 0 || height <= 0) {
        return Error{"a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels at " +
                     std::to_string(bitsPerPixel) + " bits cannot be made"};
    }
    std::uint64_t rowBytes = DibRowBytes(static_cast<std::uint32_t>(bitsPerPixel), static_cast<std::uint32_t>(width));
    std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(height);
    std::uint32_t entries = NewTableEntries(bitsPerPixel);
    if (colors > 0) {
        entries = std::min(entries, static_cast<std::uint32_t>(colors));
    }
    std::uint64_t total = kInfoHeaderSize + std::uint64_t{4} * entries + pixelBytes;
    if (total > kMaxDibBytes) {
        return Error{"the picture is too large: more than 2 GiB"};
    }
    DibBlock block(static_cast<std::size_t>(total), 0);
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    header.biSizeImage = static_cast<std::uint32_t>(pixelBytes);
    header.biClrUsed = entries;
    header.Write(block);
    // Tables of 16 and 256 entries repeat the 16 default colours.
    for (std::uint32_t i = 0; i < entries; ++i) {
        WriteLE32(block.data() + kInfoHeaderSize + 4 * i, NewTableColour(bitsPerPixel, i));
    }
    return block;
}

CImagePalette PaletteFromDib(const DibBlock& block) {
    std::uint32_t count = DibColorCount(block);
    std::uint32_t tableStart = BitmapInfoHeader::Read(block).biSize;
    if (count == 0 || block.size() < std::uint64_t{tableStart} + std::uint64_t{4} * count) {
        return {};
    }
    std::vector<Color> colors(count);
    const std::uint8_t* table = block.data() + tableStart;
    for (std::uint32_t i = 0; i < count; ++i) {
        colors[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i]};
    }
    return CImagePalette(std::move(colors));
}

int FillDibColorTable(DibBlock* block, const CImagePalette* palette, int mode) {
    if (palette == nullptr) {
        palette = &CImagePalette::Default();
    }
    if (block == nullptr || block->size() < kInfoHeaderSize) {
        return 0;
    }
    BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
    std::uint32_t n = DibColorCount(*block);
    if (n == 0 || header.biCompression == kBiBitFields) {
        return 1;  // no table, or the three words are colour masks
    }
    if (block->size() < std::uint64_t{header.biSize} + std::uint64_t{4} * n) {
        return 0;  // the block does not hold its own table
    }
    std::uint8_t* table = block->data() + header.biSize;
    if (mode == 1) {
        for (std::uint32_t i = 0; i < n; ++i) {
            WriteLE16(table + 2 * i, static_cast<std::uint16_t>(i));
        }
        return 1;
    }
    // Entries the palette does not have are black.
    for (std::uint32_t i = 0; i < n; ++i) {
        Color color = palette->At(i);
        table[4 * i] = color.blue;
        table[4 * i + 1] = color.green;
        table[4 * i + 2] = color.red;
        table[4 * i + 3] = 0;
    }
    return 1;
}

}  // namespace image

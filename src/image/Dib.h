#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ImagePalette.h"
#include "platform/ByteCursor.h"
#include "platform/Result.h"

namespace image {

using platform::Error;
using platform::Result;

// A packed device-independent bitmap: a 40-byte info header, the colour table
// (4-byte entries blue, green, red, 0 — or 16-bit palette indices when switched
// to index form), then the pixel rows, bottom row first, each padded to 4 bytes.
// All numbers little-endian. Every depth up to 8 bits has a table of biClrUsed
// entries (2, 4, 16 or 256 in a new block); deeper blocks have none, and those
// with biCompression 3 hold the red, green and blue masks (3 words) in its place.
using DibBlock = std::vector<std::uint8_t>;

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
// No block may exceed 2 GiB, so that every offset inside one fits a signed 32-bit value.
constexpr std::uint64_t kMaxDibBytes = std::uint64_t{1} << 31;
// biCompression values.
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitFields = 3;

// The 14-byte header of a .bmp file.
struct BitmapFileHeader {
    std::uint16_t bfType = 0x4D42;  // "BM"
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& h) {
        c(h.bfType, h.bfSize, h.bfReserved1, h.bfReserved2, h.bfOffBits);
    }
};

// The info header's fields.
struct BitmapInfoHeader {
    std::uint32_t biSize = kInfoHeaderSize;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& h) {
        c(h.biSize, h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, h.biCompression, h.biSizeImage,
          h.biXPelsPerMeter, h.biYPelsPerMeter, h.biClrUsed, h.biClrImportant);
    }
    // The header at the start of a block; all zero for a block shorter than it.
    static BitmapInfoHeader Read(const DibBlock& block);
    // Writes the header over the start of the block.
    void Write(DibBlock& block) const;
};

// Reads a .bmp file (or a bare DIB without file header) into a block with a
// 40-byte header and positive height (bottom-up rows); an error when the file
// is missing, damaged, truncated or of a kind this reader does not decode.
// Bit-field pixels with alpha are composited over white into a 24-bit block.
Result<DibBlock> LoadBmpFile(const std::string& name);
// The same from the bytes of a whole file in memory.
Result<DibBlock> LoadBmpFromMemory(std::span<const std::uint8_t> file);
// A .bmp file image in memory whose pixel rows are used where they lie: the
// block's header and colour table exactly as LoadBmpFromMemory makes them
// (but without pixel rows), and the rows in the file. An error when the rows
// are run-length encoded or composited over white, or when LoadBmpFromMemory
// would refuse the file.
struct BmpRowsInPlace {
    DibBlock header;
    const std::uint8_t* rows = nullptr;  // the first row the file stores
    bool topDown = false;                // the file stores the top row first
};
Result<BmpRowsInPlace> ViewBmpInMemory(std::span<const std::uint8_t> file);
// A block as the bytes of a .bmp file: the 14-byte file header, then the
// block's header, table and pixel rows (a view into the block).
struct BmpFileBytes {
    std::vector<std::uint8_t> fileHeader;
    std::span<const std::uint8_t> block;
};
Result<BmpFileBytes> BmpFileBytesOf(const DibBlock& block);
// Writes a block as a .bmp file; no file is left when it cannot be completed.
Result<void> SaveBmpFile(const std::string& name, const DibBlock& block);

// biClrUsed when not 0; else 2^biBitCount up to 8 bits; else 0.
std::uint32_t DibColorCount(const DibBlock& block);
// Offset of the first pixel byte inside the block: behind the table, or the masks.
std::size_t DibPixelOffset(const DibBlock& block);
// Bytes of one pixel row, padded to 4 bytes: ((bits × width + 31) / 32) × 4, without overflow.
std::uint64_t DibRowBytes(std::uint32_t bitsPerPixel, std::uint32_t width);
// True for the depths a block can have: 1, 2, 4, 8, 16, 24 and 32 bits per pixel.
bool IsDibDepth(int bitsPerPixel);
// A new zero-filled block; an error when the sizes are out of range. A block
// of 8 bits or fewer has a table of `colors` entries (1 to 2^bitsPerPixel;
// all of them when not given).
Result<DibBlock> NewDib(int bitsPerPixel, int width, int height, int colors = -1);
// The colours of the block's colour table; empty without a table.
CImagePalette PaletteFromDib(const DibBlock& block);
// Mode 1: index form; other modes: colours from the palette (the default palette when none).
int FillDibColorTable(DibBlock* block, const CImagePalette* palette, int mode);

}  // namespace image

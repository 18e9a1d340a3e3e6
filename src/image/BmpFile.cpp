// Reading and writing .bmp files (and bare DIBs without a file header).
//
// Reading takes the file's bytes as a whole and checks every part against
// them before it is copied: the file header, the info header (40, 52, 56, 108
// or 124 bytes, or the 12-byte core header), the bit-field masks, the colour
// table and the pixel area. The result is always the same kind of block: a
// 40-byte header, 4-byte table entries and bottom-up uncompressed rows.
//
// Transparency: a bit-field picture whose header (56 bytes or more) declares
// an alpha mask is composited over white, the colour of the handheld's screen
// where there is no ink, into a 24-bit block. When no pixel has any alpha the
// mask is taken to be unused (writers declare it and leave it 0), and the
// picture is read as an opaque one. The fourth byte of an uncompressed 32-bit
// pixel is always ignored: many writers leave garbage there.
#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>

#include "BmpRle.h"
#include "Dib.h"
#include "PictureLimits.h"
#include "platform/ByteOrder.h"
#include "platform/Files.h"

namespace image {

namespace {

using Bytes = std::span<const std::uint8_t>;
using platform::ByteReader;
using platform::Endian;

constexpr std::uint16_t kBmType = 0x4D42;  // "BM"
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::array<std::uint32_t, 5> kInfoHeaderSizes = {40, 52, 56, 108, 124};
constexpr std::size_t kMaskBytes = 12;
// Headers of 56 bytes and more hold an alpha mask behind the three colour masks.
constexpr std::uint32_t kAlphaMaskEnd = 56;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;

Error Damaged(const std::string& what) {
    return Error{"damaged BMP (" + what + ")"};
}

Error TooLarge() {
    return Error{"the BMP picture is too large"};
}

// Where the parts of one picture lie in its file, as its headers say.
struct BmpLayout {
    BitmapInfoHeader info;  // the file's fields, widened from a core header
    std::uint32_t headerBytes = 0;
    bool topDown = false;
    std::uint32_t height = 0;  // rows, whatever the direction
    std::uint64_t rowBytes = 0;    // of the file's rows
    std::uint64_t pixelBytes = 0;  // of the file's rows
    std::uint32_t tableEntryBytes = 4;
    std::uint64_t tableOffset = 0;
    std::uint32_t blockEntries = 0;  // colour-table entries the block keeps
    std::uint64_t masksOffset = 0;   // bit-field masks, when compression is 3
    std::array<std::uint32_t, 3> masks{};  // red, green, blue
    std::uint32_t alphaMask = 0;     // 0 unless the pixels are composited over white
    std::uint64_t pixelOffset = 0;

    bool Composited() const { return alphaMask != 0; }
    // The block's rows: 24 bits for composited pictures, else the file's.
    std::uint64_t BlockRowBytes() const {
        return Composited() ? DibRowBytes(24, static_cast<std::uint32_t>(info.biWidth)) : rowBytes;
    }
    std::uint64_t BlockPixelBytes() const { return BlockRowBytes() * height; }
};

bool Holds(Bytes file, std::uint64_t offset, std::uint64_t count) {
    return offset <= file.size() && count <= file.size() - offset;
}

bool IsInfoHeaderSize(std::uint32_t size) {
    return std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), size) != kInfoHeaderSizes.end();
}

// The info header at `start`: a core header is widened to the 40-byte fields.
// Bytes without the "BM" of a file header that begin with no known header are
// no bitmap at all.
Result<void> ReadInfoHeader(Bytes file, std::uint64_t start, bool hasFileHeader, BmpLayout& layout) {
    ByteReader reader(file.subspan(static_cast<std::size_t>(std::min<std::uint64_t>(start, file.size()))),
                      Endian::kLittle);
    std::uint32_t size = 0;
    reader(size);
    if (!hasFileHeader && (!reader || (size != kCoreHeaderSize && !IsInfoHeaderSize(size)))) {
        return Error{"not a BMP file"};
    }
    if (size == kCoreHeaderSize) {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        BitmapInfoHeader& info = layout.info;
        layout.tableEntryBytes = 3;
        if (!reader(width, height, info.biPlanes, info.biBitCount)) {
            return Damaged("the file ends inside its headers");
        }
        info.biWidth = width;
        info.biHeight = height;
    } else {
        if (!reader) {
            return Damaged("the file ends inside its headers");
        }
        if (!IsInfoHeaderSize(size)) {
            return Damaged("a header of " + std::to_string(size) + " bytes");
        }
        if (!reader.Seek(0) || reader.Remaining() < size) {
            return Damaged("the file ends inside its headers");
        }
        BitmapInfoHeader::Fields(reader, layout.info);
    }
    layout.headerBytes = size;
    return {};
}

// Refuses sizes, depths and compressions this reader cannot turn into a block.
Result<void> CheckPicture(BmpLayout& layout) {
    const BitmapInfoHeader& info = layout.info;
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == std::numeric_limits<std::int32_t>::min()) {
        return Damaged("a picture of " + std::to_string(info.biWidth) + " x " + std::to_string(info.biHeight) +
                       " pixels");
    }
    if (!IsDibDepth(info.biBitCount)) {
        return Damaged(std::to_string(info.biBitCount) + " bits per pixel");
    }
    layout.topDown = info.biHeight < 0;
    std::int64_t height = info.biHeight;
    layout.height = static_cast<std::uint32_t>(layout.topDown ? -height : height);
    if (!PictureSizeAllowed(static_cast<std::uint32_t>(info.biWidth), layout.height)) {
        return TooLarge();
    }
    switch (info.biCompression) {
    case kBiRgb:
        break;
    case kBiRle8:
    case kBiRle4:
        if (info.biBitCount != (info.biCompression == kBiRle8 ? 8 : 4)) {
            return Damaged("run-length coding of " + std::to_string(info.biBitCount) + "-bit pixels");
        }
        // Encoded rows are always bottom-up.
        if (layout.topDown) {
            return Damaged("run-length coded rows from the top");
        }
        break;
    case kBiBitFields:
        if (info.biBitCount != 16 && info.biBitCount != 32) {
            return Damaged("colour masks for " + std::to_string(info.biBitCount) + "-bit pixels");
        }
        break;
    case kBiJpeg:
    case kBiPng:
        return Error{"a BMP holding a JPEG or PNG picture cannot be read"};
    default:
        return Damaged("compression " + std::to_string(info.biCompression));
    }
    layout.rowBytes = DibRowBytes(info.biBitCount, static_cast<std::uint32_t>(info.biWidth));
    layout.pixelBytes = layout.rowBytes * layout.height;
    return {};
}

// The masks, the colour table and the pixels: where they are, and that the
// file holds the first two.
Result<void> PlaceParts(Bytes file, std::uint64_t start, const BitmapFileHeader& fileHeader, bool hasFileHeader,
                        BmpLayout& layout) {
    const BitmapInfoHeader& info = layout.info;
    std::uint64_t next = start + layout.headerBytes;
    if (info.biCompression == kBiBitFields) {
        // A 40-byte header is followed by the masks; longer ones hold them.
        layout.masksOffset = layout.headerBytes == kInfoHeaderSize ? next : start + kInfoHeaderSize;
        if (layout.headerBytes == kInfoHeaderSize) {
            next += kMaskBytes;
        }
        if (!Holds(file, layout.masksOffset, kMaskBytes)) {
            return Damaged("the file ends inside its colour masks");
        }
        const std::uint8_t* masks = file.data() + layout.masksOffset;
        layout.masks = {platform::ReadLE32(masks), platform::ReadLE32(masks + 4), platform::ReadLE32(masks + 8)};
        if (layout.headerBytes >= kAlphaMaskEnd) {
            layout.alphaMask = platform::ReadLE32(masks + kMaskBytes);
        }
    }
    std::uint64_t fullTable = info.biBitCount <= 8 ? std::uint64_t{1} << info.biBitCount : 0;
    std::uint64_t fileEntries = info.biClrUsed != 0 ? info.biClrUsed : fullTable;
    // Pictures of more than 8 bits keep no table: their pixels are colours.
    layout.blockEntries = static_cast<std::uint32_t>(std::min(fileEntries, fullTable));
    layout.tableOffset = next;
    if (!Holds(file, layout.tableOffset, std::uint64_t{layout.blockEntries} * layout.tableEntryBytes)) {
        return Damaged("the file ends inside its colour table");
    }
    std::uint64_t tableEnd = layout.tableOffset + fileEntries * layout.tableEntryBytes;
    if (hasFileHeader && fileHeader.bfOffBits != 0) {
        if (fileHeader.bfOffBits < kFileHeaderSize + layout.headerBytes) {
            return Damaged("the pixels start inside the headers");
        }
        layout.pixelOffset = start - kFileHeaderSize + fileHeader.bfOffBits;
    } else {
        layout.pixelOffset = tableEnd;
    }
    return {};
}

// The value of one mask's bits, scaled to 0..255 (truncated, as the picture's
// own pixel access reads bit-field pixels).
std::uint8_t FromMask(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = std::countr_zero(mask);
    std::uint64_t top = mask >> shift;
    return static_cast<std::uint8_t>(std::uint64_t{(value & mask) >> shift} * 255u / top);
}

std::uint32_t PixelAt(const std::uint8_t* row, std::uint32_t x, int bits) {
    return bits == 16 ? platform::ReadLE16(row + 2 * std::size_t{x}) : platform::ReadLE32(row + 4 * std::size_t{x});
}

// Whether any pixel of a held, uncompressed bit-field picture has alpha.
bool AnyAlpha(Bytes file, const BmpLayout& layout) {
    const std::uint8_t* rows = file.data() + layout.pixelOffset;
    auto width = static_cast<std::uint32_t>(layout.info.biWidth);
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        const std::uint8_t* row = rows + y * layout.rowBytes;
        for (std::uint32_t x = 0; x < width; ++x) {
            if ((PixelAt(row, x, layout.info.biBitCount) & layout.alphaMask) != 0) {
                return true;
            }
        }
    }
    return false;
}

// One sample over white by its alpha: (alpha × sample + (255 − alpha) × 255) / 255, rounded.
std::uint8_t OverWhite(std::uint8_t sample, std::uint8_t alpha) {
    unsigned sum = unsigned{alpha} * sample + (255u - alpha) * 255u;
    return static_cast<std::uint8_t>((sum + 127u) / 255u);
}

// One file row of bit-field pixels with alpha as a block row of blue, green, red over white.
void CompositeRow(const std::uint8_t* in, std::uint8_t* out, const BmpLayout& layout) {
    auto width = static_cast<std::uint32_t>(layout.info.biWidth);
    for (std::uint32_t x = 0; x < width; ++x, out += 3) {
        std::uint32_t value = PixelAt(in, x, layout.info.biBitCount);
        std::uint8_t alpha = FromMask(value, layout.alphaMask);
        out[0] = OverWhite(FromMask(value, layout.masks[2]), alpha);
        out[1] = OverWhite(FromMask(value, layout.masks[1]), alpha);
        out[2] = OverWhite(FromMask(value, layout.masks[0]), alpha);
    }
}

// The block's header and colour table (or masks), with room for no pixels yet.
DibBlock MakeHeaderBlock(Bytes file, const BmpLayout& layout) {
    const BitmapInfoHeader& in = layout.info;
    bool bitFields = in.biCompression == kBiBitFields && !layout.Composited();
    std::size_t tableBytes = bitFields ? kMaskBytes : std::size_t{4} * layout.blockEntries;
    DibBlock block(kInfoHeaderSize + tableBytes, 0);
    BitmapInfoHeader out = in;
    out.biSize = kInfoHeaderSize;
    out.biHeight = static_cast<std::int32_t>(layout.height);
    out.biBitCount = static_cast<std::uint16_t>(layout.Composited() ? 24 : in.biBitCount);
    out.biCompression = bitFields ? kBiBitFields : kBiRgb;
    out.biSizeImage = static_cast<std::uint32_t>(layout.BlockPixelBytes());
    out.biClrUsed = bitFields ? 0 : layout.blockEntries;
    out.biClrImportant = in.biClrImportant <= out.biClrUsed ? in.biClrImportant : 0;
    out.Write(block);
    std::uint8_t* table = block.data() + kInfoHeaderSize;
    if (bitFields) {
        std::copy_n(file.data() + layout.masksOffset, kMaskBytes, table);
        return block;
    }
    const std::uint8_t* source = file.data() + layout.tableOffset;
    for (std::uint32_t i = 0; i < layout.blockEntries; ++i) {
        const std::uint8_t* entry = source + std::size_t{i} * layout.tableEntryBytes;
        table[4 * i] = entry[0];
        table[4 * i + 1] = entry[1];
        table[4 * i + 2] = entry[2];
        table[4 * i + 3] = 0;
    }
    return block;
}

bool IsEncoded(const BmpLayout& layout) {
    return layout.info.biCompression == kBiRle8 || layout.info.biCompression == kBiRle4;
}

// Reads the headers and the colour table of the picture.
Result<DibBlock> ReadBmpHeader(Bytes file, BmpLayout& layout) {
    BitmapFileHeader fileHeader;
    ByteReader reader(file, Endian::kLittle);
    BitmapFileHeader::Fields(reader, fileHeader);
    bool hasFileHeader = file.size() >= 2 && platform::ReadLE16(file.data()) == kBmType;
    if (hasFileHeader && !reader) {
        return Damaged("the file ends inside its headers");
    }
    // Without "BM" the bytes are taken to be a bare DIB: an info header first.
    std::uint64_t infoStart = hasFileHeader ? kFileHeaderSize : 0;
    if (Result<void> header = ReadInfoHeader(file, infoStart, hasFileHeader, layout); !header) {
        return header.error();
    }
    if (Result<void> checked = CheckPicture(layout); !checked) {
        return checked.error();
    }
    if (Result<void> placed = PlaceParts(file, infoStart, fileHeader, hasFileHeader, layout); !placed) {
        return placed.error();
    }
    // An alpha mask that no pixel uses is no transparency.
    if (layout.Composited() && (!Holds(file, layout.pixelOffset, layout.pixelBytes) || !AnyAlpha(file, layout))) {
        layout.alphaMask = 0;
    }
    std::uint64_t blockBytes = kInfoHeaderSize + std::uint64_t{4} * layout.blockEntries + layout.BlockPixelBytes() +
                               (layout.info.biCompression == kBiBitFields ? kMaskBytes : 0);
    if (blockBytes > kMaxDibBytes) {
        return TooLarge();
    }
    return MakeHeaderBlock(file, layout);
}

// The pixel bytes of an encoded picture: from the pixel offset up to the
// stated size, or to the end of the file.
std::optional<Bytes> EncodedPixels(Bytes file, const BmpLayout& layout) {
    if (layout.pixelOffset > file.size()) {
        return std::nullopt;
    }
    Bytes data = file.subspan(static_cast<std::size_t>(layout.pixelOffset));
    if (layout.info.biSizeImage != 0 && layout.info.biSizeImage < data.size()) {
        data = data.first(layout.info.biSizeImage);
    }
    return data;
}

// Decodes the pixels of the file into `out`, or without it only checks them.
Result<void> ReadPixels(Bytes file, const BmpLayout& layout, std::uint8_t* out) {
    const BitmapInfoHeader& info = layout.info;
    if (IsEncoded(layout)) {
        std::optional<Bytes> data = EncodedPixels(file, layout);
        if (!data) {
            return Damaged("the file ends before the pixels");
        }
        auto width = static_cast<std::uint32_t>(info.biWidth);
        // Codes that end the picture early leave the rest 0; a few bytes must
        // not make room for a huge picture all the same.
        std::uint64_t pixels = std::uint64_t{width} * layout.height;
        if (!CodedDataCanDescribe(pixels, data->size(), kMaxPixelsPerCodedByte)) {
            return TooLarge();
        }
        auto rowBytes = static_cast<std::size_t>(layout.rowBytes);
        if (!DecodeBmpRle(*data, info.biBitCount, width, layout.height, rowBytes, out)) {
            return Damaged("bad run-length data");
        }
        return {};
    }
    if (!Holds(file, layout.pixelOffset, layout.pixelBytes)) {
        return Damaged("the file ends inside the pixels");
    }
    if (out == nullptr) {
        return {};
    }
    const std::uint8_t* source = file.data() + layout.pixelOffset;
    if (!layout.topDown && !layout.Composited()) {
        std::copy_n(source, layout.pixelBytes, out);
        return {};
    }
    // Row by row: top row first in the file turns into the block's bottom-up
    // order, and pixels with alpha into 24-bit rows.
    auto inBytes = static_cast<std::size_t>(layout.rowBytes);
    auto outBytes = static_cast<std::size_t>(layout.BlockRowBytes());
    for (std::uint32_t row = 0; row < layout.height; ++row) {
        const std::uint8_t* in = source + std::size_t{row} * inBytes;
        std::uint8_t* to = out + std::size_t{layout.topDown ? layout.height - 1 - row : row} * outBytes;
        if (layout.Composited()) {
            CompositeRow(in, to, layout);
        } else {
            std::copy_n(in, inBytes, to);
        }
    }
    return {};
}

}  // namespace

Result<DibBlock> LoadBmpFromMemory(Bytes file) {
    BmpLayout layout;
    Result<DibBlock> block = ReadBmpHeader(file, layout);
    if (!block) {
        return block;
    }
    // Check the pixels before making room for them.
    if (Result<void> checked = ReadPixels(file, layout, nullptr); !checked) {
        return checked.error();
    }
    std::size_t pixelStart = block->size();
    block->resize(pixelStart + static_cast<std::size_t>(layout.BlockPixelBytes()), 0);
    if (Result<void> read = ReadPixels(file, layout, block->data() + pixelStart); !read) {
        return read.error();
    }
    return block;
}

Result<BmpRowsInPlace> ViewBmpInMemory(Bytes file) {
    BmpLayout layout;
    Result<DibBlock> header = ReadBmpHeader(file, layout);
    if (!header) {
        return header.error();
    }
    if (IsEncoded(layout) || layout.Composited()) {
        return Error{"the rows of this BMP are not stored as the picture's rows"};
    }
    if (Result<void> checked = ReadPixels(file, layout, nullptr); !checked) {
        return checked.error();
    }
    return BmpRowsInPlace{std::move(*header), file.data() + layout.pixelOffset, layout.topDown};
}

Result<DibBlock> LoadBmpFile(const std::string& name) {
    Result<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(name, kMaxPictureFileBytes);
    if (!bytes) {
        return platform::FileError("Cannot open", name, bytes.error());
    }
    return LoadBmpFromMemory(*bytes);
}

Result<BmpFileBytes> BmpFileBytesOf(const DibBlock& block) {
    if (block.size() < kInfoHeaderSize) {
        return Error{"there is no picture to write"};
    }
    BitmapInfoHeader info = BitmapInfoHeader::Read(block);
    std::uint64_t pixelOffset = DibPixelOffset(block);
    std::uint64_t pixelBytes = info.biSizeImage;
    if (pixelBytes == 0 && info.biCompression != kBiRle8 && info.biCompression != kBiRle4 && info.biWidth > 0 &&
        info.biHeight > 0) {
        pixelBytes = DibRowBytes(info.biBitCount, static_cast<std::uint32_t>(info.biWidth)) *
                     static_cast<std::uint32_t>(info.biHeight);
    }
    std::uint64_t blockBytes = pixelOffset + pixelBytes;
    if (blockBytes > block.size() || blockBytes > kMaxDibBytes) {
        return Error{"the picture does not hold what its header describes"};
    }
    BitmapFileHeader header;
    header.bfSize = static_cast<std::uint32_t>(kFileHeaderSize + blockBytes);
    header.bfOffBits = static_cast<std::uint32_t>(kFileHeaderSize + pixelOffset);
    BmpFileBytes file;
    platform::ByteWriter writer(file.fileHeader, Endian::kLittle);
    BitmapFileHeader::Fields(writer, header);
    file.block = Bytes(block).first(static_cast<std::size_t>(blockBytes));
    return file;
}

Result<void> SaveBmpFile(const std::string& name, const DibBlock& block) {
    Result<BmpFileBytes> file = BmpFileBytesOf(block);
    if (!file) {
        return file.error();
    }
    return platform::WriteWholeFile(name, {file->fileHeader, file->block});
}

}  // namespace image

// Reading and writing .bmp files (and bare DIBs without a file header).
//
// Reading takes the file's bytes as a whole and checks every part against
// them before it is copied: the file header, the info header (40, 52, 56, 108
// or 124 bytes, or the 12-byte core header), the bit-field masks, the colour
// table and the pixel area. The result is always the same kind of block: a
// 40-byte header, 4-byte table entries and bottom-up uncompressed rows.
#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "BmpRle.h"
#include "Dib.h"
#include "PictureLimits.h"
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
Error Refused() {
    return Error{"not a Windows bitmap this program can read, or a damaged one"};
}

// Where the parts of one picture lie in its file, as its headers say.
struct BmpLayout {
    BitmapInfoHeader info;  // the file's fields, widened from a core header
    std::uint32_t headerBytes = 0;
    bool topDown = false;
    std::uint32_t height = 0;  // rows, whatever the direction
    std::uint64_t rowBytes = 0;
    std::uint64_t pixelBytes = 0;
    std::uint32_t tableEntryBytes = 4;
    std::uint64_t tableOffset = 0;
    std::uint32_t blockEntries = 0;  // colour-table entries the block keeps
    std::uint64_t masksOffset = 0;   // bit-field masks, when compression is 3
    std::uint64_t pixelOffset = 0;
};

bool Holds(Bytes file, std::uint64_t offset, std::uint64_t count) {
    return offset <= file.size() && count <= file.size() - offset;
}

bool IsInfoHeaderSize(std::uint32_t size) {
    return std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), size) != kInfoHeaderSizes.end();
}

// The info header at `start`: a core header is widened to the 40-byte fields.
bool ReadInfoHeader(Bytes file, std::uint64_t start, BmpLayout& layout) {
    if (start > file.size()) {
        return false;
    }
    ByteReader reader(file.subspan(static_cast<std::size_t>(start)), Endian::kLittle);
    std::uint32_t size = 0;
    reader(size);
    if (size == kCoreHeaderSize) {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        BitmapInfoHeader& info = layout.info;
        layout.tableEntryBytes = 3;
        if (!reader(width, height, info.biPlanes, info.biBitCount)) {
            return false;
        }
        info.biWidth = width;
        info.biHeight = height;
    } else {
        if (!IsInfoHeaderSize(size) || !reader.Seek(0) || reader.Remaining() < size) {
            return false;
        }
        BitmapInfoHeader::Fields(reader, layout.info);
    }
    layout.headerBytes = size;
    return true;
}

// Refuses sizes, depths and compressions this reader cannot turn into a block.
bool CheckPicture(BmpLayout& layout) {
    const BitmapInfoHeader& info = layout.info;
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == std::numeric_limits<std::int32_t>::min() ||
        !IsDibDepth(info.biBitCount)) {
        return false;
    }
    layout.topDown = info.biHeight < 0;
    std::int64_t height = info.biHeight;
    layout.height = static_cast<std::uint32_t>(layout.topDown ? -height : height);
    if (!PictureSizeAllowed(static_cast<std::uint32_t>(info.biWidth), layout.height)) {
        return false;
    }
    switch (info.biCompression) {
    case kBiRgb:
        break;
    case kBiRle8:
    case kBiRle4:
        // Encoded rows are always bottom-up.
        if (info.biBitCount != (info.biCompression == kBiRle8 ? 8 : 4) || layout.topDown) {
            return false;
        }
        break;
    case kBiBitFields:
        if (info.biBitCount != 16 && info.biBitCount != 32) {
            return false;
        }
        break;
    default:
        return false;
    }
    layout.rowBytes = DibRowBytes(info.biBitCount, static_cast<std::uint32_t>(info.biWidth));
    layout.pixelBytes = layout.rowBytes * layout.height;
    return true;
}

// The masks, the colour table and the pixels: where they are, and that the
// file holds the first two.
bool PlaceParts(Bytes file, std::uint64_t start, const BitmapFileHeader& fileHeader, bool hasFileHeader, BmpLayout& layout) {
    const BitmapInfoHeader& info = layout.info;
    std::uint64_t next = start + layout.headerBytes;
    if (info.biCompression == kBiBitFields) {
        // A 40-byte header is followed by the masks; longer ones hold them.
        layout.masksOffset = layout.headerBytes == kInfoHeaderSize ? next : start + kInfoHeaderSize;
        if (layout.headerBytes == kInfoHeaderSize) {
            next += kMaskBytes;
        }
        if (!Holds(file, layout.masksOffset, kMaskBytes)) {
            return false;
        }
    }
    std::uint64_t fullTable = info.biBitCount <= 8 ? std::uint64_t{1} << info.biBitCount : 0;
    std::uint64_t fileEntries = info.biClrUsed != 0 ? info.biClrUsed : fullTable;
    // Pictures of more than 8 bits keep no table: their pixels are colours.
    layout.blockEntries = static_cast<std::uint32_t>(std::min(fileEntries, fullTable));
    layout.tableOffset = next;
    if (!Holds(file, layout.tableOffset, std::uint64_t{layout.blockEntries} * layout.tableEntryBytes)) {
        return false;
    }
    std::uint64_t tableEnd = layout.tableOffset + fileEntries * layout.tableEntryBytes;
    if (hasFileHeader && fileHeader.bfOffBits != 0) {
        if (fileHeader.bfOffBits < kFileHeaderSize + layout.headerBytes) {
            return false;  // the pixels cannot start inside the headers
        }
        layout.pixelOffset = start - kFileHeaderSize + fileHeader.bfOffBits;
    } else {
        layout.pixelOffset = tableEnd;
    }
    std::uint64_t blockBytes = kInfoHeaderSize + std::uint64_t{4} * layout.blockEntries + layout.pixelBytes +
                               (info.biCompression == kBiBitFields ? kMaskBytes : 0);
    return blockBytes <= kMaxDibBytes;
}

// The block's header and colour table (or masks), with room for no pixels yet.
DibBlock MakeHeaderBlock(Bytes file, const BmpLayout& layout) {
    const BitmapInfoHeader& in = layout.info;
    bool bitFields = in.biCompression == kBiBitFields;
    std::size_t tableBytes = bitFields ? kMaskBytes : std::size_t{4} * layout.blockEntries;
    DibBlock block(kInfoHeaderSize + tableBytes, 0);
    BitmapInfoHeader out = in;
    out.biSize = kInfoHeaderSize;
    out.biHeight = static_cast<std::int32_t>(layout.height);
    out.biCompression = bitFields ? kBiBitFields : kBiRgb;
    out.biSizeImage = static_cast<std::uint32_t>(layout.pixelBytes);
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

// Reads the headers and the colour table of the picture.
Result<DibBlock> ReadBmpHeader(Bytes file, BmpLayout& layout) {
    BitmapFileHeader fileHeader;
    ByteReader reader(file, Endian::kLittle);
    BitmapFileHeader::Fields(reader, fileHeader);
    bool hasFileHeader = reader && fileHeader.bfType == kBmType;
    // Without "BM" the bytes are taken to be a bare DIB: an info header first.
    std::uint64_t infoStart = hasFileHeader ? kFileHeaderSize : 0;
    if (!reader || !ReadInfoHeader(file, infoStart, layout) || !CheckPicture(layout) ||
        !PlaceParts(file, infoStart, fileHeader, hasFileHeader, layout)) {
        return Refused();
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

bool IsEncoded(const BmpLayout& layout) {
    return layout.info.biCompression == kBiRle8 || layout.info.biCompression == kBiRle4;
}

// Decodes the pixels of the file into `out`, or without it only checks them.
bool ReadPixels(Bytes file, const BmpLayout& layout, std::uint8_t* out) {
    const BitmapInfoHeader& info = layout.info;
    if (IsEncoded(layout)) {
        std::optional<Bytes> data = EncodedPixels(file, layout);
        auto width = static_cast<std::uint32_t>(info.biWidth);
        // Codes that end the picture early leave the rest 0; a few bytes must
        // not make room for a huge picture all the same.
        std::uint64_t pixels = std::uint64_t{width} * layout.height;
        if (!data || !CodedDataCanDescribe(pixels, data->size(), kMaxPixelsPerCodedByte)) {
            return false;
        }
        auto rowBytes = static_cast<std::size_t>(layout.rowBytes);
        return DecodeBmpRle(*data, info.biBitCount, width, layout.height, rowBytes, out);
    }
    if (!Holds(file, layout.pixelOffset, layout.pixelBytes)) {
        return false;
    }
    if (out == nullptr) {
        return true;
    }
    const std::uint8_t* source = file.data() + layout.pixelOffset;
    if (!layout.topDown) {
        std::copy_n(source, layout.pixelBytes, out);
        return true;
    }
    // Top row first in the file: turn it into the block's bottom-up order.
    auto rowBytes = static_cast<std::size_t>(layout.rowBytes);
    for (std::uint32_t row = 0; row < layout.height; ++row) {
        std::copy_n(source + std::size_t{row} * rowBytes, rowBytes,
                    out + std::size_t{layout.height - 1 - row} * rowBytes);
    }
    return true;
}

}  // namespace

Result<DibBlock> LoadBmpFromMemory(Bytes file) {
    BmpLayout layout;
    Result<DibBlock> block = ReadBmpHeader(file, layout);
    // Check the pixels before making room for them.
    if (!block || !ReadPixels(file, layout, nullptr)) {
        return Refused();
    }
    std::size_t pixelStart = block->size();
    block->resize(pixelStart + static_cast<std::size_t>(layout.pixelBytes), 0);
    if (!ReadPixels(file, layout, block->data() + pixelStart)) {
        return Refused();
    }
    return block;
}

Result<BmpRowsInPlace> ViewBmpInMemory(Bytes file) {
    BmpLayout layout;
    Result<DibBlock> header = ReadBmpHeader(file, layout);
    if (!header || IsEncoded(layout) || !ReadPixels(file, layout, nullptr)) {
        return Refused();
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

Result<void> SaveBmpFile(const std::string& name, const DibBlock& block) {
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
    std::vector<std::uint8_t> headerBytes;
    platform::ByteWriter writer(headerBytes, Endian::kLittle);
    BitmapFileHeader::Fields(writer, header);
    return platform::WriteWholeFile(name, {headerBytes, Bytes(block).first(static_cast<std::size_t>(blockBytes))});
}

}  // namespace image

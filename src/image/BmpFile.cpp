// Reading and writing .bmp files (and bare DIBs without a file header).
//
// Reading takes the file's bytes as a whole and checks every part against
// them before it is copied: the file header, the info header (40, 52, 56, 108
// or 124 bytes, or the 12-byte core header), the bit-field masks, the colour
// table and the pixel area. The result is always the same kind of block: a
// 40-byte header, 4-byte table entries and bottom-up uncompressed rows.
#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>
#include <sys/stat.h>

#include "BmpRle.h"
#include "Dib.h"
#include "PictureLimits.h"
#include "platform/ByteOrder.h"

namespace image {

namespace {

using Bytes = std::span<const std::uint8_t>;
using platform::ReadLE16;
using platform::ReadLE32;
using platform::WriteLE16;
using platform::WriteLE32;

constexpr std::uint16_t kBmType = 0x4D42;  // "BM"
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::array<std::uint32_t, 5> kInfoHeaderSizes = {40, 52, 56, 108, 124};
constexpr std::size_t kMaskBytes = 12;
constexpr std::uint32_t kWritePiece = 32768;
constexpr std::size_t kSaveBufferBytes = std::size_t{1} << 20;
// Reading stops here: no valid file needs more bytes than the largest block.
constexpr std::uint64_t kMaxFileBytes = kMaxDibBytes + 65536;

struct FileHeader {
    std::uint16_t bfType = 0;
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;

    static FileHeader Read(const std::uint8_t* p) {
        return {ReadLE16(p), ReadLE32(p + 2), ReadLE16(p + 6), ReadLE16(p + 8), ReadLE32(p + 10)};
    }
    void Write(std::uint8_t* p) const {
        WriteLE16(p, bfType);
        WriteLE32(p + 2, bfSize);
        WriteLE16(p + 6, bfReserved1);
        WriteLE16(p + 8, bfReserved2);
        WriteLE32(p + 10, bfOffBits);
    }
};

// Where the parts of one picture lie in its file, as its headers say.
struct BmpLayout {
    BitmapInfoHeader info;  // the file's fields, widened from a core header
    std::uint32_t headerBytes = 0;
    bool coreHeader = false;
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
    if (!Holds(file, start, 4)) {
        return false;
    }
    const std::uint8_t* p = file.data() + start;
    std::uint32_t size = ReadLE32(p);
    if (size == kCoreHeaderSize) {
        if (!Holds(file, start, kCoreHeaderSize)) {
            return false;
        }
        layout.coreHeader = true;
        layout.info.biWidth = ReadLE16(p + 4);
        layout.info.biHeight = ReadLE16(p + 6);
        layout.info.biPlanes = ReadLE16(p + 8);
        layout.info.biBitCount = ReadLE16(p + 10);
        layout.tableEntryBytes = 3;
    } else {
        if (!IsInfoHeaderSize(size) || !Holds(file, start, size)) {
            return false;
        }
        DibBlock fields(p, p + kInfoHeaderSize);
        layout.info = BitmapInfoHeader::Read(fields);
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
bool PlaceParts(Bytes file, std::uint64_t start, const FileHeader& fileHeader, bool hasFileHeader, BmpLayout& layout) {
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

// Reads the headers and the colour table of the picture that starts at `start`.
std::optional<DibBlock> ReadBmpHeader(Bytes file, std::uint64_t start, BmpLayout& layout) {
    if (!Holds(file, start, kFileHeaderSize)) {
        return std::nullopt;
    }
    FileHeader fileHeader = FileHeader::Read(file.data() + start);
    bool hasFileHeader = fileHeader.bfType == kBmType;
    // Without "BM" the bytes are taken to be a bare DIB: an info header first.
    std::uint64_t infoStart = hasFileHeader ? start + kFileHeaderSize : start;
    if (!ReadInfoHeader(file, infoStart, layout) || !CheckPicture(layout) ||
        !PlaceParts(file, infoStart, fileHeader, hasFileHeader, layout)) {
        return std::nullopt;
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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Regular files report their size; anything else (a pipe, a device) gives none.
std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

// The file from its start, up to kMaxFileBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(std::FILE* file) {
    std::vector<std::uint8_t> bytes;
    if (auto size = RegularFileSize(file)) {
        bytes.reserve(static_cast<std::size_t>(std::min(*size, kMaxFileBytes)));
    }
    std::array<std::uint8_t, 65536> piece;
    while (bytes.size() < kMaxFileBytes) {
        std::size_t got = std::fread(piece.data(), 1, piece.size(), file);
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
        if (got < piece.size()) {
            break;
        }
    }
    if (std::ferror(file)) {
        return std::nullopt;
    }
    return bytes;
}

// How a plain picture is read straight from its file.
enum class DirectRead { kRead, kRefused, kNotPlain };

// The usual .bmp, uncompressed rows bottom-up, is read without holding the
// whole file: its headers and colour table from the first bytes, then its
// rows straight into the block. The result is the block LoadBmpFromMemory
// makes of the whole file (which reads no further than kMaxFileBytes either).
// kNotPlain leaves other kinds to it.
DirectRead ReadPlainBmp(std::FILE* file, DibBlock& block) {
    constexpr std::size_t kHeadBytes = 4096;
    std::optional<std::uint64_t> fileSize = RegularFileSize(file);
    if (!fileSize) {
        return DirectRead::kNotPlain;
    }
    const std::uint64_t size = std::min(*fileSize, kMaxFileBytes);
    std::array<std::uint8_t, kHeadBytes> head;
    const auto headWanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeadBytes));
    const std::size_t headBytes = std::fread(head.data(), 1, headWanted, file);
    if (std::ferror(file)) {
        return DirectRead::kRefused;
    }
    // Checks on the first bytes pass on the whole file too; one that fails
    // for want of bytes is left to the whole file.
    BmpLayout layout;
    std::optional<DibBlock> header = ReadBmpHeader(Bytes(head.data(), headBytes), 0, layout);
    if (!header || IsEncoded(layout) || layout.topDown) {
        return DirectRead::kNotPlain;
    }
    if (layout.pixelOffset > size || layout.pixelBytes > size - layout.pixelOffset) {
        return DirectRead::kRefused;  // the rows are not all there
    }
    block = std::move(*header);
    std::size_t at = block.size();
    block.resize(at + static_cast<std::size_t>(layout.pixelBytes));
    std::uint64_t next = layout.pixelOffset;
    const std::uint64_t end = layout.pixelOffset + layout.pixelBytes;
    if (next < headBytes) {
        const auto inHead = static_cast<std::size_t>(std::min<std::uint64_t>(end, headBytes));
        std::copy(head.begin() + static_cast<std::ptrdiff_t>(next), head.begin() + static_cast<std::ptrdiff_t>(inHead),
                  block.begin() + static_cast<std::ptrdiff_t>(at));
        at += inHead - static_cast<std::size_t>(next);
        next = inHead;
    }
    if (next < end && next != headBytes && ::fseeko(file, static_cast<off_t>(next), SEEK_SET) != 0) {
        return DirectRead::kRefused;
    }
    // The rest in one read, straight into the block.
    const auto rest = static_cast<std::size_t>(end - next);
    if (rest != 0 && std::fread(block.data() + at, 1, rest, file) != rest) {
        return DirectRead::kRefused;  // cut short since its size was taken, or unreadable
    }
    return DirectRead::kRead;
}

}  // namespace

std::optional<DibBlock> LoadBmpFromMemory(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) {
        return std::nullopt;
    }
    Bytes file(bytes, size);
    BmpLayout layout;
    std::optional<DibBlock> block = ReadBmpHeader(file, 0, layout);
    // Check the pixels before making room for them.
    if (!block || !ReadPixels(file, layout, nullptr)) {
        return std::nullopt;
    }
    std::size_t pixelStart = block->size();
    block->resize(pixelStart + static_cast<std::size_t>(layout.pixelBytes), 0);
    if (!ReadPixels(file, layout, block->data() + pixelStart)) {
        return std::nullopt;
    }
    return block;
}

std::optional<BmpRowsInPlace> ViewBmpInMemory(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) {
        return std::nullopt;
    }
    Bytes file(bytes, size);
    BmpLayout layout;
    std::optional<DibBlock> header = ReadBmpHeader(file, 0, layout);
    if (!header || IsEncoded(layout) || !ReadPixels(file, layout, nullptr)) {
        return std::nullopt;
    }
    BmpRowsInPlace view;
    view.header = std::move(*header);
    view.rows = bytes + layout.pixelOffset;
    view.rowBytes = static_cast<std::size_t>(layout.rowBytes);
    view.topDown = layout.topDown;
    return view;
}

std::optional<DibBlock> LoadBmpFile(const std::string& name) {
    FilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    DibBlock block;
    switch (ReadPlainBmp(file.get(), block)) {
    case DirectRead::kRead:
        return block;
    case DirectRead::kRefused:
        return std::nullopt;
    case DirectRead::kNotPlain:
        break;
    }
    if (::fseeko(file.get(), 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(file.get());
    if (!bytes) {
        return std::nullopt;
    }
    return LoadBmpFromMemory(bytes->data(), bytes->size());
}

std::uint32_t WriteInChunks(std::FILE* file, const std::uint8_t* buffer, std::uint32_t n) {
    if (file == nullptr || (buffer == nullptr && n > 0)) {
        return 0;
    }
    std::uint32_t left = n;
    while (left > kWritePiece) {
        if (std::fwrite(buffer, 1, kWritePiece, file) != kWritePiece) {
            return 0;
        }
        buffer += kWritePiece;
        left -= kWritePiece;
    }
    return std::fwrite(buffer, 1, left, file) == left ? n : 0;
}

int SaveBmpFile(const std::string& name, const DibBlock* block) {
    if (block == nullptr || block->size() < kInfoHeaderSize) {
        return 0;
    }
    BitmapInfoHeader info = BitmapInfoHeader::Read(*block);
    std::uint64_t pixelOffset = DibPixelOffset(*block);
    std::uint64_t pixelBytes = info.biSizeImage;
    if (pixelBytes == 0 && info.biCompression != kBiRle8 && info.biCompression != kBiRle4 && info.biWidth > 0 &&
        info.biHeight > 0) {
        pixelBytes = DibRowBytes(info.biBitCount, static_cast<std::uint32_t>(info.biWidth)) *
                     static_cast<std::uint32_t>(info.biHeight);
    }
    std::uint64_t blockBytes = pixelOffset + pixelBytes;
    if (blockBytes > block->size() || blockBytes > kMaxDibBytes) {
        return 0;  // the block does not hold what its header describes
    }
    // Large writes: the file system's cost is per write, and the pieces below are small.
    std::unique_ptr<char[]> buffer(new char[kSaveBufferBytes]);
    FilePtr file(std::fopen(name.c_str(), "wb"));
    if (!file) {
        return 0;
    }
    std::setvbuf(file.get(), buffer.get(), _IOFBF, kSaveBufferBytes);
    FileHeader header;
    header.bfType = kBmType;
    header.bfSize = static_cast<std::uint32_t>(kFileHeaderSize + blockBytes);
    header.bfOffBits = static_cast<std::uint32_t>(kFileHeaderSize + pixelOffset);
    std::array<std::uint8_t, kFileHeaderSize> headerBytes{};
    header.Write(headerBytes.data());
    auto count = static_cast<std::uint32_t>(blockBytes);
    bool written = std::fwrite(headerBytes.data(), 1, headerBytes.size(), file.get()) == headerBytes.size() &&
                   WriteInChunks(file.get(), block->data(), count) == count;
    written = std::fclose(file.release()) == 0 && written;
    if (!written) {
        std::remove(name.c_str());  // leave no half-written picture behind
        return 0;
    }
    return 1;
}

}  // namespace image

#include "PalmBitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "palm/PixelOps.h"
#include "platform/ByteOrder.h"

namespace palm {

namespace {

constexpr std::array<unsigned, 4> kDepths{1, 2, 4, 8};

template <unsigned SourceBits>
inline unsigned SourceIndex(const std::uint8_t* row, std::size_t x) {
    if constexpr (SourceBits == 8) {
        return row[x];
    } else if constexpr (SourceBits == 4) {
        return (unsigned{row[x >> 1]} >> ((~x & 1u) << 2)) & 0x0Fu;
    } else {
        return (unsigned{row[x >> 3]} >> (7 - (x & 7u))) & 1u;
    }
}

// The destination table once per position in a destination byte, each value
// already shifted to its bits, so that the pixels of one byte are looked up
// independently and ORed together.
using PositionedTables = std::array<std::array<std::uint8_t, 256>, 8>;

PositionedTables Positioned(const std::array<std::uint8_t, 256>& table, unsigned destBits) {
    PositionedTables positioned{};
    const unsigned perByte = 8 / destBits;
    for (unsigned k = 0; k < perByte; ++k) {
        for (std::size_t s = 0; s < table.size(); ++s) {
            positioned[k][s] = static_cast<std::uint8_t>(table[s] << (destBits * (perByte - 1 - k)));
        }
    }
    return positioned;
}

constexpr std::size_t kPairEntries = 256 * 256;

// The tables a row conversion reads. From 8 bits to fewer, two neighbouring
// source pixels (the first in the low byte of the index) are looked up at
// once: one table of 65,536 bits-in-place values per pair of positions in a
// destination byte. A map uses few colours, so few of their lines are read.
struct RowTables {
    std::array<std::uint8_t, 256> values{};
    PositionedTables positioned{};
    std::vector<std::uint8_t> pairs;

    RowTables(const std::array<std::uint8_t, 256>& table, unsigned sourceBits, unsigned destBits)
        : values(table), positioned(Positioned(table, destBits)) {
        if (sourceBits != 8 || destBits == 8) {
            return;
        }
        const unsigned pairCount = 8 / destBits / 2;
        pairs.resize(pairCount * kPairEntries);
        for (unsigned p = 0; p < pairCount; ++p) {
            const auto& first = positioned[2 * p];
            const auto& second = positioned[2 * p + 1];
            std::uint8_t* out = pairs.data() + p * kPairEntries;
            for (std::size_t s1 = 0; s1 < 256; ++s1) {
                for (std::size_t s0 = 0; s0 < 256; ++s0) {
                    *out++ = static_cast<std::uint8_t>(first[s0] | second[s1]);
                }
            }
        }
    }
};

// One row: each source index through the table, packed at the destination depth,
// leftmost pixel in the high bits; the bits after the last pixel stay 0.
template <unsigned SourceBits, unsigned DestBits>
void ConvertRow(const std::uint8_t* source, std::uint8_t* dest, std::size_t width, const RowTables& rowTables) {
    if constexpr (SourceBits == 8 && DestBits == 8) {
        (void)rowTables;  // the table is the identity at 8 bits
        std::memcpy(dest, source, width);
    } else {
        constexpr unsigned kPerByte = 8 / DestBits;
        const PositionedTables& tables = rowTables.positioned;
        std::size_t x = 0;
        if constexpr (SourceBits == 8) {
            // Eight pixels from one load, looked up two at a time.
            constexpr unsigned kPairsPerByte = kPerByte / 2;
            const std::uint8_t* pairs = rowTables.pairs.data();
            for (; x + 8 <= width; x += 8) {
                const std::uint64_t eight = platform::ReadLE64(source + x);
                for (unsigned byte = 0; byte < 8 / kPerByte; ++byte) {
                    unsigned packed = 0;
                    for (unsigned p = 0; p < kPairsPerByte; ++p) {
                        const unsigned shift = 16 * (byte * kPairsPerByte + p);
                        packed |= pairs[p * kPairEntries + ((eight >> shift) & 0xFFFFu)];
                    }
                    *dest++ = static_cast<std::uint8_t>(packed);
                }
            }
        }
        for (; x + kPerByte <= width; x += kPerByte) {
            unsigned packed = 0;
            for (unsigned k = 0; k < kPerByte; ++k) {
                packed |= tables[k][SourceIndex<SourceBits>(source, x + k)];
            }
            *dest++ = static_cast<std::uint8_t>(packed);
        }
        unsigned packed = 0;
        for (unsigned k = 0; x < width; ++x, ++k) {
            packed |= tables[k][SourceIndex<SourceBits>(source, x)];
        }
        if (width % kPerByte != 0) {
            *dest = static_cast<std::uint8_t>(packed);
        }
    }
}

using RowConverter = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t, const RowTables&);

template <unsigned SourceBits>
RowConverter ConverterTo(unsigned destBits) {
    switch (destBits) {
        case 1: return &ConvertRow<SourceBits, 1>;
        case 2: return &ConvertRow<SourceBits, 2>;
        case 4: return &ConvertRow<SourceBits, 4>;
        default: return &ConvertRow<SourceBits, 8>;
    }
}

RowConverter Converter(unsigned sourceBits, unsigned destBits) {
    switch (sourceBits) {
        case 1: return ConverterTo<1>(destBits);
        case 4: return ConverterTo<4>(destBits);
        default: return ConverterTo<8>(destBits);
    }
}

}  // namespace

Error UnsupportedFormat() {
    return Error{kUnsupportedFormatText, kUnsupportedFormatTitle};
}

Result<SourcePicture> ReadSourcePicture(std::span<const std::uint8_t> file) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
        return UnsupportedFormat();
    }
    SourcePicture picture;
    image::DibBlock headerBlock;
    // Rows stored plainly are read where they are; only encoded ones are decoded into a block first.
    if (auto view = image::ViewBmpInMemory(file)) {
        headerBlock = std::move(view->header);
        picture.firstRow = view->rows;
        picture.topDown = view->topDown;
    } else if (auto decoded = image::LoadBmpFromMemory(file)) {
        picture.decoded = std::move(*decoded);
    } else {
        return UnsupportedFormat();
    }
    // Both blocks have the same header and colour table; only the decoded one holds rows.
    const image::DibBlock& block = picture.decoded ? *picture.decoded : headerBlock;
    const auto header = image::BitmapInfoHeader::Read(block);
    if (header.biBitCount != 1 && header.biBitCount != 4 && header.biBitCount != 8) {
        return UnsupportedFormat();
    }
    std::int64_t height = header.biHeight;
    if (header.biWidth < 0 || header.biWidth > std::int32_t{kMaxMapSide} || height < -std::int64_t{kMaxMapSide} ||
        height > std::int64_t{kMaxMapSide}) {
        return UnsupportedFormat();
    }
    picture.bitCount = header.biBitCount;
    picture.width = static_cast<std::uint32_t>(header.biWidth);
    picture.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    picture.topDown = picture.topDown || height < 0;
    picture.stride = AlignedRowBytes(picture.width, picture.bitCount, 32);
    const std::size_t pixelOffset = image::DibPixelOffset(block);
    if (picture.decoded) {
        // The reader promises the rows are there; a short block is refused all the same.
        if (pixelOffset > block.size() ||
            (block.size() - pixelOffset) / std::max<std::size_t>(picture.stride, 1) < picture.height) {
            return UnsupportedFormat();
        }
        picture.firstRow = block.data() + pixelOffset;
    }
    std::vector<image::Color> colors = image::PaletteFromDib(block).Colors();
    colors.resize(std::size_t{1} << picture.bitCount);
    picture.colors = image::CImagePalette(std::move(colors));
    return picture;
}

std::array<float, 4> SizeEstimates(std::uint32_t width, std::uint32_t height) {
    std::array<float, 4> estimates{};
    for (std::size_t i = 0; i < kDepths.size(); ++i) {
        std::uint64_t bytes = mapdb::kMapFieldsSize + std::uint64_t{AlignedRowBytes(width, kDepths[i], 16)} * height;
        estimates[i] = static_cast<float>(static_cast<double>(bytes) * 0.0009765625);
    }
    return estimates;
}

std::array<std::uint8_t, 256> DestinationTable(const image::CImagePalette& colors, unsigned pixelSize,
                                               bool withColorTable) {
    std::array<std::uint8_t, 256> table{};
    const std::size_t count = std::min<std::size_t>(colors.Size(), table.size());
    const std::size_t fits = std::size_t{1} << pixelSize;
    std::optional<image::CImagePalette> kept;
    for (std::size_t s = 0; s < count; ++s) {
        const image::Color c = colors.At(s);
        unsigned value = 0;
        if (pixelSize == 8) {
            value = static_cast<unsigned>(s);
        } else if (withColorTable && pixelSize == 1) {
            value = s != 0 ? 1u : 0u;
        } else if (withColorTable) {
            if (s < fits) {
                value = static_cast<unsigned>(s);
            } else {
                // An index the depth cannot hold would spill into the next pixel:
                // take the nearest of the colours the table keeps instead.
                if (!kept) {
                    kept.emplace(std::vector<image::Color>(colors.Colors().begin(),
                                                           colors.Colors().begin() + static_cast<std::ptrdiff_t>(fits)));
                }
                value = static_cast<unsigned>(kept->NearestIndex(c.red, c.green, c.blue));
            }
        } else {
            float luminance = Luminance(c.red, c.green, c.blue);
            value = pixelSize == 1 ? GreyLevel1(luminance) : pixelSize == 2 ? GreyLevel2(luminance) : GreyLevel4(luminance);
        }
        table[s] = static_cast<std::uint8_t>(value);
    }
    return table;
}

std::vector<std::uint8_t> PalmColorTable(const image::CImagePalette& colors, std::size_t count) {
    count = std::min<std::size_t>(count, 0xFFFF);
    std::vector<std::uint8_t> table;
    platform::ByteWriter out(table, platform::Endian::kBig);
    out(static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const image::Color color = colors.At(i);
        const std::uint8_t index = 0;
        out(index, color.red, color.green, color.blue);
    }
    return table;
}

image::CImagePalette ReadPalmColorTable(std::span<const std::uint8_t> data, std::size_t limit) {
    platform::ByteReader in(data, platform::Endian::kBig);
    std::uint16_t count = 0;
    in(count);
    std::vector<image::Color> colors;
    for (std::uint8_t index = 0; colors.size() < std::min<std::size_t>(count, limit) && in(index);) {
        image::Color& color = colors.emplace_back();
        in(color.red, color.green, color.blue);
    }
    return image::CImagePalette(std::move(colors));
}

Result<mapdb::MapRecord> BuildPalmBitmap(const SourcePicture& picture, const ConversionOptions& options) {
    const unsigned pixelSize = options.depth;
    const bool withTable = options.colorTable;
    const std::size_t rowBytes = AlignedRowBytes(picture.width, pixelSize, 16);
    if (rowBytes > 0xFFFF) {
        // 65,535 pixels at 8 bits need a row of 65,536 bytes, one more than the field holds.
        return UnsupportedFormat();
    }

    mapdb::MapRecord map;
    try {
        std::size_t tableEntries = std::min(picture.colors.Size(), std::size_t{1} << pixelSize);
        std::vector<std::uint8_t> colorTable;
        if (withTable) {
            colorTable = PalmColorTable(picture.colors, tableEntries);
        }
        map.data.assign(colorTable.size() + rowBytes * picture.height, 0);
        std::copy(colorTable.begin(), colorTable.end(), map.data.begin());
        const RowTables tables(DestinationTable(picture.colors, pixelSize, withTable), picture.bitCount, pixelSize);
        const RowConverter convert = Converter(picture.bitCount, pixelSize);
        // The source rows in the order they lie in memory, which the processor
        // fetches ahead: a bottom-up picture fills the block from its last row.
        std::uint8_t* rows = map.data.data() + colorTable.size();
        for (std::uint32_t stored = 0; stored < picture.height; ++stored) {
            const std::uint32_t y = picture.topDown ? stored : picture.height - 1 - stored;
            convert(picture.firstRow + picture.stride * stored, rows + rowBytes * y, picture.width, tables);
        }
    } catch (const std::bad_alloc&) {
        return UnsupportedFormat();
    }

    map.width = static_cast<std::uint16_t>(picture.width);
    map.height = static_cast<std::uint16_t>(picture.height);
    map.pixelSize = static_cast<std::uint8_t>(pixelSize);
    map.rowBytes = static_cast<std::uint16_t>(rowBytes);
    map.version = 2;
    map.SetFlag(mapdb::kHasColorTable, withTable);
    return map;
}

}  // namespace palm

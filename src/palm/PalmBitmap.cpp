#include "PalmBitmap.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <cstring>
#include <new>

#include "image/PaletteMapping.h"
#include "palm/MapColors.h"
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
    } else if constexpr (SourceBits == 2) {
        return (unsigned{row[x >> 2]} >> ((~x & 3u) << 1)) & 3u;
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
    bool identity = false;

    RowTables(const std::array<std::uint8_t, 256>& table, unsigned sourceBits, unsigned destBits)
        : values(table), positioned(Positioned(table, destBits)) {
        identity = true;
        for (std::size_t s = 0; s < table.size(); ++s) {
            identity = identity && table[s] == s;
        }
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
        if (rowTables.identity) {
            std::memcpy(dest, source, width);
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                dest[x] = rowTables.values[source[x]];
            }
        }
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
        case 2: return ConverterTo<2>(destBits);
        case 4: return ConverterTo<4>(destBits);
        default: return ConverterTo<8>(destBits);
    }
}

// The rows of a picture as they lie in memory, and each one's place from the top.
template <class Visit>
void ForEachRow(const SourcePicture& picture, Visit visit) {
    for (std::uint32_t stored = 0; stored < picture.height; ++stored) {
        const std::uint32_t y = picture.topDown ? stored : picture.height - 1 - stored;
        visit(picture.firstRow + picture.stride * stored, y);
    }
}

// The source indices of one row, one byte each.
void ReadIndexes(const SourcePicture& picture, const std::uint8_t* row, std::uint8_t* out) {
    std::array<std::uint8_t, 256> identity{};
    std::iota(identity.begin(), identity.end(), std::uint8_t{0});
    const RowTables tables(identity, picture.bitCount, 8);
    Converter(picture.bitCount, 8)(row, out, picture.width, tables);
}

std::array<bool, 256> UsedIndexes(const SourcePicture& picture) {
    std::array<bool, 256> used{};
    std::vector<std::uint8_t> indexes(picture.width);
    ForEachRow(picture, [&](const std::uint8_t* row, std::uint32_t) {
        ReadIndexes(picture, row, indexes.data());
        for (std::uint8_t index : indexes) {
            used[index] = true;
        }
    });
    return used;
}

// The distinct colours of the used indices in the order of their first index,
// and each index's place among them.
struct UsedColors {
    std::vector<image::Color> colors;
    std::array<std::uint8_t, 256> places{};
};

UsedColors FindUsedColors(const SourcePicture& picture) {
    UsedColors found;
    const std::array<bool, 256> used = UsedIndexes(picture);
    for (std::size_t s = 0; s < used.size(); ++s) {
        if (!used[s]) {
            continue;
        }
        const image::Color c = picture.colors.At(s);
        const auto same = std::find(found.colors.begin(), found.colors.end(), c);
        found.places[s] = static_cast<std::uint8_t>(same - found.colors.begin());
        if (same == found.colors.end()) {
            found.colors.push_back(c);
        }
    }
    return found;
}

bool IsSystemPalette(const image::CImagePalette& colors) {
    for (std::size_t i = 0; i < colors.Size(); ++i) {
        if (colors.At(i) != SystemPalette().At(i)) {
            return false;
        }
    }
    return colors.Size() <= SystemPalette().Size();
}

// Error diffusion of the picture's colours, or of their grey levels, into the
// colours of the map's values; the rows are written at the map's depth.
void DiffuseInto(const SourcePicture& picture, const image::CImagePalette& values, bool asGrey, unsigned pixelSize,
                 std::uint8_t* rows, std::size_t rowBytes) {
    std::array<image::Color, 256> sourceColors{};
    for (std::size_t s = 0; s < sourceColors.size(); ++s) {
        const image::Color c = picture.colors.At(s);
        const auto grey = static_cast<std::uint8_t>(std::lround(Luminance(c.red, c.green, c.blue)));
        sourceColors[s] = asGrey ? image::Color{grey, grey, grey} : c;
    }
    const image::NearestColors nearest(values.Colors());
    image::ErrorDiffusion diffusion(nearest, picture.width);
    std::array<std::uint8_t, 256> identity{};
    std::iota(identity.begin(), identity.end(), std::uint8_t{0});
    const RowTables pack(identity, 8, pixelSize);
    std::vector<std::uint8_t> indexes(picture.width);
    std::vector<std::uint8_t> chosen(picture.width);
    std::vector<image::Color> colors(picture.width);
    // Top row first, wherever it lies: the errors run down the picture.
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        const std::uint32_t stored = picture.topDown ? y : picture.height - 1 - y;
        ReadIndexes(picture, picture.firstRow + picture.stride * stored, indexes.data());
        for (std::size_t x = 0; x < indexes.size(); ++x) {
            colors[x] = sourceColors[indexes[x]];
        }
        diffusion.Row(colors.data(), chosen.data());
        Converter(8, pixelSize)(chosen.data(), rows + rowBytes * y, picture.width, pack);
    }
}

}  // namespace

Error UnsupportedFormat(const std::string& reason) {
    return Error{reason.empty() ? kUnsupportedFormatText : kUnsupportedFormatText + ("\n" + reason),
                 kUnsupportedFormatTitle};
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

Result<SourcePicture> TakeSourcePicture(image::CImageImpl& picture) {
    image::CImageImpl taken;
    taken.TakeOver(&picture);
    const int bits = taken.imageBitCount;
    if (!taken.HasPicture() || (bits != 1 && bits != 2 && bits != 4 && bits != 8) ||
        taken.imageWidth > std::int32_t{kMaxMapSide} || taken.imageHeight > std::int32_t{kMaxMapSide}) {
        return UnsupportedFormat();
    }
    SourcePicture source;
    std::vector<image::Color> colors =
        taken.imagePalette ? taken.imagePalette->Colors() : image::PaletteFromDib(*taken.imageDib).Colors();
    colors.resize(std::size_t{1} << bits);
    source.colors = image::CImagePalette(std::move(colors));
    source.bitCount = static_cast<unsigned>(bits);
    source.width = static_cast<std::uint32_t>(taken.imageWidth);
    source.height = static_cast<std::uint32_t>(taken.imageHeight);
    source.stride = static_cast<std::size_t>(taken.imageRowBytes);
    const std::ptrdiff_t offset = taken.imageBits - taken.imageDib->data();
    source.decoded = std::move(*taken.imageDib);
    source.firstRow = source.decoded->data() + offset;
    return source;
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
    const bool inSystemPalette = IsSystemPalette(colors);
    for (std::size_t s = 0; s < count; ++s) {
        const image::Color c = colors.At(s);
        unsigned value = 0;
        if (pixelSize == 8 && withColorTable) {
            value = static_cast<unsigned>(s);
        } else if (pixelSize == 8) {
            value = inSystemPalette ? static_cast<unsigned>(s)
                                    : static_cast<unsigned>(SystemPalette().NearestIndex(c.red, c.green, c.blue));
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
        return UnsupportedFormat("A row of " + std::to_string(picture.width) + " pixels at " +
                                 std::to_string(pixelSize) + " bits is more than a map's row can hold.");
    }

    mapdb::MapRecord map;
    try {
        // The colours of the table, and the value of each source index.
        std::vector<image::Color> tableColors;
        std::array<std::uint8_t, 256> values{};
        UsedColors used;
        if (withTable && pixelSize < 8) {
            used = FindUsedColors(picture);
        }
        if (withTable && pixelSize < 8 && used.colors.size() <= (std::size_t{1} << pixelSize)) {
            tableColors = std::move(used.colors);
            values = used.places;
        } else {
            if (withTable) {
                const std::size_t entries = std::min(picture.colors.Size(), std::size_t{1} << pixelSize);
                tableColors.assign(picture.colors.Colors().begin(),
                                   picture.colors.Colors().begin() + static_cast<std::ptrdiff_t>(entries));
            }
            values = DestinationTable(picture.colors, pixelSize, withTable);
        }
        std::vector<std::uint8_t> colorTable;
        if (withTable) {
            const std::size_t entries = tableColors.size();
            colorTable = PalmColorTable(image::CImagePalette(std::move(tableColors)), entries);
        }
        map.data.assign(colorTable.size() + rowBytes * picture.height, 0);
        std::copy(colorTable.begin(), colorTable.end(), map.data.begin());
        std::uint8_t* rows = map.data.data() + colorTable.size();
        const bool diffuse = options.dither && !withTable && !(pixelSize == 8 && IsSystemPalette(picture.colors));
        if (diffuse) {
            DiffuseInto(picture, pixelSize == 8 ? SystemPalette() : GreyLevels(pixelSize), pixelSize < 8, pixelSize,
                        rows, rowBytes);
        } else {
            const RowTables tables(values, picture.bitCount, pixelSize);
            const RowConverter convert = Converter(picture.bitCount, pixelSize);
            // The source rows in the order they lie in memory, which the processor
            // fetches ahead: a bottom-up picture fills the block from its last row.
            ForEachRow(picture, [&](const std::uint8_t* row, std::uint32_t y) {
                convert(row, rows + rowBytes * y, picture.width, tables);
            });
        }
    } catch (const std::bad_alloc&) {
        return UnsupportedFormat("There is not enough memory for the map.");
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

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
#include "platform/Memory.h"

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

std::array<std::uint8_t, 256> Identity() {
    std::array<std::uint8_t, 256> identity{};
    std::iota(identity.begin(), identity.end(), std::uint8_t{0});
    return identity;
}

// Row y of the picture (0 is the top row), wherever it lies.
const std::uint8_t* SourceRow(const SourcePicture& picture, std::uint32_t y) {
    const std::uint32_t stored = picture.topDown ? y : picture.height - 1 - y;
    return picture.firstRow + picture.stride * stored;
}

std::array<bool, 256> UsedIndexes(const SourcePicture& picture) {
    std::array<bool, 256> used{};
    const RowTables identity(Identity(), picture.bitCount, 8);
    const RowConverter read = Converter(picture.bitCount, 8);
    std::vector<std::uint8_t> indexes(picture.width);
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        read(SourceRow(picture, y), indexes.data(), picture.width, identity);
        for (std::uint8_t index : indexes) {
            used[index] = true;
        }
    }
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

std::array<image::Color, 256> ColorsOfIndexes(const image::CImagePalette& colors, bool asGrey) {
    std::array<image::Color, 256> sourceColors{};
    for (std::size_t s = 0; s < sourceColors.size(); ++s) {
        const image::Color c = colors.At(s);
        const auto grey = static_cast<std::uint8_t>(std::lround(Luminance(c.red, c.green, c.blue)));
        sourceColors[s] = asGrey ? image::Color{grey, grey, grey} : c;
    }
    return sourceColors;
}

// Error diffusion of the picture's colours, or of their grey levels, into the
// colours of the map's values, a row at a time from the top down (the errors
// run down the picture); the rows are written at the map's depth.
class Diffusion {
public:
    Diffusion(const SourcePicture& picture, const image::CImagePalette& values, bool asGrey, unsigned pixelSize)
        : sourceColors(ColorsOfIndexes(picture.colors, asGrey)),
          nearest(values.Colors()),
          diffusion(nearest, picture.width),
          unpack(Identity(), picture.bitCount, 8),
          pack(Identity(), 8, pixelSize),
          read(Converter(picture.bitCount, 8)),
          write(Converter(8, pixelSize)),
          indexes(picture.width),
          chosen(picture.width),
          colors(picture.width) {}
    Diffusion(const Diffusion&) = delete;
    Diffusion& operator=(const Diffusion&) = delete;

    void Row(const std::uint8_t* source, std::uint8_t* out) {
        read(source, indexes.data(), indexes.size(), unpack);
        for (std::size_t x = 0; x < indexes.size(); ++x) {
            colors[x] = sourceColors[indexes[x]];
        }
        diffusion.Row(colors.data(), chosen.data());
        write(chosen.data(), out, chosen.size(), pack);
    }

private:
    std::array<image::Color, 256> sourceColors;
    image::NearestColors nearest;
    image::ErrorDiffusion diffusion;  // refers to `nearest`
    RowTables unpack;
    RowTables pack;
    RowConverter read;
    RowConverter write;
    std::vector<std::uint8_t> indexes;
    std::vector<std::uint8_t> chosen;
    std::vector<image::Color> colors;
};

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
    picture.releasable = picture.decoded.has_value();
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
    source.releasable = true;
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

struct MapRowMaker::Conversion {
    Conversion(const SourcePicture& picture, const std::array<std::uint8_t, 256>& values, unsigned pixelSize)
        : picture(picture), tables(values, picture.bitCount, pixelSize), convert(Converter(picture.bitCount, pixelSize)) {}

    const SourcePicture& picture;
    RowTables tables;
    RowConverter convert;
    std::unique_ptr<Diffusion> diffusion;  // none: each index through the tables
    std::uint32_t next = 0;
};

MapRowMaker::MapRowMaker(mapdb::MapRecord header, std::unique_ptr<Conversion> conversion)
    : header(std::move(header)), conversion(std::move(conversion)) {}
MapRowMaker::MapRowMaker(MapRowMaker&&) noexcept = default;
MapRowMaker::~MapRowMaker() = default;

Result<MapRowMaker> MapRowMaker::Make(const SourcePicture& picture, const ConversionOptions& options) {
    const unsigned pixelSize = options.depth;
    const bool withTable = options.colorTable;
    const std::size_t rowBytes = AlignedRowBytes(picture.width, pixelSize, 16);
    if (rowBytes > 0xFFFF) {
        // 65,535 pixels at 8 bits need a row of 65,536 bytes, one more than the field holds.
        return UnsupportedFormat("A row of " + std::to_string(picture.width) + " pixels at " +
                                 std::to_string(pixelSize) + " bits is more than a map's row can hold.");
    }
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
        mapdb::MapRecord header;
        if (withTable) {
            const std::size_t entries = tableColors.size();
            header.data = PalmColorTable(image::CImagePalette(std::move(tableColors)), entries);
        }
        header.width = static_cast<std::uint16_t>(picture.width);
        header.height = static_cast<std::uint16_t>(picture.height);
        header.pixelSize = static_cast<std::uint8_t>(pixelSize);
        header.rowBytes = static_cast<std::uint16_t>(rowBytes);
        header.version = 2;
        header.SetFlag(mapdb::kHasColorTable, withTable);

        auto conversion = std::make_unique<Conversion>(picture, values, pixelSize);
        if (options.dither && !withTable && !(pixelSize == 8 && IsSystemPalette(picture.colors))) {
            conversion->diffusion = std::make_unique<Diffusion>(
                picture, pixelSize == 8 ? SystemPalette() : GreyLevels(pixelSize), pixelSize < 8, pixelSize);
        }
        return MapRowMaker(std::move(header), std::move(conversion));
    } catch (const std::bad_alloc&) {
        return UnsupportedFormat("There is not enough memory for the map.");
    }
}

void MapRowMaker::NextRows(std::uint32_t count, std::uint8_t* out) {
    Conversion& c = *conversion;
    const SourcePicture& picture = c.picture;
    const std::size_t rowBytes = header.rowBytes;
    count = std::min(count, picture.height - c.next);
    if (c.diffusion) {
        for (std::uint32_t k = 0; k < count; ++k) {
            c.diffusion->Row(SourceRow(picture, c.next + k), out + rowBytes * k);
        }
    } else {
        // The source rows in the order they lie in memory, which the processor
        // fetches ahead: a bottom-up picture fills the band from its last row.
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t i = picture.topDown ? k : count - 1 - k;
            c.convert(SourceRow(picture, c.next + i), out + rowBytes * i, picture.width, c.tables);
        }
    }
    c.next += count;
}

Result<mapdb::MapRecord> BuildPalmBitmap(const SourcePicture& picture, const ConversionOptions& options) {
    Result<MapRowMaker> maker = MapRowMaker::Make(picture, options);
    if (!maker) {
        return maker.error();
    }
    mapdb::MapRecord map = maker->Header();
    try {
        const std::size_t table = map.data.size();
        map.data.resize(table + maker->RowBytes() * picture.height, 0);
        maker->NextRows(picture.height, map.data.data() + table);
    } catch (const std::bad_alloc&) {
        return UnsupportedFormat("There is not enough memory for the map.");
    }
    return map;
}

void SourcePicture::ReleaseRowsAbove(std::uint32_t y) {
    y = std::min(y, height);
    if (!releasable || y <= releasedRows) {
        return;
    }
    // The rows from the top down to y lie at one end of the block. The pages
    // given back before are not given back again, but a page that held rows
    // of both sides of the last boundary is now.
    const std::size_t straddle = platform::PageSize() - 1;
    const std::uint8_t* const begin = firstRow;
    const std::uint8_t* const end = firstRow + stride * height;
    const std::size_t before = stride * releasedRows;
    const std::size_t now = stride * y;
    if (topDown) {
        platform::ReleasePages(begin + (before > straddle ? before - straddle : 0), begin + now);
    } else {
        platform::ReleasePages(end - now, end - before + std::min(before, straddle));
    }
    releasedRows = y;
}

}  // namespace palm

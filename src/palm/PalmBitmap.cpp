#include "PalmBitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/Dib.h"
#include "palm/PalmDialogs.h"
#include "palm/PixelOps.h"
#include "platform/ByteOrder.h"
#include "platform/LogicalPalette.h"

namespace palm {

namespace {

constexpr std::array<unsigned, 4> kDepths{1, 2, 4, 8};

// A source picture: rows of `bitCount` bits per pixel padded to 32 bits,
// either where they lie in the file image or in a block decoded from it.
struct SourcePicture {
    std::optional<image::DibBlock> decoded;  // only for run-length encoded files
    const std::uint8_t* firstRow = nullptr;  // the first row stored
    unsigned bitCount = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::size_t stride = 0;
    std::vector<Rgb> colors;  // 2^bitCount entries; black where the file holds none
};

// Parses the file image with the bitmap reader and checks that it is a picture a
// map can be made of; none when it is not. Rows stored plainly are read where
// they are; only encoded ones are decoded into a block first.
std::optional<SourcePicture> ReadPicture(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return std::nullopt;
    }
    SourcePicture picture;
    image::DibBlock headerBlock;
    if (auto view = image::ViewBmpInMemory(bytes, length)) {
        headerBlock = std::move(view->header);
        picture.firstRow = view->rows;
        picture.topDown = view->topDown;
    } else {
        picture.decoded = image::LoadBmpFromMemory(bytes, length);
        if (!picture.decoded || picture.decoded->size() < image::kInfoHeaderSize) {
            return std::nullopt;
        }
    }
    // Both blocks have the same header and colour table; only the decoded one holds rows.
    const image::DibBlock& block = picture.decoded ? *picture.decoded : headerBlock;
    const auto header = image::BitmapInfoHeader::Read(block);
    if (header.biBitCount != 1 && header.biBitCount != 4 && header.biBitCount != 8) {
        return std::nullopt;
    }
    std::int64_t height = header.biHeight;
    if (header.biWidth < 0 || header.biWidth > std::int32_t{kMaxMapSide} || height < -std::int64_t{kMaxMapSide} ||
        height > std::int64_t{kMaxMapSide}) {
        return std::nullopt;
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
            return std::nullopt;
        }
        picture.firstRow = block.data() + pixelOffset;
    }
    const std::size_t tableEnd = std::min(pixelOffset, block.size());
    std::size_t tableEntries = std::min<std::size_t>(image::DibColorCount(block), std::size_t{1} << picture.bitCount);
    tableEntries = std::min(tableEntries, (tableEnd - std::min(tableEnd, image::kInfoHeaderSize)) / 4);
    picture.colors.assign(std::size_t{1} << picture.bitCount, Rgb{});
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const std::uint8_t* entry = block.data() + image::kInfoHeaderSize + 4 * i;
        picture.colors[i] = Rgb{entry[2], entry[1], entry[0]};
    }
    return picture;
}

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

#if defined(__x86_64__)
#define PLANDREL_WIDE_CONVERSION 1
// From 8 bits to fewer, 64 pixels at a time on processors that look bytes up
// in a 256-byte table held in four vector registers (AVX-512 VBMI): the
// values are then packed into place by multiply-adds (2 and 4 bits) or
// gathered as the bits of a mask (1 bit). The rest of the row goes as above.
template <unsigned DestBits>
[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void ConvertRowWide(const std::uint8_t* source, std::uint8_t* dest,
                                                                  std::size_t width, const RowTables& rowTables) {
    const std::uint8_t* table = rowTables.values.data();
    const __m512i table0 = _mm512_loadu_si512(table);
    const __m512i table1 = _mm512_loadu_si512(table + 64);
    const __m512i table2 = _mm512_loadu_si512(table + 128);
    const __m512i table3 = _mm512_loadu_si512(table + 192);
    // Each group of eight bytes in reverse order: the mask of the reversed
    // values has the first pixel of each eight in the top bit of its byte.
    alignas(64) std::array<std::uint8_t, 64> reverseEights{};
    for (unsigned i = 0; i < 64; ++i) {
        reverseEights[i] = static_cast<std::uint8_t>((i & ~7u) | (7u - (i & 7u)));
    }
    const __m512i reverse = _mm512_load_si512(reverseEights.data());
    // The zero-masking forms with every lane kept: the plain ones leave GCC 12
    // warning about their undefined pass-through operand.
    constexpr __mmask64 kAll64 = ~__mmask64{0};
    constexpr __mmask32 kAll32 = ~__mmask32{0};
    constexpr __mmask16 kAll16 = 0xFFFF;
    std::size_t x = 0;
    for (; x + 64 <= width; x += 64) {
        const __m512i index = _mm512_loadu_si512(source + x);
        const __m512i low = _mm512_permutex2var_epi8(table0, index, table1);
        const __m512i high = _mm512_permutex2var_epi8(table2, index, table3);
        const __m512i values = _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
        if constexpr (DestBits == 4) {
            // 16 × first + second in each 16-bit word, then one byte per word.
            const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x0110));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest), _mm512_maskz_cvtepi16_epi8(kAll32, pairs));
            dest += 32;
        } else if constexpr (DestBits == 2) {
            // 4 × first + second per word, 16 × that + the next pair per 32 bits.
            const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x0104));
            const __m512i quads = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010010));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm512_maskz_cvtepi32_epi8(kAll16, quads));
            dest += 16;
        } else {
            const __m512i reversed = _mm512_maskz_permutexvar_epi8(kAll64, reverse, values);
            const std::uint64_t bits = _mm512_test_epi8_mask(reversed, reversed);
            std::memcpy(dest, &bits, sizeof bits);  // little-endian: the first eight pixels in the first byte
            dest += 8;
        }
    }
    ConvertRow<8, DestBits>(source + x, dest, width - x, rowTables);
}

bool HasWideConversion() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}
#endif

template <unsigned SourceBits>
RowConverter ConverterTo(unsigned destBits) {
#ifdef PLANDREL_WIDE_CONVERSION
    if constexpr (SourceBits == 8) {
        if (destBits < 8 && HasWideConversion()) {
            switch (destBits) {
                case 1: return &ConvertRowWide<1>;
                case 2: return &ConvertRowWide<2>;
                default: return &ConvertRowWide<4>;
            }
        }
    }
#endif
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

unsigned DepthFromChoice(int choice) {
    return choice >= 0 && choice < 4 ? kDepths[static_cast<std::size_t>(choice)] : 1u;
}

}  // namespace

std::array<float, 4> SizeEstimates(std::uint32_t width, std::uint32_t height) {
    std::array<float, 4> estimates{};
    for (std::size_t i = 0; i < kDepths.size(); ++i) {
        std::uint64_t bytes = mapdb::kMapFieldsSize + std::uint64_t{AlignedRowBytes(width, kDepths[i], 16)} * height;
        estimates[i] = static_cast<float>(static_cast<double>(bytes) * 0.0009765625);
    }
    return estimates;
}

std::array<std::uint8_t, 256> DestinationTable(const std::vector<Rgb>& colors, unsigned pixelSize,
                                               bool withColorTable) {
    std::array<std::uint8_t, 256> table{};
    const std::size_t count = std::min<std::size_t>(colors.size(), table.size());
    const std::size_t fits = std::size_t{1} << pixelSize;
    std::optional<platform::LogicalPalette> kept;
    for (std::size_t s = 0; s < count; ++s) {
        const Rgb& c = colors[s];
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
                    std::vector<platform::PaletteEntry> entries;
                    for (std::size_t i = 0; i < fits; ++i) {
                        entries.push_back({colors[i].red, colors[i].green, colors[i].blue, 0});
                    }
                    kept.emplace(std::move(entries));
                }
                value = static_cast<unsigned>(kept->GetNearestPaletteIndex(c.red, c.green, c.blue));
            }
        } else {
            float luminance = Luminance(c.red, c.green, c.blue);
            value = pixelSize == 1 ? GreyLevel1(luminance) : pixelSize == 2 ? GreyLevel2(luminance) : GreyLevel4(luminance);
        }
        table[s] = static_cast<std::uint8_t>(value);
    }
    return table;
}

std::vector<std::uint8_t> PalmColorTable(const std::vector<Rgb>& colors, std::size_t count) {
    count = std::min<std::size_t>(count, 0xFFFF);
    std::vector<std::uint8_t> table(2 + 4 * count, 0);
    platform::WriteBE16(table.data(), static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count && i < colors.size(); ++i) {
        table[2 + 4 * i + 1] = colors[i].red;
        table[2 + 4 * i + 2] = colors[i].green;
        table[2 + 4 * i + 3] = colors[i].blue;
    }
    return table;
}

void BuildPalmBitmap(mapdb::MapRecord& map, const std::uint8_t* bytes, std::size_t length) {
    map.data.reset();
    auto picture = ReadPicture(bytes, length);
    if (!picture) {
        ShowUnsupportedFormat();
        return;
    }

    CColorDepthDlg dialog;
    dialog.sizeEstimates = SizeEstimates(picture->width, picture->height);
    dialog.depthChoice = 0;
    dialog.compress = false;
    dialog.includeColorTable = false;
    dialog.sourceDepth = static_cast<int>(picture->bitCount);
    platform::GetUserInterface().DoModal(dialog);

    const unsigned pixelSize = DepthFromChoice(dialog.depthChoice);
    const bool withTable = dialog.includeColorTable;
    const std::size_t rowBytes = AlignedRowBytes(picture->width, pixelSize, 16);
    if (rowBytes > 0xFFFF) {
        // 65,535 pixels at 8 bits need a row of 65,536 bytes, one more than the field holds.
        ShowUnsupportedFormat();
        return;
    }

    std::vector<std::uint8_t> block;
    try {
        std::size_t tableEntries = std::min(picture->colors.size(), std::size_t{1} << pixelSize);
        std::vector<std::uint8_t> colorTable;
        if (withTable) {
            colorTable = PalmColorTable(picture->colors, tableEntries);
        }
        block.assign(colorTable.size() + rowBytes * picture->height, 0);
        std::copy(colorTable.begin(), colorTable.end(), block.begin());
        const RowTables tables(DestinationTable(picture->colors, pixelSize, withTable), picture->bitCount, pixelSize);
        const RowConverter convert = Converter(picture->bitCount, pixelSize);
        // The source rows in the order they lie in memory, which the processor
        // fetches ahead: a bottom-up picture fills the block from its last row.
        std::uint8_t* rows = block.data() + colorTable.size();
        for (std::uint32_t stored = 0; stored < picture->height; ++stored) {
            const std::uint32_t y = picture->topDown ? stored : picture->height - 1 - stored;
            convert(picture->firstRow + picture->stride * stored, rows + rowBytes * y, picture->width, tables);
        }
    } catch (const std::bad_alloc&) {
        ShowUnsupportedFormat();
        return;
    }

    map.width = static_cast<std::uint16_t>(picture->width);
    map.height = static_cast<std::uint16_t>(picture->height);
    map.pixelSize = static_cast<std::uint8_t>(pixelSize);
    map.rowBytes = static_cast<std::uint16_t>(rowBytes);
    map.version = 2;
    map.nextDepthOffset = {0, 0};
    map.SetFlag(mapdb::kHasColorTable, withTable);
    map.SetFlag(mapdb::kCompressed, dialog.compress);
    map.data = std::move(block);
}

}  // namespace palm

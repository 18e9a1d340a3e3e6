#include "ScanLines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/ByteOrder.h"

namespace palm {

namespace {

constexpr std::size_t kGroup = 8;

// Flag bits of the first `count` positions of a group.
std::uint8_t LeadingBits(std::size_t count) {
    return static_cast<std::uint8_t>(0xFF00u >> count);
}

constexpr std::uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7Full;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
// Multiplying the eight byte marks (bit 0 of each byte) by this gathers them
// in the top byte in reverse order: byte j's mark lands on bit 63 - j. Every
// partial product has a bit position of its own, so no carries disturb them.
constexpr std::uint64_t kGatherReversed = 0x8040201008040201ull;
// The same in memory order (byte j's mark on bit 56 + j), and their count.
constexpr std::uint64_t kGatherInOrder = 0x0102040810204080ull;
constexpr std::uint64_t kSumBytes = 0x0101010101010101ull;

// Bit 0 of every byte of `diff` that is not zero (one bit per byte, at 8j).
inline std::uint64_t ByteMarks(std::uint64_t diff) {
    return ((((diff & kLowSevenBits) + kLowSevenBits) | diff) & kHighBits) >> 7;
}

// The flag byte of a group: bit 7 for its first byte.
inline std::uint8_t FlagOf(std::uint64_t marks) {
    return static_cast<std::uint8_t>((marks * kGatherReversed) >> 56);
}

// The groups of a row below the top as far as they are whole (fullBytes, a
// multiple of 8): per group the flag byte of the bytes that differ from the
// row above, then those bytes. Returns the new end of `out`; each group
// writes at most its nine bytes.
using FullGroups = std::uint8_t* (*)(const std::uint8_t* row, const std::uint8_t* above, std::size_t fullBytes,
                                     std::uint8_t* out);

std::uint8_t* CompressFullGroups(const std::uint8_t* row, const std::uint8_t* above, std::size_t fullBytes,
                                 std::uint8_t* out) {
    for (std::size_t k = 0; k < fullBytes; k += kGroup) {
        const std::uint64_t now = platform::ReadLE64(row + k);
        const std::uint64_t diff = now ^ platform::ReadLE64(above + k);
        if (diff == 0) {
            *out++ = 0;
            continue;
        }
        const std::uint64_t marks = ByteMarks(diff);
        *out++ = FlagOf(marks);
        // Every byte is stored; only marked ones move the end on.
        for (unsigned j = 0; j < kGroup; ++j) {
            *out = static_cast<std::uint8_t>(now >> (8 * j));
            out += (marks >> (8 * j)) & 1u;
        }
    }
    return out;
}

#if defined(__x86_64__) || defined(__i386__)
// For each set of marked bytes (bit j for byte j), the shuffle that moves
// them to the front in order.
struct FrontShuffles {
    std::array<std::array<std::uint8_t, 8>, 256> masks{};
    FrontShuffles() {
        for (unsigned set = 0; set < 256; ++set) {
            unsigned n = 0;
            for (unsigned j = 0; j < 8; ++j) {
                if (set & (1u << j)) {
                    masks[set][n++] = static_cast<std::uint8_t>(j);
                }
            }
        }
    }
};
const FrontShuffles kFrontShuffles;

// The same with one byte shuffle per changed group instead of eight stores:
// the marked bytes are moved to the front of the eight and all eight stored,
// the end moved on by their count.
[[gnu::target("ssse3")]] std::uint8_t* CompressFullGroupsShuffled(const std::uint8_t* row,
                                                                  const std::uint8_t* above, std::size_t fullBytes,
                                                                  std::uint8_t* out) {
    for (std::size_t k = 0; k < fullBytes; k += kGroup) {
        const std::uint64_t now = platform::ReadLE64(row + k);
        const std::uint64_t diff = now ^ platform::ReadLE64(above + k);
        if (diff == 0) {
            *out++ = 0;
            continue;
        }
        const std::uint64_t marks = ByteMarks(diff);
        *out++ = FlagOf(marks);
        const auto inOrder = static_cast<unsigned>((marks * kGatherInOrder) >> 56);
        const __m128i bytes = _mm_cvtsi64_si128(static_cast<long long>(now));
        const __m128i shuffle = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFrontShuffles.masks[inOrder].data()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, shuffle));
        out += (marks * kSumBytes) >> 56;
    }
    return out;
}
#endif

#if defined(__x86_64__)
// Eight groups (64 bytes) at a time without a branch, on processors with
// AVX-512 byte permutes and compression (VBMI, VBMI2): one comparison gives
// the 64 marks; each half of four groups is laid out as flag, eight bytes,
// flag, eight bytes... in one register, and the flags and marked bytes are
// compressed to the front and stored. The groups left go as above.
struct WideLayouts {
    // For each half, where each of its 36 laid-out bytes comes from: the
    // flag of group g is byte g of the flag word (source bytes 64 and up),
    // its eight bytes the chunk's bytes 8g to 8g + 7.
    alignas(64) std::array<std::array<std::uint8_t, 64>, 2> halves{};
    WideLayouts() {
        for (unsigned half = 0; half < 2; ++half) {
            unsigned at = 0;
            for (unsigned g = 4 * half; g < 4 * half + 4; ++g) {
                halves[half][at++] = static_cast<std::uint8_t>(64 + g);
                for (unsigned b = 0; b < 8; ++b) {
                    halves[half][at++] = static_cast<std::uint8_t>(8 * g + b);
                }
            }
        }
    }
};
const WideLayouts kWideLayouts;

// Bits of the laid-out half: a flag at 9g, the group's bytes at 9g + 1 to 9g + 8.
constexpr std::uint64_t kLaidOutFlags = 1ull | (1ull << 9) | (1ull << 18) | (1ull << 27);
constexpr std::uint64_t kLaidOutBytes = (0xFFull << 1) | (0xFFull << 10) | (0xFFull << 19) | (0xFFull << 28);

// The bits of every byte in reverse order: byte j's marks become its flag.
inline std::uint64_t ReverseBitsOfBytes(std::uint64_t v) {
    v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    return ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
}

[[gnu::target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2,popcnt")]] std::uint8_t* CompressFullGroupsWide(
    const std::uint8_t* row, const std::uint8_t* above, std::size_t fullBytes, std::uint8_t* out) {
    const __m512i firstHalf = _mm512_load_si512(kWideLayouts.halves[0].data());
    const __m512i secondHalf = _mm512_load_si512(kWideLayouts.halves[1].data());
    std::size_t k = 0;
    for (; k + 64 <= fullBytes; k += 64) {
        const __m512i now = _mm512_loadu_si512(row + k);
        const std::uint64_t marks = _mm512_cmpneq_epi8_mask(now, _mm512_loadu_si512(above + k));
        const __m512i flags = _mm512_set1_epi64(static_cast<long long>(ReverseBitsOfBytes(marks)));
        for (unsigned half = 0; half < 2; ++half) {
            const __m512i laidOut = _mm512_permutex2var_epi8(now, half == 0 ? firstHalf : secondHalf, flags);
            const std::uint64_t kept = _pdep_u64(marks >> (32 * half), kLaidOutBytes) | kLaidOutFlags;
            const auto count = static_cast<unsigned>(_mm_popcnt_u64(kept));
            _mm512_mask_storeu_epi8(out, (std::uint64_t{1} << count) - 1, _mm512_maskz_compress_epi8(kept, laidOut));
            out += count;
        }
    }
    return CompressFullGroupsShuffled(row + k, above + k, fullBytes - k, out);
}
#endif

FullGroups ChooseFullGroups() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
        __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt")) {
        return &CompressFullGroupsWide;
    }
#endif
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("ssse3")) {
        return &CompressFullGroupsShuffled;
    }
#endif
    return &CompressFullGroups;
}

std::size_t CompressRowsWith(FullGroups fullGroups, const std::uint8_t* rows, std::size_t stride,
                             std::size_t rowBytes, std::size_t height, std::uint8_t* out) {
    std::uint8_t* const start = out;
    out += 2;
    const std::size_t fullBytes = rowBytes / kGroup * kGroup;
    for (std::size_t r = 0; r < height; ++r) {
        const std::uint8_t* row = rows + r * stride;
        if (r == 0) {
            // The top row: every byte marked.
            for (std::size_t k = 0; k < rowBytes; k += kGroup) {
                std::size_t n = std::min(kGroup, rowBytes - k);
                *out++ = LeadingBits(n);
                std::memcpy(out, row + k, n);
                out += n;
            }
            continue;
        }
        const std::uint8_t* above = row - stride;
        out = fullGroups(row, above, fullBytes, out);
        if (fullBytes < rowBytes) {
            std::uint8_t* flag = out++;
            unsigned bits = 0;
            for (std::size_t j = 0; fullBytes + j < rowBytes; ++j) {
                if (row[fullBytes + j] != above[fullBytes + j]) {
                    bits |= 0x80u >> j;
                    *out++ = row[fullBytes + j];
                }
            }
            *flag = static_cast<std::uint8_t>(bits);
        }
    }
    const auto size = static_cast<std::size_t>(out - start);
    platform::WriteBE16(start, static_cast<std::uint16_t>(std::min(size, kMaxCompressedSize)));
    return size;
}

}  // namespace

std::size_t CompressedBound(std::size_t rowBytes, std::size_t height) {
    return 2 + height * (rowBytes + (rowBytes + kGroup - 1) / kGroup);
}

std::size_t CompressRows(const std::uint8_t* rows, std::size_t stride, std::size_t rowBytes, std::size_t height,
                         std::uint8_t* out) {
    static const FullGroups fullGroups = ChooseFullGroups();
    return CompressRowsWith(fullGroups, rows, stride, rowBytes, height, out);
}

std::size_t CompressRowsPortable(const std::uint8_t* rows, std::size_t stride, std::size_t rowBytes,
                                 std::size_t height, std::uint8_t* out) {
    return CompressRowsWith(&CompressFullGroups, rows, stride, rowBytes, height, out);
}

std::size_t CompressScanLines(mapdb::MapRecord& map) {
    static const platform::ByteBlock kNoData;
    const platform::ByteBlock& old = map.data ? *map.data : kNoData;
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t height = map.height;
    const std::size_t tableLength = mapdb::GetColorTableSize(map);
    const std::size_t pixelLength = rowBytes * height;

    // A block shorter than its header says is read as if padded with zeros.
    std::vector<std::uint8_t> padded;
    const std::uint8_t* source = old.data();
    if (old.size() < tableLength + pixelLength) {
        padded.assign(tableLength + pixelLength, 0);
        std::copy(old.begin(), old.end(), padded.begin());
        source = padded.data();
    }

    // The rows are compressed into room for the worst case, left uninitialised
    // so that only the bytes written are ever touched, then kept at their size.
    const std::size_t bound = tableLength + CompressedBound(rowBytes, height);
    std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[bound]);
    if (tableLength != 0) {
        std::memcpy(scratch.get(), source, tableLength);
    }
    const std::size_t size =
        CompressRows(source + tableLength, rowBytes, rowBytes, height, scratch.get() + tableLength);
    map.data.emplace(scratch.get(), scratch.get() + tableLength + size);
    map.SetFlag(mapdb::kCompressed, true);
    return size;
}

std::optional<std::vector<std::uint8_t>> ExpandScanLines(const mapdb::MapRecord& map) {
    if (!map.data) {
        return std::nullopt;
    }
    const platform::ByteBlock& data = *map.data;
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t height = map.height;
    const std::size_t tableLength = mapdb::GetColorTableSize(map);

    if (!map.IsCompressed()) {
        std::vector<std::uint8_t> block(tableLength + rowBytes * height, 0);
        std::copy_n(data.begin(), std::min(data.size(), block.size()), block.begin());
        return block;
    }
    if (data.size() < tableLength + 2) {
        return std::nullopt;
    }
    const std::uint8_t* const start = data.data() + tableLength;
    const std::size_t sizeWord = platform::ReadBE16(start);
    const std::size_t held = data.size() - tableLength;
    // A capped size word leaves the true end to the data the map holds.
    const std::size_t limit = sizeWord == kMaxCompressedSize ? held : std::min(sizeWord, held);
    // Every group of every row has its flag byte: rows the data cannot hold
    // are refused before room is made for them.
    const std::size_t flagBytes = (rowBytes + kGroup - 1) / kGroup * height;
    if (limit < 2 || limit - 2 < flagBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> block(tableLength + rowBytes * height, 0);
    std::copy_n(data.begin(), tableLength, block.begin());
    std::size_t in = 2;

    std::uint8_t* rows = block.data() + tableLength;
    for (std::size_t r = 0; r < height; ++r) {
        std::uint8_t* row = rows + r * rowBytes;
        if (r > 0 && rowBytes > 0) {
            std::memcpy(row, row - rowBytes, rowBytes);  // unmarked bytes repeat the row above
        }
        for (std::size_t k = 0; k < rowBytes; k += kGroup) {
            if (in >= limit) {
                return std::nullopt;
            }
            const std::uint8_t bits = start[in++];
            const std::size_t n = std::min(kGroup, rowBytes - k);
            if ((bits & ~LeadingBits(n) & 0xFF) != 0) {
                return std::nullopt;  // marks a byte beyond the end of the row
            }
            for (std::size_t j = 0; j < n; ++j) {
                if (bits & (0x80u >> j)) {
                    if (in >= limit) {
                        return std::nullopt;
                    }
                    row[k + j] = start[in++];
                }
            }
        }
    }
    const bool exact = sizeWord == kMaxCompressedSize ? in >= kMaxCompressedSize : in == sizeWord;
    if (!exact) {
        return std::nullopt;
    }
    return block;
}

}  // namespace palm

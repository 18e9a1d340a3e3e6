#include "ScanLines.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/ByteOrder.h"

namespace palm {

namespace {

constexpr std::size_t kGroup = 8;

// Length of the colour table at the start of `data`: 0 without one. A table
// whose count bytes are missing counts as 2 + 0 bytes.
std::size_t ColorTableLength(const mapdb::MapRecord& map, const std::vector<std::uint8_t>& data) {
    if (!map.HasColorTable()) {
        return 0;
    }
    std::size_t count = data.size() >= 2 ? platform::ReadBE16(data.data()) : 0;
    return 2 + 4 * count;
}

// Flag bits of the first `count` positions of a group.
std::uint8_t LeadingBits(std::size_t count) {
    return static_cast<std::uint8_t>(0xFF00u >> count);
}

// Eight bytes as one number, the first byte in the low bits, whatever the host's order.
inline std::uint64_t LoadLE64(const std::uint8_t* p) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        value |= std::uint64_t{p[i]} << (8 * i);
    }
    return value;
}

constexpr std::uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7Full;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
// Multiplying the eight byte marks (bit 0 of each byte) by this gathers them
// in the top byte in reverse order: byte j's mark lands on bit 63 - j. Every
// partial product has a bit position of its own, so no carries disturb them.
constexpr std::uint64_t kGatherReversed = 0x8040201008040201ull;

// One full group of a row below the top: the flag byte of the bytes that
// differ from the row above, then those bytes. Returns the new end of `out`.
inline std::uint8_t* CompressGroup(const std::uint8_t* row, const std::uint8_t* above, std::uint8_t* out) {
    const std::uint64_t diff = LoadLE64(row) ^ LoadLE64(above);
    if (diff == 0) {
        *out = 0;
        return out + 1;
    }
    // The high bit of every byte that is not zero in diff.
    const std::uint64_t marks = (((diff & kLowSevenBits) + kLowSevenBits) | diff) & kHighBits;
    *out++ = static_cast<std::uint8_t>(((marks >> 7) * kGatherReversed) >> 56);
    // Every byte is stored; only marked ones move the end on. The last store
    // lands at most on the group's ninth byte, which the bound leaves room for.
    for (unsigned j = 0; j < kGroup; ++j) {
        *out = row[j];
        out += (marks >> (8 * j + 7)) & 1u;
    }
    return out;
}

}  // namespace

std::size_t CompressedBound(std::size_t rowBytes, std::size_t height) {
    return 2 + height * (rowBytes + (rowBytes + kGroup - 1) / kGroup);
}

std::size_t CompressRows(const std::uint8_t* rows, std::size_t stride, std::size_t rowBytes, std::size_t height,
                         std::uint8_t* out) {
    std::uint8_t* const start = out;
    out += 2;
    for (std::size_t r = 0; r < height; ++r) {
        const std::uint8_t* row = rows + r * stride;
        if (r == 0) {
            for (std::size_t k = 0; k < rowBytes; k += kGroup) {
                std::size_t n = std::min(kGroup, rowBytes - k);
                *out++ = LeadingBits(n);
                std::memcpy(out, row + k, n);
                out += n;
            }
            continue;
        }
        const std::uint8_t* above = row - stride;
        std::size_t k = 0;
        for (; k + kGroup <= rowBytes; k += kGroup) {
            out = CompressGroup(row + k, above + k, out);
        }
        if (k < rowBytes) {
            std::uint8_t* flag = out++;
            unsigned bits = 0;
            for (std::size_t j = 0; k + j < rowBytes; ++j) {
                if (row[k + j] != above[k + j]) {
                    bits |= 0x80u >> j;
                    *out++ = row[k + j];
                }
            }
            *flag = static_cast<std::uint8_t>(bits);
        }
    }
    const auto size = static_cast<std::size_t>(out - start);
    platform::WriteBE16(start, static_cast<std::uint16_t>(std::min(size, kMaxCompressedSize)));
    return size;
}

std::size_t CompressScanLines(mapdb::MapRecord& map) {
    static const std::vector<std::uint8_t> kNoData;
    const std::vector<std::uint8_t>& old = map.data ? *map.data : kNoData;
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t height = map.height;
    const std::size_t tableLength = ColorTableLength(map, old);
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
    const std::size_t size = CompressRows(source + tableLength, rowBytes, rowBytes, height, scratch.get() + tableLength);
    map.data.emplace(scratch.get(), scratch.get() + tableLength + size);
    map.SetFlag(mapdb::kCompressed, true);
    return size;
}

std::optional<std::vector<std::uint8_t>> ExpandScanLines(const mapdb::MapRecord& map) {
    if (!map.data) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t>& data = *map.data;
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t height = map.height;
    const std::size_t tableLength = ColorTableLength(map, data);
    std::vector<std::uint8_t> block(tableLength + rowBytes * height, 0);

    if (!map.IsCompressed()) {
        std::copy_n(data.begin(), std::min(data.size(), block.size()), block.begin());
        return block;
    }
    if (data.size() < tableLength + 2) {
        return std::nullopt;
    }
    std::copy_n(data.begin(), tableLength, block.begin());
    const std::uint8_t* const start = data.data() + tableLength;
    const std::size_t sizeWord = platform::ReadBE16(start);
    const std::size_t held = data.size() - tableLength;
    // A capped size word leaves the true end to the data the map holds.
    const std::size_t limit = sizeWord == kMaxCompressedSize ? held : std::min(sizeWord, held);
    std::size_t in = 2;

    std::uint8_t* rows = block.data() + tableLength;
    for (std::size_t r = 0; r < height; ++r) {
        std::uint8_t* row = rows + r * rowBytes;
        if (r > 0) {
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

#include "ScanLines.h"

#include <algorithm>
#include <cstring>
#include <memory>

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

Error Damaged() {
    return Error{"The compressed rows of the map are damaged"};
}

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

}  // namespace

std::size_t CompressedBound(std::size_t rowBytes, std::size_t height) {
    return 2 + height * (rowBytes + (rowBytes + kGroup - 1) / kGroup);
}

std::size_t CompressRows(const std::uint8_t* rows, std::size_t stride, std::size_t rowBytes, std::size_t height,
                         std::uint8_t* out) {
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
        out = CompressFullGroups(row, above, fullBytes, out);
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

std::size_t CompressScanLines(mapdb::MapRecord& map) {
    const std::vector<std::uint8_t>& old = map.data;
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
    map.data.assign(scratch.get(), scratch.get() + tableLength + size);
    map.SetFlag(mapdb::kCompressed, true);
    return size;
}

Result<std::vector<std::uint8_t>> ExpandScanLines(const mapdb::MapRecord& map) {
    const std::vector<std::uint8_t>& data = map.data;
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t height = map.height;
    const std::size_t tableLength = mapdb::GetColorTableSize(map);

    if (!map.IsCompressed()) {
        std::vector<std::uint8_t> block(tableLength + rowBytes * height, 0);
        std::copy_n(data.begin(), std::min(data.size(), block.size()), block.begin());
        return block;
    }
    if (data.size() < tableLength + 2) {
        return Damaged();
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
        return Damaged();
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
                return Damaged();
            }
            const std::uint8_t bits = start[in++];
            const std::size_t n = std::min(kGroup, rowBytes - k);
            if ((bits & ~LeadingBits(n) & 0xFF) != 0) {
                return Damaged();  // marks a byte beyond the end of the row
            }
            for (std::size_t j = 0; j < n; ++j) {
                if (bits & (0x80u >> j)) {
                    if (in >= limit) {
                        return Damaged();
                    }
                    row[k + j] = start[in++];
                }
            }
        }
    }
    const bool exact = sizeWord == kMaxCompressedSize ? in >= kMaxCompressedSize : in == sizeWord;
    if (!exact) {
        return Damaged();
    }
    return block;
}

}  // namespace palm

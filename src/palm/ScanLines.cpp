#include "ScanLines.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteOrder.h"

namespace palm {

namespace {

constexpr std::size_t kGroup = 8;

// Flag bits of the first `count` positions of a group.
std::uint8_t LeadingBits(std::size_t count) {
    return static_cast<std::uint8_t>(0xFF00u >> count);
}

}  // namespace

std::size_t CompressScanLines(mapdb::MapRecord& map) {
    static const std::vector<std::uint8_t> kNoData;
    const std::vector<std::uint8_t>& old = map.data ? *map.data : kNoData;
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

    const std::size_t groupsPerRow = (rowBytes + kGroup - 1) / kGroup;
    std::vector<std::uint8_t> block(tableLength + 2 + height * (rowBytes + groupsPerRow));
    std::copy_n(source, tableLength, block.begin());
    std::uint8_t* const start = block.data() + tableLength;
    std::uint8_t* out = start + 2;
    const std::uint8_t* rows = source + tableLength;

    for (std::size_t r = 0; r < height; ++r) {
        const std::uint8_t* row = rows + r * rowBytes;
        if (r == 0) {
            for (std::size_t k = 0; k < rowBytes; k += kGroup) {
                std::size_t n = std::min(kGroup, rowBytes - k);
                *out++ = LeadingBits(n);
                std::memcpy(out, row + k, n);
                out += n;
            }
            continue;
        }
        const std::uint8_t* above = row - rowBytes;
        std::size_t k = 0;
        for (; k + kGroup <= rowBytes; k += kGroup) {
            std::uint64_t now;
            std::uint64_t before;
            std::memcpy(&now, row + k, kGroup);
            std::memcpy(&before, above + k, kGroup);
            if (now == before) {
                *out++ = 0;
                continue;
            }
            std::uint8_t* flag = out++;
            unsigned bits = 0;
            for (std::size_t j = 0; j < kGroup; ++j) {
                if (row[k + j] != above[k + j]) {
                    bits |= 0x80u >> j;
                    *out++ = row[k + j];
                }
            }
            *flag = static_cast<std::uint8_t>(bits);
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

    const std::size_t size = static_cast<std::size_t>(out - start);
    platform::WriteBE16(start, static_cast<std::uint16_t>(std::min(size, kMaxCompressedSize)));
    block.resize(tableLength + size);
    map.data = std::move(block);
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

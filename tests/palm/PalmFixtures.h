#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "image/ImagePalette.h"
#include "mapdb/MapRecord.h"
#include "palm/PalmBitmap.h"
#include "platform/ByteOrder.h"

namespace palm_test {

using image::Color;

// A paletted picture, indices top row first, and the ways to write it as a .bmp file.
struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bits = 8;
    std::vector<Color> colors;
    std::vector<std::uint8_t> indices;

    enum class Layout { kBottomUp, kTopDown, kCore, kV4, kV5, kRle };

    std::uint8_t At(std::uint32_t x, std::uint32_t y) const { return indices[y * width + x]; }

    std::vector<std::uint8_t> Bmp(Layout layout = Layout::kBottomUp, std::uint32_t clrUsed = 0) const {
        const bool core = layout == Layout::kCore;
        const std::uint32_t headerSize = core ? 12 : layout == Layout::kV4 ? 108 : layout == Layout::kV5 ? 124 : 40;
        const std::uint32_t entries = clrUsed != 0 ? clrUsed : static_cast<std::uint32_t>(colors.size());
        const std::uint32_t entryBytes = core ? 3 : 4;
        std::vector<std::uint8_t> pixels = layout == Layout::kRle ? Rle() : Rows(layout == Layout::kTopDown);
        std::vector<std::uint8_t> out(14 + headerSize + entries * entryBytes, 0);
        out[0] = 'B';
        out[1] = 'M';
        platform::WriteLE32(&out[2], static_cast<std::uint32_t>(out.size() + pixels.size()));
        platform::WriteLE32(&out[10], static_cast<std::uint32_t>(out.size()));
        std::uint8_t* h = &out[14];
        platform::WriteLE32(h, headerSize);
        if (core) {
            platform::WriteLE16(h + 4, static_cast<std::uint16_t>(width));
            platform::WriteLE16(h + 6, static_cast<std::uint16_t>(height));
            platform::WriteLE16(h + 8, 1);
            platform::WriteLE16(h + 10, static_cast<std::uint16_t>(bits));
        } else {
            platform::WriteLE32(h + 4, width);
            platform::WriteLE32(h + 8, layout == Layout::kTopDown ? static_cast<std::uint32_t>(-static_cast<std::int32_t>(height)) : height);
            platform::WriteLE16(h + 12, 1);
            platform::WriteLE16(h + 14, static_cast<std::uint16_t>(bits));
            platform::WriteLE32(h + 16, layout == Layout::kRle ? (bits == 8 ? 1u : 2u) : 0u);
            platform::WriteLE32(h + 20, static_cast<std::uint32_t>(pixels.size()));
            platform::WriteLE32(h + 32, clrUsed);
        }
        for (std::uint32_t i = 0; i < entries && i < colors.size(); ++i) {
            std::uint8_t* e = h + headerSize + i * entryBytes;
            e[0] = colors[i].blue;
            e[1] = colors[i].green;
            e[2] = colors[i].red;
        }
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }

    // Uncompressed rows padded to 32 bits, bottom row first unless topDown.
    std::vector<std::uint8_t> Rows(bool topDown) const {
        const std::size_t stride = (width * bits + 31) / 32 * 4;
        std::vector<std::uint8_t> rows(stride * height, 0);
        for (std::uint32_t y = 0; y < height; ++y) {
            std::uint8_t* row = &rows[(topDown ? y : height - 1 - y) * stride];
            for (std::uint32_t x = 0; x < width; ++x) {
                const unsigned bit = x * bits;
                row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | At(x, y) << (8 - bits - bit % 8));
            }
        }
        return rows;
    }

    // Run-length encoded rows (8 or 4 bits), bottom row first: runs of one index.
    std::vector<std::uint8_t> Rle() const {
        std::vector<std::uint8_t> out;
        for (std::uint32_t y = height; y-- > 0;) {
            for (std::uint32_t x = 0; x < width;) {
                std::uint32_t run = 1;
                while (x + run < width && run < 255 && At(x + run, y) == At(x, y)) {
                    ++run;
                }
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(static_cast<std::uint8_t>(bits == 8 ? At(x, y) : At(x, y) * 17));
                x += run;
            }
            out.insert(out.end(), {0, 0});
        }
        out.insert(out.end(), {0, 1});
        return out;
    }
};

// A picture of random indices below `maxIndex` + 1 over a random palette.
inline Picture RandomPicture(std::uint32_t width, std::uint32_t height, unsigned bits, unsigned seed,
                             unsigned maxIndex = 255) {
    std::mt19937 random(seed);
    Picture picture{width, height, bits, {}, {}};
    for (unsigned i = 0; i < (1u << bits); ++i) {
        picture.colors.push_back(Color{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                       static_cast<std::uint8_t>(random())});
    }
    const unsigned limit = std::min((1u << bits) - 1, maxIndex);
    for (std::uint32_t i = 0; i < width * height; ++i) {
        picture.indices.push_back(static_cast<std::uint8_t>(random() % (limit + 1)));
    }
    return picture;
}

// The map converted from the bitmap file image `file` at `depth` bits, with or without colour table.
inline platform::Result<mapdb::MapRecord> Convert(const std::vector<std::uint8_t>& file,
                                                  const palm::ConversionOptions& options) {
    auto picture = palm::ReadSourcePicture(file);
    if (!picture) {
        return picture.error();
    }
    return palm::BuildPalmBitmap(*picture, options);
}

inline platform::Result<mapdb::MapRecord> Convert(const std::vector<std::uint8_t>& file, unsigned depth, bool table) {
    return Convert(file, palm::ConversionOptions{depth, false, table});
}

// The pixel rows of an uncompressed map, behind its colour table.
inline std::vector<std::uint8_t> PixelRows(const mapdb::MapRecord& map) {
    const auto skip = static_cast<std::ptrdiff_t>(mapdb::GetColorTableSize(map));
    return {map.data.begin() + skip, map.data.end()};
}

}  // namespace palm_test

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace testing_support {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The bytes of an uncompressed, bottom-up Windows bitmap of 1, 4 or 8 bits per
// pixel whose pixel (x, y) — y = 0 the top row — is pixel(x, y).
inline std::vector<std::uint8_t> IndexedBmpBytes(int width, int height, int bits, const std::vector<Rgb>& palette,
                                                const std::function<int(int, int)>& pixel) {
    const std::size_t rowSize = static_cast<std::size_t>((bits * width + 31) / 32 * 4);
    const std::size_t tableSize = 4 * palette.size();
    const std::size_t offBits = 14 + 40 + tableSize;
    std::vector<std::uint8_t> file(offBits + rowSize * static_cast<std::size_t>(height), 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        file[at] = static_cast<std::uint8_t>(v);
        file[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, static_cast<std::uint32_t>(offBits));
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    put16(26, 1);
    put16(28, static_cast<std::uint32_t>(bits));
    put32(34, static_cast<std::uint32_t>(rowSize * static_cast<std::size_t>(height)));
    put32(46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        file[54 + 4 * i] = palette[i].blue;
        file[54 + 4 * i + 1] = palette[i].green;
        file[54 + 4 * i + 2] = palette[i].red;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = file.data() + offBits + rowSize * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            auto v = static_cast<unsigned>(pixel(x, y));
            int bit = x * bits;
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (v << (8 - bits - bit % 8)));
        }
    }
    return file;
}

// A grey ramp of 2^bits entries, from black to white.
inline std::vector<Rgb> GreyPalette(int bits) {
    std::vector<Rgb> palette;
    int n = 1 << bits;
    for (int i = 0; i < n; ++i) {
        auto level = static_cast<std::uint8_t>(n == 1 ? 0 : i * 255 / (n - 1));
        palette.push_back({level, level, level});
    }
    return palette;
}

inline void WriteIndexedBmp(const std::string& path, int width, int height, int bits, const std::vector<Rgb>& palette,
                            const std::function<int(int, int)>& pixel) {
    WriteFileBytes(path, IndexedBmpBytes(width, height, bits, palette, pixel));
}

}  // namespace testing_support

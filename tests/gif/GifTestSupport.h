#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "image/GifCodec.h"
#include "support/Lcg.h"

namespace gif_test {

using Bytes = std::vector<std::uint8_t>;

// Builds GIF files piece by piece.
struct GifBuilder {
    Bytes bytes;

    // Header and screen descriptor, with a global table of red, green, blue
    // triples (2 to 256 entries, a power of two; none when empty).
    GifBuilder(int width, int height, const Bytes& globalRgb = {}) {
        Append({'G', 'I', 'F', '8', '9', 'a'});
        Le16(width);
        Le16(height);
        bytes.push_back(globalRgb.empty() ? 0 : static_cast<std::uint8_t>(0x80 | TableBits(globalRgb)));
        Append({0, 0});
        Append(globalRgb);
    }
    // A graphic control extension naming a transparent index.
    GifBuilder& Transparency(int index, int blockSize = 4) {
        Append({0x21, 0xF9, static_cast<std::uint8_t>(blockSize), 0x01, 0, 0, static_cast<std::uint8_t>(index), 0});
        return *this;
    }
    GifBuilder& Image(int width, int height, const Bytes& data, bool interlaced = false, const Bytes& localRgb = {}) {
        bytes.push_back(0x2C);
        Le16(0);
        Le16(0);
        Le16(width);
        Le16(height);
        int packed = (interlaced ? 0x40 : 0) | (localRgb.empty() ? 0 : 0x80 | TableBits(localRgb));
        bytes.push_back(static_cast<std::uint8_t>(packed));
        Append(localRgb);
        Append(data);
        return *this;
    }
    GifBuilder& Append(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    Bytes Trailer() {
        bytes.push_back(0x3B);
        return bytes;
    }

private:
    void Le16(int v) { Append({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
    static int TableBits(const Bytes& rgb) {
        int k = 0;
        while ((2u << k) * 3 < rgb.size()) {
            ++k;
        }
        return k;
    }
};

// A picture of `bitCount` bits per pixel (1, 2, 4 or 8) whose indices, top
// row first, are `topDown`; with a palette of red, green, blue triples
// unless `rgb` is empty.
inline std::unique_ptr<image::CImageImpl> MakePicture(int width, int height, const Bytes& topDown, int bitCount = 8,
                                                      const Bytes& rgb = {}) {
    auto picture = std::make_unique<image::CImageImpl>();
    EXPECT_GT(picture->Create(width, height, bitCount, -1), 0);
    if (!rgb.empty()) {
        picture->SetPaletteTriples(static_cast<int>(rgb.size() / 3), rgb.data());
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture->SetPixelIndex(x, height - 1 - y, topDown[static_cast<std::size_t>(y * width + x)]);
        }
    }
    return picture;
}

// The picture's indices, top row first.
inline Bytes TopDownIndices(const image::CImageImpl& picture) {
    Bytes out;
    for (int y = picture.imageHeight - 1; y >= 0; --y) {
        for (int x = 0; x < picture.imageWidth; ++x) {
            out.push_back(static_cast<std::uint8_t>(picture.GetPixelIndex(x, y)));
        }
    }
    return out;
}

// The file the writer makes of the picture.
inline Bytes Encode(const image::CImageImpl& picture) {
    auto file = image::WriteGifStream(picture);
    EXPECT_TRUE(file) << (file ? "" : file.error().message);
    return file ? *file : Bytes{};
}

// The image data (minimum code size to terminator) the writer makes for
// 8-bit top-down pixels: what follows its 13-byte header, 768-byte table
// and 10-byte image descriptor.
inline Bytes DataFor(int width, int height, const Bytes& topDown) {
    Bytes file = Encode(*MakePicture(width, height, topDown));
    return {file.begin() + 791, file.end() - 1};
}

// Colours from red, green, blue triples.
inline std::vector<image::Color> Colors(const Bytes& rgb) {
    std::vector<image::Color> colors;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        colors.push_back({rgb[i], rgb[i + 1], rgb[i + 2]});
    }
    return colors;
}

// Top-down pixels: noise with `colors` values, or flat areas with a few
// lines and specks when `flat` is set.
inline Bytes MakePixels(int w, int h, int colors, bool flat, std::uint32_t seed) {
    testing_support::Lcg random(seed);
    const auto n = static_cast<std::uint32_t>(colors);
    Bytes p(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = flat ? static_cast<std::uint32_t>((x / 37 + y / 23) % colors) : random.Next() % n;
            if (flat && (x % 101 == y % 101 || random.Next() % 97 == 0)) {
                v = random.Next() % n;
            }
            p[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(v);
        }
    }
    return p;
}

inline Bytes RgbTable(int count, std::uint32_t seed) {
    testing_support::Lcg random(seed);
    Bytes rgb(static_cast<std::size_t>(3 * count));
    for (auto& c : rgb) {
        c = static_cast<std::uint8_t>(random.Next());
    }
    return rgb;
}

}  // namespace gif_test

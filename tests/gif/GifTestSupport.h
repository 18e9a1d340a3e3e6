#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <utility>
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
    // The screen's background index.
    GifBuilder& Background(int index) {
        bytes[11] = static_cast<std::uint8_t>(index);
        return *this;
    }
    // A graphic control extension naming a transparent index, its block
    // blockSize bytes long (4 as written, longer ones padded with zeros).
    GifBuilder& Transparency(int index, int blockSize = 4) {
        Bytes block{0x01, 0, 0, static_cast<std::uint8_t>(index)};
        block.resize(static_cast<std::size_t>(blockSize), 0);
        Append({0x21, 0xF9, static_cast<std::uint8_t>(blockSize)});
        Append(block);
        bytes.push_back(0);
        return *this;
    }
    // Where the next image lies on the screen.
    GifBuilder& Place(int left, int top) {
        nextLeft = left;
        nextTop = top;
        return *this;
    }
    GifBuilder& Image(int width, int height, const Bytes& data, bool interlaced = false, const Bytes& localRgb = {}) {
        bytes.push_back(0x2C);
        Le16(nextLeft);
        Le16(nextTop);
        Le16(width);
        Le16(height);
        int packed = (interlaced ? 0x40 : 0) | (localRgb.empty() ? 0 : 0x80 | TableBits(localRgb));
        bytes.push_back(static_cast<std::uint8_t>(packed));
        Append(localRgb);
        Append(data);
        nextLeft = nextTop = 0;
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
    int nextLeft = 0;
    int nextTop = 0;
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

// Packs codes of given widths least significant bit first, as GIF does.
class CodePacker {
public:
    CodePacker& Put(int code, int width) {
        for (int i = 0; i < width; ++i, ++bit) {
            if (bit % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() = static_cast<std::uint8_t>(bytes.back() | (((code >> i) & 1) << (bit % 8)));
        }
        return *this;
    }
    CodePacker& Put(std::initializer_list<int> codes, int width) {
        for (int code : codes) {
            Put(code, width);
        }
        return *this;
    }
    Bytes bytes;

private:
    int bit = 0;
};

// Writes codes with the widths a decoder expects: after a clear code (and at
// the start) the first code makes no entry, every later one makes one until
// 4096 are in use, and the width grows once the next entry would not fit.
class StreamBuilder {
public:
    explicit StreamBuilder(int minimumCodeSize) : minimum(minimumCodeSize) { Reset(); }
    void Clear() {
        packer.Put(1 << minimum, width);
        Reset();
    }
    void Code(int code) {
        packer.Put(code, width);
        if (!afterClear && nextFree < 4096) {
            ++nextFree;
        }
        afterClear = false;
        if (nextFree == 1 << width && width < 12) {
            ++width;
        }
    }
    void End() { packer.Put((1 << minimum) + 1, width); }
    int NextFree() const { return nextFree; }
    const Bytes& Stream() const { return packer.bytes; }

private:
    void Reset() {
        width = minimum + 1;
        nextFree = (1 << minimum) + 2;
        afterClear = true;
    }
    CodePacker packer;
    int minimum;
    int width = 0;
    int nextFree = 0;
    bool afterClear = true;
};

// A plain LZW code stream of the pixels for any minimum code size: with or
// without a leading clear code, a clear code every `clearEvery` codes (never
// when 0), else a table that stays full once 4096 codes are in use.
inline Bytes LzwStream(const Bytes& pixels, int minimumCodeSize, bool leadingClear, int clearEvery) {
    StreamBuilder stream(minimumCodeSize);
    if (leadingClear) {
        stream.Clear();
    }
    const int firstFree = (1 << minimumCodeSize) + 2;
    std::map<std::pair<int, int>, int> table;
    int nextFree = firstFree;
    int string = -1;
    int codes = 0;
    for (std::uint8_t pixel : pixels) {
        if (string < 0) {
            string = pixel;
            continue;
        }
        if (auto longer = table.find({string, pixel}); longer != table.end()) {
            string = longer->second;
            continue;
        }
        stream.Code(string);
        if (nextFree < 4096) {
            table[{string, pixel}] = nextFree++;
        }
        string = pixel;
        if (clearEvery > 0 && ++codes % clearEvery == 0) {
            stream.Clear();
            table.clear();
            nextFree = firstFree;
        }
    }
    if (string >= 0) {
        stream.Code(string);
    }
    stream.End();
    return stream.Stream();
}

// Image data: the minimum code size, the stream in sub-blocks of up to 255
// bytes, the terminator.
inline Bytes ImageData(int minimumCodeSize, const Bytes& stream) {
    Bytes data{static_cast<std::uint8_t>(minimumCodeSize)};
    for (std::size_t at = 0; at < stream.size(); at += 255) {
        std::size_t n = std::min<std::size_t>(255, stream.size() - at);
        data.push_back(static_cast<std::uint8_t>(n));
        data.insert(data.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
                    stream.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    data.push_back(0);
    return data;
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

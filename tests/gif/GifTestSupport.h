#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/GifCodec.h"

namespace gif_test {

// Packs codes of given widths least significant bit first, as GIF does.
class CodePacker {
public:
    void Put(int code, int width) {
        for (int i = 0; i < width; ++i) {
            if (bit % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() = static_cast<std::uint8_t>(bytes.back() | (((code >> i) & 1) << (bit % 8)));
            ++bit;
        }
    }
    std::vector<std::uint8_t> bytes;

private:
    int bit = 0;
};

// Writes codes with the widths a decoder expects: after a clear code the first
// code makes no entry, every later one makes one until 4096 are in use, and
// the width grows when the next entry would not fit.
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
    const std::vector<std::uint8_t>& Bytes() const { return packer.bytes; }

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

// The minimum code size byte, the data in sub-blocks and the terminator.
inline std::vector<std::uint8_t> ImageData(int minimumCodeSize, const std::vector<std::uint8_t>& codes,
                                           std::size_t blockSize = 255) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(minimumCodeSize)};
    for (std::size_t at = 0; at < codes.size(); at += blockSize) {
        std::size_t n = std::min(blockSize, codes.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                   codes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.push_back(0);
    return out;
}

// Builds GIF files piece by piece.
struct GifBuilder {
    std::vector<std::uint8_t> bytes;

    // Header and screen descriptor, with a global table of `colors` entries
    // (a power of two from 2 to 256; 0 for none).
    GifBuilder(int width, int height, const std::vector<std::uint8_t>& globalRgb = {}) {
        Append({'G', 'I', 'F', '8', '9', 'a'});
        Le16(width);
        Le16(height);
        bytes.push_back(globalRgb.empty() ? 0 : static_cast<std::uint8_t>(0x80 | TableBits(globalRgb)));
        Append({0, 0});
        Append(globalRgb);
    }
    GifBuilder& Transparency(int index, int blockSize = 4) {
        Append({0x21, 0xF9, static_cast<std::uint8_t>(blockSize), 0x01, 0, 0, static_cast<std::uint8_t>(index), 0});
        return *this;
    }
    GifBuilder& Image(int width, int height, const std::vector<std::uint8_t>& data, bool interlaced = false,
                      const std::vector<std::uint8_t>& localRgb = {}) {
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
    GifBuilder& Append(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    std::vector<std::uint8_t> Trailer() {
        bytes.push_back(0x3B);
        return bytes;
    }

private:
    void Le16(int v) { Append({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
    static int TableBits(const std::vector<std::uint8_t>& rgb) {
        int k = 0;
        while ((2u << k) * 3 < rgb.size()) {
            ++k;
        }
        return k;
    }
};

// A picture in memory that the reader fills; rows are addressed from the top.
class MemoryPicture : public image::GifPictureTarget {
public:
    bool CreatePicture(int w, int h) override {
        ++created;
        width = w;
        height = h;
        rowBytes = (8 * w + 31) / 32 * 4;
        bits.assign(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(h), 0);
        palette.reset();
        return true;
    }
    std::uint8_t* PictureBits() override { return bits.data(); }
    std::ptrdiff_t PictureRowBytes() override { return rowBytes; }
    void SetPalette(const image::GifPalette& p) override { palette = p; }

    int At(int x, int yFromTop) const {
        return bits[static_cast<std::size_t>((height - 1 - yFromTop) * rowBytes + x)];
    }
    // All pixels, top row first.
    std::vector<std::uint8_t> Pixels() const {
        std::vector<std::uint8_t> out;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                out.push_back(static_cast<std::uint8_t>(At(x, y)));
            }
        }
        return out;
    }

    int created = 0;
    int width = 0;
    int height = 0;
    int rowBytes = 0;
    std::vector<std::uint8_t> bits;
    std::optional<image::GifPalette> palette;
};

// A bottom-up 8-bit picture to write, filled from top-down pixels.
struct SourcePicture {
    SourcePicture(int w, int h, const std::vector<std::uint8_t>& topDown, int bitCount = 8)
        : rowBytes((bitCount * w + 31) / 32 * 4), bits(static_cast<std::size_t>(rowBytes * h), 0) {
        view.width = w;
        view.height = h;
        view.bitCount = bitCount;
        view.rowBytes = rowBytes;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int v = topDown[static_cast<std::size_t>(y * w + x)];
                std::size_t bit = static_cast<std::size_t>((h - 1 - y) * rowBytes * 8 + x * bitCount);
                for (int b = 0; b < bitCount; ++b) {
                    std::size_t at = bit + static_cast<std::size_t>(b);
                    if ((v >> (bitCount - 1 - b)) & 1) {
                        bits[at / 8] = static_cast<std::uint8_t>(bits[at / 8] | (0x80 >> (at % 8)));
                    }
                }
            }
        }
        view.pixels = bits.data();
    }
    void SetPalette(std::vector<platform::PaletteEntry> entries) {
        palette = std::move(entries);
        view.palette = palette.data();
        view.paletteCount = palette.size();
    }
    std::vector<std::uint8_t> Encode() const {
        image::GifByteSink sink;
        image::WriteGifStream(sink, view);
        return sink.Bytes();
    }

    int rowBytes;
    std::vector<std::uint8_t> bits;
    std::vector<platform::PaletteEntry> palette;
    image::GifPictureView view;
};

// Deterministic pseudo-random numbers for test pictures.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }

private:
    std::uint32_t state;
};

// Top-down pixels: noise with `colors` values, or flat areas with a few
// lines and specks when `flat` is set.
inline std::vector<std::uint8_t> MakePixels(int w, int h, int colors, bool flat, std::uint32_t seed) {
    Lcg random(seed);
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = flat ? static_cast<std::uint32_t>((x / 37 + y / 23) % colors) : random.Next() % static_cast<std::uint32_t>(colors);
            if (flat && (x % 101 == y % 101 || random.Next() % 97 == 0)) {
                v = random.Next() % static_cast<std::uint32_t>(colors);
            }
            p[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint8_t>(v);
        }
    }
    return p;
}

inline std::vector<std::uint8_t> RgbTable(int count, std::uint32_t seed) {
    Lcg random(seed);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(3 * count));
    for (auto& c : rgb) {
        c = static_cast<std::uint8_t>(random.Next());
    }
    return rgb;
}

}  // namespace gif_test

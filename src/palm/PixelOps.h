#pragma once

#include <cstddef>
#include <cstdint>

namespace palm {

// Pixel access in packed rows, leftmost pixel in the most significant bits.
// Windows bitmap rows are padded to 32 bits, Palm bitmap rows to 16 bits; each
// operation takes the picture width first and addresses pixel (x, y) from the
// start of the buffer. The conversion itself works a row at a time with lookup
// tables; these are the per-pixel definitions it must agree with.

// Bytes in one row of `width` pixels of `bits` each, padded to a multiple of `alignment` bits.
constexpr std::size_t AlignedRowBytes(std::size_t width, unsigned bits, unsigned alignment) {
    return (width * bits + alignment - 1) / alignment * alignment / 8;
}

inline unsigned ReadPixel1(std::size_t width, const std::uint8_t* bits, std::size_t x, std::size_t y) {
    return (bits[y * AlignedRowBytes(width, 1, 32) + x / 8] >> (7 - x % 8)) & 1u;
}

inline unsigned ReadPixel4(std::size_t width, const std::uint8_t* bits, std::size_t x, std::size_t y) {
    std::uint8_t byte = bits[y * AlignedRowBytes(width, 4, 32) + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0Fu;
}

inline unsigned ReadPixel8(std::size_t width, const std::uint8_t* bits, std::size_t x, std::size_t y) {
    return bits[y * AlignedRowBytes(width, 8, 32) + x];
}

// The writers OR into a zero-filled row, the shifted value cut to 8 bits.
inline void WritePixel1(std::size_t width, std::uint8_t* bits, std::size_t x, std::size_t y) {
    bits[y * AlignedRowBytes(width, 1, 16) + x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
}

inline void WritePixel2(std::size_t width, std::uint8_t* bits, std::size_t x, std::size_t y, unsigned value) {
    bits[y * AlignedRowBytes(width, 2, 16) + x / 4] |= static_cast<std::uint8_t>(value << (2 * (3 - x % 4)));
}

inline void WritePixel4(std::size_t width, std::uint8_t* bits, std::size_t x, std::size_t y, unsigned value) {
    bits[y * AlignedRowBytes(width, 4, 16) + x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? value << 4 : value);
}

inline void WritePixel8(std::size_t width, std::uint8_t* bits, std::size_t x, std::size_t y, unsigned value) {
    bits[y * AlignedRowBytes(width, 8, 16) + x] = static_cast<std::uint8_t>(value);
}

// Luminance of a colour, 0 to 255: (77 red + 151 green + 28 blue) / 256, which
// single precision holds exactly.
inline float Luminance(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<float>(77 * red + 151 * green + 28 * blue) / 256.0f;
}

// Palm grey levels are inverted: 0 is white and the depth's highest value black.
// Each bound below is inclusive.
inline unsigned GreyLevel1(float luminance) {
    return luminance <= 128.0f ? 1u : 0u;
}

inline unsigned GreyLevel2(float luminance) {
    if (luminance <= 64.0f) {
        return 3;
    }
    if (luminance <= 128.0f) {
        return 2;
    }
    return luminance <= 192.0f ? 1u : 0u;
}

// 15 up to luminance 16, 14 up to 32, … 1 up to 240, 0 above.
inline unsigned GreyLevel4(float luminance) {
    for (unsigned level = 15; level >= 1; --level) {
        if (luminance <= static_cast<float>(16 * (16 - level))) {
            return level;
        }
    }
    return 0;
}

}  // namespace palm

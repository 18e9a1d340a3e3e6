#pragma once

// Builds .bmp file bytes field by field, for tests that need files no tool
// writes (bare DIBs, odd header sizes, hand-made run-length data).
#include <cstdint>
#include <vector>

#include "platform/ByteOrder.h"

namespace image_test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

struct InfoFields {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
};

// An info header of `fields.size` bytes (40, 52, 56, 108 or 124); the bytes past
// the first 40 are zero.
inline Bytes InfoHeader(const InfoFields& fields) {
    Bytes out;
    Put32(out, fields.size);
    Put32(out, static_cast<std::uint32_t>(fields.width));
    Put32(out, static_cast<std::uint32_t>(fields.height));
    Put16(out, 1);
    Put16(out, fields.bitCount);
    Put32(out, fields.compression);
    Put32(out, fields.sizeImage);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, fields.clrUsed);
    Put32(out, 0);
    out.resize(fields.size, 0);
    return out;
}

// The 14-byte file header in front of `rest`, with pixels at `offBits`.
inline Bytes WithFileHeader(const Bytes& rest, std::uint32_t offBits) {
    Bytes out = {'B', 'M'};
    Put32(out, static_cast<std::uint32_t>(14 + rest.size()));
    Put32(out, 0);
    Put32(out, offBits);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// A grey table of n entries (blue, green, red, 0), entry i = i * step.
inline Bytes GreyTable(std::uint32_t n, std::uint32_t step) {
    Bytes out(std::size_t{4} * n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        auto v = static_cast<std::uint8_t>(i * step);
        out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = v;
    }
    return out;
}

}  // namespace image_test

// Run-length decoding of 4- and 8-bit .bmp pixels. The data is a sequence of
// two-byte codes: (count > 0, value) repeats value count times (for 4 bits the
// value's two nibbles alternate); (0, 0) ends a row, (0, 1) ends the picture,
// (0, 2, dx, dy) moves the position, and (0, n ≥ 3) is followed by n literal
// pixels padded to an even number of bytes. Rows run bottom row first.
#include "BmpRle.h"

namespace image {

namespace {

constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfPicture = 1;
constexpr std::uint8_t kDelta = 2;

class RleTarget {
public:
    RleTarget(int bitsPerPixel, std::uint32_t width, std::uint32_t height, std::size_t rowBytes, std::uint8_t* pixels)
        : bits(bitsPerPixel), width(width), height(height), rowBytes(rowBytes), pixels(pixels) {}

    // Puts one pixel at the current position and moves right; pixels past the
    // right edge are dropped.
    void Put(std::uint8_t value) {
        if (pixels != nullptr && x < width && y < height) {
            std::uint8_t* row = pixels + static_cast<std::size_t>(y) * rowBytes;
            if (bits == 8) {
                row[x] = value;
            } else {
                std::uint8_t& byte = row[x / 2];
                byte = (x % 2 == 0) ? static_cast<std::uint8_t>((byte & 0x0F) | (value << 4))
                                    : static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F));
            }
        }
        ++x;
    }
    void NextLine() {
        x = 0;
        ++y;
    }
    void Move(std::uint32_t dx, std::uint32_t dy) {
        x += dx;
        y += dy;
    }
    bool Finished() const { return y >= height; }

private:
    int bits;
    std::uint32_t width;
    std::uint32_t height;
    std::size_t rowBytes;
    std::uint8_t* pixels;
    // 64-bit positions: runs that only move right can never wrap around.
    std::uint64_t x = 0;
    std::uint64_t y = 0;
};

}  // namespace

bool DecodeBmpRle(std::span<const std::uint8_t> data, int bitsPerPixel, std::uint32_t width, std::uint32_t height,
                  std::size_t rowBytes, std::uint8_t* pixels) {
    if (bitsPerPixel != 4 && bitsPerPixel != 8) {
        return false;
    }
    RleTarget target(bitsPerPixel, width, height, rowBytes, pixels);
    std::size_t pos = 0;
    while (!target.Finished()) {
        if (data.size() - pos < 2) {
            return false;  // the data ended before the picture
        }
        std::uint8_t count = data[pos];
        std::uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                int pixel = bitsPerPixel == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F);
                target.Put(static_cast<std::uint8_t>(pixel));
            }
            continue;
        }
        if (value == kEndOfLine) {
            target.NextLine();
        } else if (value == kEndOfPicture) {
            return true;
        } else if (value == kDelta) {
            if (data.size() - pos < 2) {
                return false;
            }
            target.Move(data[pos], data[pos + 1]);
            pos += 2;
        } else {
            // A literal run of `value` pixels, padded to a 16-bit boundary.
            std::size_t bytes = bitsPerPixel == 8 ? value : (value + 1u) / 2;
            std::size_t padded = bytes + (bytes % 2);
            if (data.size() - pos < padded) {
                return false;
            }
            for (unsigned i = 0; i < value; ++i) {
                if (bitsPerPixel == 8) {
                    target.Put(data[pos + i]);
                } else {
                    std::uint8_t byte = data[pos + i / 2];
                    target.Put(static_cast<std::uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F));
                }
            }
            pos += padded;
        }
    }
    return true;
}

}  // namespace image

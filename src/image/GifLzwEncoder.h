#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace image {

// The rows of a bottom-up picture of 1 to 8 bits per pixel in GIF order: top
// row first, each as Width() 8-bit palette indices. Pixels of fewer than 8
// bits are taken from their bits, most significant first.
class GifPixelSource {
public:
    GifPixelSource(const std::uint8_t* pixels, std::ptrdiff_t rowBytes, int width, int height, int bitCount);

    int Width() const { return width; }
    // The next row; nullptr once every row has been read.
    const std::uint8_t* NextRow();

private:
    int IndexAt(const std::uint8_t* rowStart, int x) const;

    const std::uint8_t* pixels;
    std::ptrdiff_t rowBytes;
    int width;
    int bitCount;
    int row;  // in the picture's bottom-up order; -1 once every row has been read
    std::vector<std::uint8_t> line;
};

// The hashed LZW encoder of the GIF writer: minimum code size 8, codes of 9
// to 12 bits, a table reset when 4096 codes are in use, the code stream cut
// into data sub-blocks of 254 bytes. All its tables belong to the object.
class GifLzwEncoder {
public:
    static constexpr int kMinimumCodeSize = 8;
    static constexpr int kInitialWidth = kMinimumCodeSize + 1;
    static constexpr int kMaxWidth = 12;
    static constexpr int kMaxCodes = 1 << kMaxWidth;
    static constexpr int kClearCode = 1 << kMinimumCodeSize;
    static constexpr int kEndCode = kClearCode + 1;
    static constexpr int kFirstFree = kClearCode + 2;
    static constexpr int kHashSize = 5003;  // a prime comfortably above 4096
    static constexpr int kHashShift = 4;
    static constexpr int kPacketSize = 254;

    // Appends the data sub-blocks to `out`.
    explicit GifLzwEncoder(std::vector<std::uint8_t>& out) : out(out) {}

    // Writes the data sub-blocks of every pixel of the source (not the
    // minimum code size before them, nor the terminator after them).
    void Compress(GifPixelSource& pixels);

    // Appends one code of the current width to the bit stream, then widens
    // the codes when the table has outgrown them or narrows them after a
    // reset; the end code also writes out every bit and byte still held.
    void OutputCode(int code);
    // Empties the string table and sends a clear code.
    void ResetTable();
    void PutPacketByte(std::uint8_t byte) {
        packet[static_cast<std::size_t>(packetCount++)] = byte;
        if (packetCount == kPacketSize) {
            FlushPacket();
        }
    }
    // Writes the bytes collected so far as one sub-block (length byte first).
    void FlushPacket();

private:
    void StartStream();
    void ClearHash() { hashKeys.fill(-1); }

    std::vector<std::uint8_t>& out;

    // The string table as an open-addressed hash: key (pixel << 12) + prefix
    // code, and the code given to that string; -1 marks an empty slot.
    std::array<std::int32_t, kHashSize> hashKeys{};
    std::array<std::uint16_t, kHashSize> hashCodes{};

    int codeWidth = kInitialWidth;
    int largestCode = (1 << kInitialWidth) - 1;
    int nextFree = kFirstFree;
    bool clearPending = false;
    std::uint32_t accumulator = 0;
    int bitCount = 0;
    std::array<std::uint8_t, 256> packet{};
    int packetCount = 0;
};

}  // namespace image

#include "GifLzwEncoder.h"

#include <algorithm>

namespace image {

GifPixelSource::GifPixelSource(const std::uint8_t* pixels, std::ptrdiff_t rowBytes, int width, int height,
                               int bitCount)
    : pixels(pixels), rowBytes(rowBytes), width(width), bitCount(bitCount), row(height - 1) {
    const bool usable = pixels != nullptr && width > 0 && height > 0 && bitCount >= 1 && bitCount <= 8;
    if (!usable) {
        row = -1;
    } else if (bitCount < 8) {
        line.resize(static_cast<std::size_t>(width));
    }
}

int GifPixelSource::IndexAt(const std::uint8_t* rowStart, int x) const {
    if (bitCount == 8) {
        return rowStart[x];
    }
    // Pixels are packed most significant bit first and may straddle two
    // bytes when the depth does not divide 8; the row's padding guarantees
    // that a straddled second byte exists.
    std::int64_t bit = std::int64_t{x} * bitCount;
    auto byte = static_cast<std::size_t>(bit / 8);
    int offset = static_cast<int>(bit % 8);
    unsigned window = static_cast<unsigned>(rowStart[byte]) << 8;
    if (offset + bitCount > 8) {
        window |= rowStart[byte + 1];
    }
    return static_cast<int>((window >> (16 - offset - bitCount)) & ((1u << bitCount) - 1));
}

const std::uint8_t* GifPixelSource::NextRow() {
    if (row < 0) {
        return nullptr;
    }
    const std::uint8_t* rowStart = pixels + static_cast<std::ptrdiff_t>(row--) * rowBytes;
    if (bitCount == 8) {
        return rowStart;
    }
    for (int x = 0; x < width; ++x) {
        line[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(IndexAt(rowStart, x));
    }
    return line.data();
}

void GifLzwEncoder::FlushPacket() {
    if (packetCount > 0) {
        out.push_back(static_cast<std::uint8_t>(packetCount));
        out.insert(out.end(), packet.begin(), packet.begin() + packetCount);
        packetCount = 0;
    }
}

void GifLzwEncoder::OutputCode(int code) {
    // The accumulator never holds bits above bitCount: whole bytes leave it by
    // shifting right.
    accumulator |= static_cast<std::uint32_t>(code) << bitCount;
    bitCount += codeWidth;
    while (bitCount >= 8) {
        PutPacketByte(static_cast<std::uint8_t>(accumulator));
        accumulator >>= 8;
        bitCount -= 8;
    }
    // The decoder widens its codes as soon as the table outgrows them, which
    // is one code after the encoder made the entry: so widen after writing.
    if (nextFree > largestCode || clearPending) {
        if (clearPending) {
            codeWidth = kInitialWidth;
            largestCode = (1 << codeWidth) - 1;
            clearPending = false;
        } else {
            ++codeWidth;
            largestCode = codeWidth == kMaxWidth ? kMaxCodes : (1 << codeWidth) - 1;
        }
    }
    if (code == kEndCode) {
        while (bitCount > 0) {
            PutPacketByte(static_cast<std::uint8_t>(accumulator));
            accumulator >>= 8;
            bitCount -= 8;
        }
        bitCount = 0;
        FlushPacket();
    }
}

void GifLzwEncoder::ResetTable() {
    ClearHash();
    nextFree = kFirstFree;
    clearPending = true;
    OutputCode(kClearCode);
}

void GifLzwEncoder::StartStream() {
    codeWidth = kInitialWidth;
    largestCode = (1 << codeWidth) - 1;
    nextFree = kFirstFree;
    clearPending = false;
    accumulator = 0;
    bitCount = 0;
    packetCount = 0;
    ClearHash();
    OutputCode(kClearCode);
}

void GifLzwEncoder::Compress(GifPixelSource& pixels) {
    StartStream();
    const int count = pixels.Width();
    const std::uint8_t* line = pixels.NextRow();
    if (line == nullptr) {
        OutputCode(kEndCode);
        return;
    }
    int prefix = line[0];
    int start = 1;
    std::int32_t* keys = hashKeys.data();
    std::uint16_t* codes = hashCodes.data();
    for (; line != nullptr; line = pixels.NextRow(), start = 0) {
        for (int i = start; i < count; ++i) {
            int pixel = line[i];
            std::int32_t key = (pixel << kMaxWidth) + prefix;
            int slot = (pixel << kHashShift) ^ prefix;
            if (keys[slot] == key) {
                prefix = codes[slot];
                continue;
            }
            if (keys[slot] >= 0) {
                // Occupied by another string: probe backwards by a step that
                // depends on the slot, until the string or a free slot turns up.
                int step = slot == 0 ? 1 : kHashSize - slot;
                bool found = false;
                do {
                    slot -= step;
                    if (slot < 0) {
                        slot += kHashSize;
                    }
                    if (keys[slot] == key) {
                        found = true;
                        break;
                    }
                } while (keys[slot] > 0);
                if (found) {
                    prefix = codes[slot];
                    continue;
                }
            }
            OutputCode(prefix);
            prefix = pixel;
            if (nextFree < kMaxCodes) {
                codes[slot] = static_cast<std::uint16_t>(nextFree++);
                keys[slot] = key;
            } else {
                ResetTable();
            }
        }
    }
    OutputCode(prefix);
    OutputCode(kEndCode);
}

}  // namespace image

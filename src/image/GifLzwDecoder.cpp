#include "GifLzwDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/ByteOrder.h"

namespace image {

namespace {

// Interlaced images send their rows in four passes.
constexpr int kPassCount = 4;
constexpr std::array<int, kPassCount> kPassStart{0, 4, 2, 1};
constexpr std::array<int, kPassCount> kPassStep{8, 8, 4, 2};

Error DataEnded() {
    return Error{"damaged GIF: the image data end before their end code"};
}

}  // namespace

GifRowCursor::GifRowCursor(std::uint8_t* pixels, std::ptrdiff_t rowBytes, int width, int height, bool interlaced)
    : pixels(pixels), rowBytes(rowBytes), width(width), height(height), interlaced(interlaced) {
    if (pixels != nullptr && width > 0 && height > 0) {
        current = RowAddress(0);
    }
}

std::uint8_t* GifRowCursor::NextRow() {
    if (current == nullptr) {
        return nullptr;
    }
    if (!interlaced) {
        ++pictureRow;
    } else {
        pictureRow += kPassStep[static_cast<std::size_t>(pass)];
        while (pictureRow >= height) {
            if (++pass == kPassCount) {
                current = nullptr;
                return nullptr;
            }
            pictureRow = kPassStart[static_cast<std::size_t>(pass)];
        }
    }
    current = pictureRow < height ? RowAddress(pictureRow) : nullptr;
    return current;
}

int GifRowCursor::PutGifRow(const std::uint8_t* line, int count) {
    if (current == nullptr) {
        return -1;
    }
    int n = (count < 0 || count > width) ? width : count;
    std::memcpy(current, line, static_cast<std::size_t>(n));
    NextRow();
    return 0;
}

void LzwDecoder::StartCodes(std::span<const std::uint8_t> stream, int size) {
    next = stream.data();
    end = stream.data() + stream.size();
    bitBuffer = 0;
    bitCount = 0;
    codeSize = size;
}

void LzwDecoder::Refill() {
    if (end - next >= 8) {
        // Load eight bytes at once. The bits above bitCount that this leaves
        // in the buffer are those of the bytes still ahead, at the places
        // they will take, so the next load ORs the same bits over them.
        bitBuffer |= platform::ReadLE64(next) << bitCount;
        next += (63 - bitCount) >> 3;
        bitCount |= 56;
        return;
    }
    while (bitCount <= 56 && next < end) {
        bitBuffer |= std::uint64_t{*next++} << bitCount;
        bitCount += 8;
    }
}

Result<void> LzwDecoder::DecodeImageData(platform::ByteReader& source, GifRowCursor& rows, int& badCodes) {
    badCodes = 0;
    std::uint8_t minimumCodeSize = 0;
    if (!source(minimumCodeSize)) {
        return DataEnded();
    }
    // Join the data sub-blocks (a length byte 1–255 and that many bytes each)
    // into one code stream. A zero length ends the image data; so does the
    // end of the file.
    try {
        codeStream.clear();
        codeStream.reserve(source.Remaining());
        std::uint8_t blockLength = 0;
        while (source(blockLength) && blockLength != 0) {
            auto block = source.Take(std::min<std::size_t>(blockLength, source.Remaining()));
            codeStream.insert(codeStream.end(), block.begin(), block.end());
        }
    } catch (const std::bad_alloc&) {
        return Error{"there is not enough memory to read the GIF picture"};
    }
    return DecodeCodes(minimumCodeSize, codeStream, rows, badCodes);
}

Result<void> LzwDecoder::DecodeCodes(int minimumCodeSize, std::span<const std::uint8_t> stream, GifRowCursor& rows,
                                     int& badCodes) {
    badCodes = 0;
    if (minimumCodeSize < 2 || minimumCodeSize > 9) {
        return Error{"damaged GIF: the minimum code size " + std::to_string(minimumCodeSize) + " is not 2 to 9"};
    }
    const int clearCode = 1 << minimumCodeSize;
    const int endCode = clearCode + 1;
    firstFree = clearCode + 2;
    // Roots stand for themselves. Entries not yet made read as "0 followed by
    // 0", which is what a stream that starts without a clear code, or that
    // names an entry it has not made, gets.
    for (int c = 0; c < kTableSize; ++c) {
        auto i = static_cast<std::size_t>(c);
        prefix[i] = 0;
        suffix[i] = c < firstFree ? static_cast<std::uint8_t>(c) : 0;
        length[i] = c < firstFree ? 1 : 2;
    }
    StartCodes(stream, minimumCodeSize + 1);
    int codeLimit = 1 << codeSize;
    int nextFree = firstFree;
    int previous = 0;
    std::uint8_t firstByte = 0;
    // While no code above the next free code has been met since the last
    // clear, every entry in use was made in this round from entries made
    // before it, so length[] is exact and strings can be written in place.
    bool clean = true;

    const int width = rows.Width();
    std::uint8_t* row = rows.CurrentRow();
    int column = 0;

    for (;;) {
        int code = ReadCode();
        if (code < 0) {
            return DataEnded();
        }
        if (code == endCode) {
            return {};
        }
        if (code == clearCode) {
            codeSize = minimumCodeSize + 1;
            codeLimit = 1 << codeSize;
            nextFree = firstFree;
            clean = true;
            do {
                code = ReadCode();
            } while (code == clearCode);
            if (code < 0) {
                return DataEnded();
            }
            if (code == endCode) {
                return {};
            }
            if (code >= nextFree) {
                code = 0;
            }
            if (row == nullptr) {
                return {};  // every row is stored: the rest is dropped
            }
            row[column] = static_cast<std::uint8_t>(code);
            if (++column == width) {
                row = rows.NextRow();
                column = 0;
            }
            previous = code;
            firstByte = static_cast<std::uint8_t>(code);
            continue;
        }

        // A code not yet in the table stands for the previous string plus its
        // own first byte; one beyond that is damage, decoded the same way.
        int stringCode = code;
        bool plusFirstByte = false;
        if (code >= nextFree) {
            if (code > nextFree) {
                ++badCodes;
                clean = false;
            }
            stringCode = previous;
            plusFirstByte = true;
        }
        if (row == nullptr) {
            return {};
        }
        int root = 0;
        int chainLength = length[static_cast<std::size_t>(stringCode)];
        int stringLength = chainLength + (plusFirstByte ? 1 : 0);
        if (clean && stringLength <= width - column) {
            // The whole string fits in this row: write it last byte first.
            std::uint8_t* out = row + column + stringLength - 1;
            if (plusFirstByte) {
                *out-- = firstByte;
            }
            int c = stringCode;
            for (int k = chainLength - 1; k > 0; --k) {
                *out-- = suffix[static_cast<std::size_t>(c)];
                c = prefix[static_cast<std::size_t>(c)];
            }
            *out = static_cast<std::uint8_t>(c);
            root = c;
            column += stringLength;
            if (column == width) {
                row = rows.NextRow();
                column = 0;
            }
        } else {
            switch (EmitString(stringCode, plusFirstByte, firstByte, row, column, rows, root)) {
            case Emitted::kDone:
                break;
            case Emitted::kPictureFull:
                return {};
            case Emitted::kLoopedString:
                return Error{"damaged GIF: a code stands for a string longer than the table"};
            }
        }
        if (nextFree < codeLimit) {
            auto slot = static_cast<std::size_t>(nextFree);
            firstByte = static_cast<std::uint8_t>(root);
            suffix[slot] = firstByte;
            prefix[slot] = static_cast<std::uint16_t>(previous);
            length[slot] = static_cast<std::uint16_t>(length[static_cast<std::size_t>(previous)] + 1);
            ++nextFree;
            previous = code;
        }
        if (nextFree >= codeLimit && codeSize < kMaxCodeSize) {
            codeLimit <<= 1;
            ++codeSize;
        }
    }
}

LzwDecoder::Emitted LzwDecoder::EmitString(int code, bool plusFirstByte, std::uint8_t firstByte, std::uint8_t*& row, int& column,
                            GifRowCursor& rows, int& root) {
    // Collect the string last byte first on the stack, then write it out
    // across as many rows as it covers.
    std::size_t depth = 0;
    if (plusFirstByte) {
        stack[depth++] = firstByte;
    }
    int c = code;
    while (c >= firstFree) {
        if (depth == stack.size() - 1) {
            return Emitted::kLoopedString;
        }
        stack[depth++] = suffix[static_cast<std::size_t>(c)];
        c = prefix[static_cast<std::size_t>(c)];
    }
    stack[depth++] = static_cast<std::uint8_t>(c);
    root = c;

    const int width = rows.Width();
    while (depth > 0) {
        if (row == nullptr) {
            return Emitted::kPictureFull;  // the rest is dropped
        }
        std::size_t n = std::min(depth, static_cast<std::size_t>(width - column));
        std::uint8_t* out = row + column;
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = stack[depth - 1 - i];
        }
        depth -= n;
        column += static_cast<int>(n);
        if (column == width) {
            row = rows.NextRow();
            column = 0;
        }
    }
    return Emitted::kDone;
}

}  // namespace image

#include "GifLzwDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/ByteOrder.h"

namespace image {

namespace {

// Interlaced images send their rows in four passes.
constexpr int kPassCount = 4;
constexpr std::array<int, kPassCount> kPassStart{0, 4, 2, 1};
constexpr std::array<int, kPassCount> kPassStep{8, 8, 4, 2};

// A fault in the image data, and how far the picture had come: whole rows,
// in the order the file sends them.
Error Damaged(const std::string& what, const GifRowCursor& rows) {
    const std::string done = std::to_string(rows.RowsDone());
    const std::string height = std::to_string(rows.Height());
    return Error{"damaged GIF: " + what +
                 (rows.Interlaced() ? " after " + done + " of " + height + " interlaced rows"
                                    : " at row " + done + " of " + height)};
}

Error DataEnded(const GifRowCursor& rows) {
    return Damaged("the image data ends", rows);
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
    ++rowsDone;
    if (!interlaced) {
        ++imageRow;
    } else {
        imageRow += kPassStep[static_cast<std::size_t>(pass)];
        while (imageRow >= height) {
            if (++pass == kPassCount) {
                current = nullptr;
                return nullptr;
            }
            imageRow = kPassStart[static_cast<std::size_t>(pass)];
        }
    }
    current = imageRow < height ? RowAddress(imageRow) : nullptr;
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
    if (end - next >= 8 || JoinMore()) {
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

Result<void> LzwDecoder::DecodeImageData(platform::ByteReader& source, GifRowCursor& rows) {
    std::uint8_t minimumCodeSize = 0;
    if (!source(minimumCodeSize)) {
        return DataEnded(rows);
    }
    // The data sub-blocks (a length byte 1–255 and that many bytes each) are
    // joined into one code stream a piece at a time as the codes are read, so
    // that a large picture's data is not held twice. A zero length ends the
    // image data; so does the end of the file.
    try {
        codeStream.clear();
        codeStream.reserve(kJoinedPiece + 255);
    } catch (const std::bad_alloc&) {
        return Error{"there is not enough memory to read the GIF picture"};
    }
    blocks = &source;
    next = end = codeStream.data();
    JoinMore();
    Result<void> decoded = DecodeCodes(minimumCodeSize, codeStream, rows);
    blocks = nullptr;
    return decoded;
}

bool LzwDecoder::JoinMore() {
    if (blocks == nullptr) {
        return false;
    }
    // The bytes not yet read move to the front, and sub-blocks follow them
    // within the room reserved, which is never outgrown.
    codeStream.erase(codeStream.begin(), codeStream.begin() + (next - codeStream.data()));
    std::uint8_t blockLength = 0;
    while (codeStream.size() < kJoinedPiece) {
        if (!(*blocks)(blockLength) || blockLength == 0) {
            blocks = nullptr;
            break;
        }
        auto block = blocks->Take(std::min<std::size_t>(blockLength, blocks->Remaining()));
        codeStream.insert(codeStream.end(), block.begin(), block.end());
    }
    next = codeStream.data();
    end = next + codeStream.size();
    return end - next >= 8;
}

Result<void> LzwDecoder::DecodeCodes(int minimumCodeSize, std::span<const std::uint8_t> stream, GifRowCursor& rows) {
    if (minimumCodeSize < kSmallestMinimumCodeSize || minimumCodeSize > kLargestMinimumCodeSize) {
        return Error{"damaged GIF: the minimum code size " + std::to_string(minimumCodeSize) + " is not " +
                     std::to_string(kSmallestMinimumCodeSize) + " to " + std::to_string(kLargestMinimumCodeSize)};
    }
    const int clearCode = 1 << minimumCodeSize;
    const int endCode = clearCode + 1;
    const int firstFree = clearCode + 2;
    const int rootLimit = std::min(clearCode, kColorLimit);
    // Roots stand for themselves. Other entries are written before they are
    // read: a code not yet in the table is refused.
    for (int c = 0; c < rootLimit; ++c) {
        auto i = static_cast<std::size_t>(c);
        suffix[i] = static_cast<std::uint8_t>(c);
        length[i] = 1;
    }
    std::uint8_t* row = rows.CurrentRow();
    if (row == nullptr) {
        return {};  // no rows to fill
    }
    const int width = rows.Width();
    int column = 0;

    // The stream starts as after a clear code, whether it has one or not: the
    // first code is a root and makes no entry.
    StartCodes(stream, minimumCodeSize + 1);
    int codeLimit = 1 << codeSize;
    int nextFree = firstFree;
    int previous = -1;  // the code before, none after a clear
    std::uint8_t firstByte = 0;  // the first byte of the previous code's string

    for (;;) {
        int code = ReadCode();
        if (code < 0) {
            return DataEnded(rows);
        }
        // One test for the rare codes: clear, end, and roots above 255.
        if (code >= rootLimit && code < firstFree) {
            if (code == clearCode) {
                codeSize = minimumCodeSize + 1;
                codeLimit = 1 << codeSize;
                nextFree = firstFree;
                previous = -1;
                continue;
            }
            if (code == endCode) {
                return DataEnded(rows);  // before the last row
            }
            return Damaged("a pixel of colour " + std::to_string(code) + ", beyond the " +
                               std::to_string(kColorLimit) + " of a colour table,",
                           rows);
        }
        // A code not yet in the table stands for the previous string plus its
        // own first byte; one beyond that, or one with no string before it,
        // names nothing.
        int stringCode = code;
        bool plusFirstByte = false;
        if (code >= nextFree) {
            if (code > nextFree || previous < 0) {
                return Damaged("a code not yet in the table", rows);
            }
            stringCode = previous;
            plusFirstByte = true;
        }
        // Write the string last byte first: in place when it fits in this
        // row, else on the stack. Its length is below kTableSize (entries
        // grow by one byte each), so it always fits there.
        const auto stringLength =
            static_cast<std::size_t>(length[static_cast<std::size_t>(stringCode)]) + (plusFirstByte ? 1 : 0);
        const bool inRow = stringLength <= static_cast<std::size_t>(width - column);
        std::uint8_t* out = inRow ? row + column : stack.data();
        std::size_t at = stringLength;
        if (plusFirstByte) {
            out[--at] = firstByte;
        }
        int c = stringCode;
        while (at > 1) {
            out[--at] = suffix[static_cast<std::size_t>(c)];
            c = prefix[static_cast<std::size_t>(c)];
        }
        const auto root = static_cast<std::uint8_t>(c);
        out[0] = root;
        if (!inRow) {
            EmitStack(stringLength, row, column, rows);
        } else if ((column += static_cast<int>(stringLength)) == width) {
            row = rows.NextRow();
            column = 0;
        }

        if (previous >= 0 && nextFree < kTableSize) {
            auto slot = static_cast<std::size_t>(nextFree);
            prefix[slot] = static_cast<std::uint16_t>(previous);
            suffix[slot] = root;
            length[slot] = static_cast<std::uint16_t>(length[static_cast<std::size_t>(previous)] + 1);
            ++nextFree;
        }
        previous = code;
        firstByte = root;
        // Codes widen once the next entry needs another bit; with a minimum
        // code size of 1 that is right after the first code.
        if (nextFree >= codeLimit && codeSize < kMaxCodeSize) {
            codeLimit <<= 1;
            ++codeSize;
        }
        if (row == nullptr) {
            return {};  // every row is stored: the rest is not read
        }
    }
}

void LzwDecoder::EmitStack(std::size_t count, std::uint8_t*& row, int& column, GifRowCursor& rows) {
    const int width = rows.Width();
    const std::uint8_t* from = stack.data();
    while (count > 0 && row != nullptr) {
        std::size_t n = std::min(count, static_cast<std::size_t>(width - column));
        std::memcpy(row + column, from, n);
        from += n;
        count -= n;
        column += static_cast<int>(n);
        if (column == width) {
            row = rows.NextRow();
            column = 0;
        }
    }
}

}  // namespace image

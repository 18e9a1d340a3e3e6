#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/ByteCursor.h"
#include "platform/Result.h"

namespace image {

using platform::Error;
using platform::Result;

// Places the decoded lines of a GIF image into a bottom-up 8-bit picture: the
// first line is the image's top row. An interlaced image sends its rows in
// four passes: every 8th row from row 0, every 8th from row 4, every 4th from
// row 2, every 2nd from row 1 (passes without rows are skipped). Once every
// row has been stored, further lines are refused. The image may be part of a
// larger picture: rowBytes is then the picture's stride and pixels the
// image's first pixel in its bottom row.
class GifRowCursor {
public:
    // pixels: the first byte of the image's bottom row; rowBytes: the stride.
    GifRowCursor(std::uint8_t* pixels, std::ptrdiff_t rowBytes, int width, int height, bool interlaced);

    int Width() const { return width; }
    int Height() const { return height; }
    bool Interlaced() const { return interlaced; }
    // How many rows have been stored whole.
    int RowsDone() const { return rowsDone; }
    // The row the next line goes to, or nullptr once every row has been stored.
    std::uint8_t* CurrentRow() const { return current; }
    // Moves on to the next row in GIF order and returns it (nullptr when none is left).
    std::uint8_t* NextRow();
    // Copies one line of count pixels (the width when count < 0 or more) into
    // the current row and moves on; 0, or -1 when every row is already stored.
    int PutGifRow(const std::uint8_t* line, int count);

private:
    std::uint8_t* RowAddress(int imageRow) const {
        return pixels + static_cast<std::ptrdiff_t>(height - 1 - imageRow) * rowBytes;
    }

    std::uint8_t* pixels;
    std::ptrdiff_t rowBytes;
    int width;
    int height;
    bool interlaced;
    int pass = 0;
    int imageRow = 0;  // counted from the top
    int rowsDone = 0;
    std::uint8_t* current = nullptr;
};

// The variable-width LZW decoder of GIF image data. Its string table, stack
// and bit reader belong to the object: two decoders never disturb each other.
class LzwDecoder {
public:
    static constexpr int kMaxCodeSize = 12;
    static constexpr int kTableSize = 1 << kMaxCodeSize;
    // Minimum code sizes read. Writers of 1-bit images write 1 as well as the
    // usual 2; codes then start at 2 bits and widen to 3 after the first code.
    // Above 8 the roots outnumber the colours a table can hold; up to 11 the
    // first codes still fit in 12 bits.
    static constexpr int kSmallestMinimumCodeSize = 1;
    static constexpr int kLargestMinimumCodeSize = kMaxCodeSize - 1;
    // Pixels are bytes: a root from here up names a colour no table holds.
    static constexpr int kColorLimit = 256;

    // Reads the minimum code size and the image's data sub-blocks from source
    // (up to the zero-length block that ends them, or the end of the data) and
    // decodes them into rows. See DecodeCodes for what succeeds.
    Result<void> DecodeImageData(platform::ByteReader& source, GifRowCursor& rows);

    // Decodes a code stream whose sub-blocks are already joined. It succeeds
    // once every row is stored: what follows is not read. It fails, naming
    // how many rows were stored, when the data or the end code come sooner,
    // a code is not yet in the table, or a root above 255 is met; and for a
    // minimum code size outside kSmallestMinimumCodeSize to
    // kLargestMinimumCodeSize. A stream that does not begin with a clear code
    // is decoded as if it did.
    Result<void> DecodeCodes(int minimumCodeSize, std::span<const std::uint8_t> codeStream, GifRowCursor& rows);

    // The next code of the current code size, packed least significant bit
    // first; -1 when the stream has fewer bits left than a code needs.
    int ReadCode() {
        if (bitCount < codeSize) {
            Refill();
            if (bitCount < codeSize) {
                return -1;
            }
        }
        int code = static_cast<int>(bitBuffer & ((1u << codeSize) - 1));
        bitBuffer >>= codeSize;
        bitCount -= codeSize;
        return code;
    }

    // Starts reading codes of the given size from a joined code stream.
    void StartCodes(std::span<const std::uint8_t> codeStream, int size);

private:
    static constexpr std::size_t kJoinedPiece = 64 * 1024;

    void Refill();
    // Joins the next sub-blocks of the image data behind the bytes not yet
    // read; whether eight bytes or more are now ahead.
    bool JoinMore();
    // Writes a string of `count` bytes, collected on the stack last byte
    // first, across as many rows as it covers; the bytes beyond the last row
    // are dropped.
    void EmitStack(std::size_t count, std::uint8_t*& row, int& column, GifRowCursor& rows);

    // String table: entry c is the string of prefix[c] followed by suffix[c],
    // length[c] bytes long. Every entry is made from an older one, so a chain
    // of prefixes ends at a root within kTableSize steps.
    std::array<std::uint16_t, kTableSize> prefix{};
    std::array<std::uint8_t, kTableSize> suffix{};
    std::array<std::uint16_t, kTableSize> length{};
    std::array<std::uint8_t, kTableSize> stack{};

    // Bit reader over the code stream, joined whole or a piece at a time from
    // `blocks`, the sub-blocks not yet joined (none once they end).
    platform::ByteReader* blocks = nullptr;
    const std::uint8_t* next = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t bitBuffer = 0;
    int bitCount = 0;
    int codeSize = 0;

    std::vector<std::uint8_t> codeStream;
};

}  // namespace image

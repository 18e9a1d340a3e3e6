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
// first line is the picture's top row. An interlaced image sends its rows in
// four passes: every 8th row from row 0, every 8th from row 4, every 4th from
// row 2, every 2nd from row 1 (passes without rows are skipped). Once every
// row has been stored, further lines are refused.
class GifRowCursor {
public:
    // pixels: the first byte of the picture's bottom row; rowBytes: the stride.
    GifRowCursor(std::uint8_t* pixels, std::ptrdiff_t rowBytes, int width, int height, bool interlaced);

    int Width() const { return width; }
    // The row the next line goes to, or nullptr once every row has been stored.
    std::uint8_t* CurrentRow() const { return current; }
    // Moves on to the next row in GIF order and returns it (nullptr when none is left).
    std::uint8_t* NextRow();
    // Copies one line of count pixels (the width when count < 0 or more) into
    // the current row and moves on; 0, or -1 when every row is already stored.
    int PutGifRow(const std::uint8_t* line, int count);

private:
    std::uint8_t* RowAddress(int pictureRow) const {
        return pixels + static_cast<std::ptrdiff_t>(height - 1 - pictureRow) * rowBytes;
    }

    std::uint8_t* pixels;
    std::ptrdiff_t rowBytes;
    int width;
    int height;
    bool interlaced;
    int pass = 0;
    int pictureRow = 0;  // counted from the top
    std::uint8_t* current = nullptr;
};

// The variable-width LZW decoder of GIF image data. Its string table, stack
// and bit reader belong to the object: two decoders never disturb each other.
class LzwDecoder {
public:
    static constexpr int kMaxCodeSize = 12;
    static constexpr int kTableSize = 1 << kMaxCodeSize;

    // Reads the minimum code size and the image's data sub-blocks from source
    // (up to the zero-length block that ends them, or the end of the data) and
    // decodes them into rows, up to the end code or the last row (pixels
    // beyond it are dropped). An error when the data end before that, the
    // minimum code size is outside 2–9, or a damaged table makes a string
    // longer than the table. badCodes counts codes above the next free code.
    Result<void> DecodeImageData(platform::ByteReader& source, GifRowCursor& rows, int& badCodes);

    // Decodes a code stream whose sub-blocks are already joined.
    Result<void> DecodeCodes(int minimumCodeSize, std::span<const std::uint8_t> codeStream, GifRowCursor& rows,
                             int& badCodes);

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
    void Refill();
    enum class Emitted { kDone, kPictureFull, kLoopedString };
    // Writes the string of `code` across as many rows as it covers; a chain
    // longer than the table is a damaged table.
    Emitted EmitString(int code, bool plusFirstByte, std::uint8_t firstByte, std::uint8_t*& row, int& column,
                    GifRowCursor& rows, int& root);

    // String table: entry c is the string of prefix[c] followed by suffix[c];
    // length[c] is its length while the table holds no damaged entries.
    std::array<std::uint16_t, kTableSize> prefix{};
    std::array<std::uint8_t, kTableSize> suffix{};
    std::array<std::uint16_t, kTableSize> length{};
    std::array<std::uint8_t, kTableSize> stack{};
    int firstFree = 0;

    // Bit reader over the joined code stream.
    const std::uint8_t* next = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t bitBuffer = 0;
    int bitCount = 0;
    int codeSize = 0;

    std::vector<std::uint8_t> codeStream;
};

}  // namespace image

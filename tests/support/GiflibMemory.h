#pragma once

// giflib reading from and writing to bytes in memory, for the tests and
// benchmarks that use it as an independent GIF codec.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gif_lib.h>

namespace testing_support {

struct GifMemoryReader {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

// giflib's input function over a GifMemoryReader (the file's UserData).
inline int ReadGifFromMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* reader = static_cast<GifMemoryReader*>(gif->UserData);
    auto count = std::min(static_cast<std::size_t>(n), reader->bytes->size() - reader->at);
    std::memcpy(out, reader->bytes->data() + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

// giflib's output function appending to a byte vector (the file's UserData).
inline int WriteGifToMemory(GifFileType* gif, const GifByteType* bytes, int n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
}

}  // namespace testing_support

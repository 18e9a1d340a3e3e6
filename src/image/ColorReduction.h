#pragma once

#include <cstddef>

#include "ImageImpl.h"

namespace image {

// What a reduction found and made: the picture's distinct colours, and the
// colours of its new palette (fewer only when there were more than 256).
struct ColorCount {
    std::size_t before = 0;
    std::size_t after = 0;

    bool Lossy() const { return after < before; }
};

// Makes a picture of more than 8 bits per pixel one of 8 bits. A picture of at
// most 256 distinct colours gets exactly those, in the order they first appear
// from the top row down; one of more gets a palette of 256 chosen by
// libimagequant, its pixels diffusing their error into their neighbours when
// `dither` is set. The same picture always gives the same bytes. A picture of
// 8 bits or fewer is left as it is.
Result<ColorCount> ReduceColors(CImageImpl& picture, bool dither);

// The same for a picture of at most 256 colours only, which loses nothing:
// true when the picture became one of 8 bits.
Result<bool> IndexIfFewColors(CImageImpl& picture);

}  // namespace image

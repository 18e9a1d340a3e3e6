#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace image {

// Decodes run-length encoded pixels of a .bmp file (8 bits per pixel with
// compression 1, 4 bits with compression 2) into bottom-up rows of `rowBytes`
// bytes each. Pixels that the runs skip stay 0; runs that reach past the right
// edge are cut there. False when the data ends before the end-of-picture mark
// and before the last row has been finished, or on a malformed escape. With no
// `pixels` the data is only checked, so that a damaged file is refused before
// room for its pixels is made.
bool DecodeBmpRle(std::span<const std::uint8_t> data, int bitsPerPixel, std::uint32_t width, std::uint32_t height,
                  std::size_t rowBytes, std::uint8_t* pixels);

}  // namespace image

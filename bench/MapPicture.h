#pragma once

#include <cstdint>
#include <vector>

#include "image/ImageImpl.h"

namespace bench {

// Top-down 8-bit pixels of a map of width × height: large areas of flat colour
// with wavy borders, roads and rivers as lines, lettering as small patches of
// busy pixels, and scattered specks, as many of each per area at every size.
std::vector<std::uint8_t> MakeMapPixels(int width, int height);
// The 256 colours the pictures are written with.
std::vector<image::Color> MapColours();
// The map as an 8-bit picture with those colours.
void MakeMapPicture(image::CImageImpl& picture, int width, int height);

}  // namespace bench

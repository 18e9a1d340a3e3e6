#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ImageImpl.h"

namespace image {

// ---------------------------------------------------------------- reading

// The palette a GIF picture gets: the file's colour table, as many entries
// as it has, with the transparent entry (when the table holds it) white, the
// colour of the handheld's screen where nothing is drawn.
CImagePalette BuildGifPalette(const CImagePalette& table, int transparent);

// Whether a picture of width x height may be made for an image with dataBytes
// of data after its descriptor: it is within the limits of every picture
// reader, and above kAlwaysAllowedPixels the data could describe that many
// pixels at all (see PictureLimits.h).
bool GifPictureSizeAllowed(int width, int height, std::size_t dataBytes);

// Reads a GIF file held in memory into `image`: an 8-bit picture of the
// logical screen (widened where the first image reaches beyond it) with the
// first image at its place and the screen's background index around it (0
// without a global table). Its palette is the first image's colour table
// (local, else global) as BuildGifPalette makes it; imageTransparent is the
// index a graphic control extension before the image names, else -1. Only
// the first image is read, and only up to its last row. Refused, leaving
// `image` as it was: bytes that are not a GIF, a file without an image, image
// data that end before the last row or are damaged, and a picture too large
// to be made.
Result<void> ReadGif(std::span<const std::uint8_t> file, CImageImpl& image);

// ---------------------------------------------------------------- writing

// The 256-entry global colour table written for a picture: its palette's
// colours, or a grey ramp of its depth; entries beyond them are black.
std::array<std::uint8_t, 3 * 256> GifColorTableFor(const CImageImpl& image);

// The whole file: "GIF87a", the screen descriptor, the colour table, one
// non-interlaced image with minimum code size 8, the trailer. Refused with
// "GIF Images must be 8 bit or less" for a deeper picture and "GIF Images
// must be at most 65535 pixels wide and high" for a larger one.
Result<std::vector<std::uint8_t>> WriteGifStream(const CImageImpl& image);

// Writes the file; besides the refusals above "Can't open GIF for writing"
// and "Write Error in GIF file".
Result<void> WriteGifFile(const std::string& name, const CImageImpl& image);

constexpr const char* kGifTooDeepMessage = "GIF Images must be 8 bit or less";
constexpr const char* kGifCannotOpenMessage = "Can't open GIF for writing";
constexpr const char* kGifWriteErrorMessage = "Write Error in GIF file";
constexpr const char* kGifTooLargeMessage = "GIF Images must be at most 65535 pixels wide and high";

}  // namespace image

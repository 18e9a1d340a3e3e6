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

// The palette a GIF picture gets: the table's own colours, or with a
// transparent index 256 entries with that entry black and a white one
// available for masking.
CImagePalette BuildGifPalette(const CImagePalette& table, int transparent);

// Whether a picture of width x height may be made for an image with dataBytes
// of data after its descriptor: it is within the limits of every picture
// reader, and above kAlwaysAllowedPixels the data could describe that many
// pixels at all (see PictureLimits.h).
bool GifPictureSizeAllowed(int width, int height, std::size_t dataBytes);

// Reads a GIF file held in memory into `image`: an 8-bit picture with the
// colour table of the first image (local, else global) as its palette, the
// transparent index of a graphic control extension before it, and its pixels.
// Only the first image is read. A file that holds no image gives no picture;
// damaged or short image data leave the rows decoded so far, the rest 0. An
// error when the bytes are not a GIF, or the picture is too large or cannot
// be made. imageTransparent is -1 unless the file names an index.
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

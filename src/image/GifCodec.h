#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "GifLzwEncoder.h"
#include "image/PictureLimits.h"
#include "platform/LogicalPalette.h"

namespace image {

// ---------------------------------------------------------------- reading

// A GIF colour table as read: up to 256 entries of red, green, blue.
struct GifColorTable {
    int count = 0;
    std::array<std::uint8_t, 3 * 256> rgb{};
};

// The palette a GIF picture gets: the table's own colours, or with a
// transparent index 256 entries with that entry black and a white one
// available for masking.
struct GifPalette {
    int count = 0;
    std::array<std::uint8_t, 256> red{};
    std::array<std::uint8_t, 256> green{};
    std::array<std::uint8_t, 256> blue{};
};

GifPalette BuildGifPalette(const GifColorTable& table, int transparent);

// Where the reader puts the picture it decodes.
class GifPictureTarget {
public:
    virtual ~GifPictureTarget() = default;
    // Makes a zero-filled, bottom-up 8-bit picture; false when it cannot be made.
    virtual bool CreatePicture(int width, int height) = 0;
    // The first byte of the picture's bottom row, and the row stride.
    virtual std::uint8_t* PictureBits() = 0;
    virtual std::ptrdiff_t PictureRowBytes() = 0;
    virtual void SetPalette(const GifPalette& palette) = 0;
};

// Whether a picture of width x height may be made for an image with dataBytes
// of data after its descriptor: it is within the limits of every picture
// reader, and above kAlwaysAllowedPixels the data could describe that many
// pixels at all (see PictureLimits.h).
bool GifPictureSizeAllowed(int width, int height, std::size_t dataBytes);

// Reads a GIF file held in memory into target: the colour table of the first
// image (local, else global), the transparent index of a graphic control
// extension before it, and its pixels. Only the first image is read.
// 1 = read (also when the file holds no image, or its data are damaged or
// cut short: whatever was decoded stays, the rest is 0); 0 = not a GIF, or
// the picture is too large or cannot be made. `transparent` is set to -1 as
// soon as the file is known to be a GIF, then to the file's index if any.
int ReadGif(std::span<const std::uint8_t> file, GifPictureTarget& target, int& transparent);

// The same for a file: 0 also when it cannot be opened or read.
int ReadGifFile(const std::string& name, GifPictureTarget& target, int& transparent);

// ---------------------------------------------------------------- writing

// A picture to write: bottom-up rows of 1 to 8 bits per pixel and its palette.
struct GifPictureView {
    const std::uint8_t* pixels = nullptr;  // the bottom row
    std::ptrdiff_t rowBytes = 0;
    int width = 0;
    int height = 0;
    int bitCount = 0;
    const platform::PaletteEntry* palette = nullptr;  // none: a grey ramp of the depth
    std::size_t paletteCount = 0;
};

// The 256-entry global colour table written for a picture: its palette's
// colours, or a grey ramp of its depth; entries beyond them are black.
std::array<std::uint8_t, 3 * 256> GifColorTableFor(const GifPictureView& view);

// Writes the whole file: "GIF87a", the screen descriptor, the colour table,
// one non-interlaced image with minimum code size 8, the trailer.
void WriteGifStream(GifByteSink& sink, const GifPictureView& view);

// Writes a GIF file, telling the user about what goes wrong:
// "GIF Images must be 8 bit or less", "Can't open GIF for writing",
// "Write Error in GIF file". 1 = written, 0 = refused or failed.
int WriteGifFile(const std::string& name, const GifPictureView& view);

constexpr const char* kGifTooDeepMessage = "GIF Images must be 8 bit or less";
constexpr const char* kGifCannotOpenMessage = "Can't open GIF for writing";
constexpr const char* kGifWriteErrorMessage = "Write Error in GIF file";
constexpr const char* kGifTooLargeMessage = "GIF Images must be at most 65535 pixels wide and high";

}  // namespace image

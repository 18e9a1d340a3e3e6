#pragma once

// The limits every picture reader applies to the size a file claims, before
// it makes room for the picture. A header can claim any size; these checks
// make sure that a small file cannot ask for a large allocation or a long
// decode.

#include <cstdint>

namespace image {

// No side above 65,535 pixels: GIF cannot describe more, JPEG stops at 65,500,
// and a map's width and height are 16-bit fields.
constexpr std::uint64_t kMaxPictureSide = 65535;

// At most 2^30 pixels (32,768 x 32,768): room for a 20,000 x 20,000 map
// (400 million pixels) and a picture block of at most 1 GiB at one byte per
// pixel. Deeper pictures meet the 2 GiB block limit (kMaxDibBytes) sooner.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 30;

// Pictures up to 16 Mi pixels (4096 x 4096, at most 48 MiB) are made whatever
// their data holds, so that a short or sparse file still gives a picture.
constexpr std::uint64_t kAlwaysAllowedPixels = std::uint64_t{1} << 24;

// Above kAlwaysAllowedPixels a GIF or a run-length encoded BMP must hold at
// least one byte of picture data per this many pixels. An LZW code has at
// least 3 bits and stands for at most 4096 pixels; BMP runs cover at most 255
// pixels per 2 bytes, and only contrived files skip large areas with moves.
constexpr std::uint64_t kMaxPixelsPerCodedByte = 4096 * 8 / 3;

// A JPEG needs at least one bit per 8 x 8 block of its full-resolution
// component to code the block's DC value: 512 pixels per byte.
constexpr std::uint64_t kMaxPixelsPerJpegByte = 512;

// Deflate, the compression of PNG, can shrink data at most 1032 times: a
// 258-byte match in two bits.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// No picture file is read beyond this: none that this program can read needs
// more bytes than the largest picture block (2 GiB) and its headers.
constexpr std::uint64_t kMaxPictureFileBytes = (std::uint64_t{1} << 31) + 65536;

// True when a picture of width x height is within the sides and pixels limits.
constexpr bool PictureSizeAllowed(std::uint64_t width, std::uint64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

// True when `dataBytes` bytes of coded data could describe `pixels` pixels in
// a coding that gives at most `pixelsPerByte` pixels per byte, or when the
// picture is small enough to be made anyway.
constexpr bool CodedDataCanDescribe(std::uint64_t pixels, std::uint64_t dataBytes, std::uint64_t pixelsPerByte) {
    return pixels <= kAlwaysAllowedPixels || (pixels - 1) / pixelsPerByte < dataBytes;
}

}  // namespace image

#pragma once

// The body of the fuzz targets of the picture readers: read the bytes as a
// file of one format, and when the reader takes them, check that the picture
// it made is whole and read its pixels through the accessors the conversion
// uses.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "image/ImageImpl.h"

namespace fuzzing {

inline void CheckPicture(const image::CImageImpl& picture) {
    Require(picture.HasPicture() && picture.imageWidth > 0 && picture.imageHeight > 0 && picture.imageRowBytes > 0);
    const image::DibBlock& block = *picture.imageDib;
    auto offset = static_cast<std::size_t>(picture.imageBits - block.data());
    Require(picture.imageBits >= block.data() && offset <= block.size());
    auto rows = static_cast<std::uint64_t>(picture.imageRowBytes) * static_cast<std::uint64_t>(picture.imageHeight);
    Require(rows <= block.size() - offset);
    Require(static_cast<std::uint64_t>(picture.imageRowBytes) * 8 >=
            static_cast<std::uint64_t>(picture.imageWidth) * static_cast<std::uint64_t>(picture.imageBitCount));
    // A sample of rows and columns, the last ones included.
    const int width = picture.imageWidth;
    const int height = picture.imageHeight;
    auto readRow = [&picture, width](int y) {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        for (int x = 0; x < width; x += std::max(1, width / 64)) {
            picture.GetPixelIndex(x, y);
            picture.GetPixelRGB(x, y, red, green, blue);
        }
        picture.GetPixelRGB(width - 1, y, red, green, blue);
    };
    for (int y = 0; y < height; y += std::max(1, height / 64)) {
        readRow(y);
    }
    readRow(height - 1);
}

// Reads the bytes with a picture object of one format; `more` checks more of
// a picture that was read. (A GIF without a complete image reads with no
// picture, which HasPicture tells.)
template <class Impl, class MoreChecks>
int FuzzPictureReader(const std::uint8_t* data, std::size_t size, MoreChecks more) {
    Impl picture("");
    if (picture.ReadImageBytes({data, size}) && picture.HasPicture()) {
        CheckPicture(picture);
        more(picture);
    }
    return 0;
}

template <class Impl>
int FuzzPictureReader(const std::uint8_t* data, std::size_t size) {
    return FuzzPictureReader<Impl>(data, size, [](const Impl&) {});
}

}  // namespace fuzzing

#pragma once

#include "ImageImpl.h"

namespace image {

class CBmpImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    Result<void> ReadImageBytes(std::span<const std::uint8_t> file) override;
    Result<void> WriteImage(const std::string& fileName) override;
};

// The picture as the bytes of the .bmp file WriteImage writes, its colour
// table left holding the palette's colours; valid while the picture is unchanged.
Result<BmpFileBytes> BmpFileBytesOfPicture(CImageImpl& picture);

}  // namespace image

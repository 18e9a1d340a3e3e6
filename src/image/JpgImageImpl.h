#pragma once

#include "ImageImpl.h"

namespace image {

class CJpgImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    int ReadImage(const std::string& fileName) override;
    int ReadImageBytes(const std::uint8_t* bytes, std::size_t size) override;
    int WriteImage(const std::string& fileName) override;

    int imageQuality = 30;
};

}  // namespace image

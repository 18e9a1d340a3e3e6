#pragma once

#include "ImageImpl.h"

namespace image {

class CGifImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    int ReadImage(const std::string& fileName) override;
    int ReadImageBytes(const std::uint8_t* bytes, std::size_t size) override;
    int WriteImage(const std::string& fileName) override;
};

}  // namespace image

#pragma once

#include "ImageImpl.h"

namespace image {

class CBmpImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    int ReadImage(const std::string& fileName) override;
    int WriteImage(const std::string& fileName) override;
};

}  // namespace image

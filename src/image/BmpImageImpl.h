#pragma once

#include "ImageImpl.h"

namespace image {

class CBmpImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    Result<void> ReadImageBytes(std::span<const std::uint8_t> file) override;
    Result<void> WriteImage(const std::string& fileName) override;
};

}  // namespace image

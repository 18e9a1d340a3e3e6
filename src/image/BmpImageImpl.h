#pragma once

#include "ImageImpl.h"

namespace image {

class CBmpImageImpl : public CImageFileImpl {
public:
    using CImageFileImpl::CImageFileImpl;

    int ReadImage(const std::string& fileName) override;
    int ReadImageBytes(const std::uint8_t* bytes, std::size_t size) override;
    int WriteImage(const std::string& fileName) override;

private:
    // Makes a block the reader gave this object's picture; 0 when there is none.
    int TakeBlock(std::optional<DibBlock> block);
};

}  // namespace image

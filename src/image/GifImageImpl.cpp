#include "GifImageImpl.h"

#include "GifCodec.h"

namespace image {

Result<void> CGifImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    return ReadGif(file, *this);
}

Result<void> CGifImageImpl::WriteImage(const std::string& fileName) {
    return WriteGifFile(UseName(fileName), *this);
}

}  // namespace image

#include "GifImageImpl.h"

namespace image {

// Placeholders until the codec is in: nothing is read or written.
int CGifImageImpl::ReadImage(const std::string&) {
    return 0;
}

int CGifImageImpl::WriteImage(const std::string&) {
    return 0;
}

}  // namespace image

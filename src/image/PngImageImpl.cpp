#include "PngImageImpl.h"

namespace image {

// Placeholders until the codec is in: nothing is read or written.
int CPngImageImpl::ReadImage(const std::string&) {
    return 0;
}

int CPngImageImpl::WriteImage(const std::string&) {
    return 0;
}

}  // namespace image

#include "JpgImageImpl.h"

namespace image {

// Placeholders until the codec is in: nothing is read or written.
int CJpgImageImpl::ReadImage(const std::string&) {
    return 0;
}

int CJpgImageImpl::WriteImage(const std::string&) {
    return 0;
}

}  // namespace image

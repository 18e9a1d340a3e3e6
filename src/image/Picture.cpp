#include "Picture.h"

#include <array>
#include <strings.h>

#include "BmpImageImpl.h"
#include "GifImageImpl.h"
#include "JpgImageImpl.h"
#include "PngImageImpl.h"

namespace image {

namespace {

struct ExtensionRow {
    const char* text;
    int type;
};

// Sorted by text, for the bisection below.
constexpr std::array<ExtensionRow, 5> kExtensions = {{
    {"BMP", IMAGE_BMP},
    {"GIF", IMAGE_GIF},
    {"JPG", IMAGE_JPG},
    {"PNG", IMAGE_PNG},
    {"XPM", IMAGE_XPM},
}};

Error UnknownType(const std::string& name) {
    return Error{name + " is not a picture of a kind this program knows (.bmp, .gif, .jpg or .png)."};
}

}  // namespace

std::string FindExtension(const std::string& path) {
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot + 1 == path.size()) {
        return {};
    }
    return path.substr(dot + 1);
}

int TypeFromExtension(const std::string& extension) {
    if (extension.empty()) {
        return IMAGE_UNKNOWN;
    }
    std::size_t low = 0;
    std::size_t high = kExtensions.size();
    while (low < high) {
        std::size_t middle = (low + high) / 2;
        int order = ::strcasecmp(kExtensions[middle].text, extension.c_str());
        if (order == 0) {
            return kExtensions[middle].type;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return IMAGE_UNKNOWN;
}

int CPicture::CreateImpl(const std::string& name, int& type) {
    pictureImpl.reset();
    switch (type) {
    case IMAGE_BMP:
        pictureImpl = std::make_unique<CBmpImageImpl>(name);
        return 1;
    case IMAGE_JPG:
        pictureImpl = std::make_unique<CJpgImageImpl>(name);
        return 1;
    case IMAGE_GIF:
        pictureImpl = std::make_unique<CGifImageImpl>(name);
        return 1;
    case IMAGE_PNG:
        pictureImpl = std::make_unique<CPngImageImpl>(name);
        return 1;
    default:
        return 0;  // unknown, or known without a class (XPM)
    }
}

Result<void> CPicture::Load(const std::string& name, int type) {
    int oldType = pictureType;
    pictureName = name;
    if (type == IMAGE_UNKNOWN) {
        type = TypeFromExtension(FindExtension(name));
    }
    pictureType = type;
    if (!pictureImpl || type != oldType) {
        if (CreateImpl(pictureName, type) == 0) {
            return UnknownType(name);
        }
    }
    return pictureImpl->ReadImage(pictureName);
}

Result<void> CPicture::Save(const std::string& name, int type) {
    if (!pictureImpl) {
        return Error{"There is no picture to write."};
    }
    int oldType = pictureType;
    pictureName = name;
    if (type == IMAGE_UNKNOWN) {
        type = TypeFromExtension(FindExtension(name));
    }
    pictureType = type;
    if (type != oldType) {
        std::unique_ptr<CImageImpl> old = std::move(pictureImpl);
        if (CreateImpl(pictureName, type) == 0) {
            // Nothing can be made for the type: the picture stays as it was.
            pictureImpl = std::move(old);
            pictureType = oldType;
            return UnknownType(name);
        }
        pictureImpl->TakeOver(old.get());
    }
    return pictureImpl->WriteImage(pictureName);
}

int CPicture::Create(int width, int height, int bitsPerPixel, int flags) {
    if (!pictureImpl) {
        int type = IMAGE_BMP;
        CreateImpl("", type);
        pictureType = IMAGE_BMP;
        pictureName.clear();
    }
    return pictureImpl->Create(width, height, bitsPerPixel, flags);
}

}  // namespace image

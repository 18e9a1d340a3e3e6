#include "Picture.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <strings.h>

#include "BmpImageImpl.h"
#include "GifImageImpl.h"
#include "JpgImageImpl.h"
#include "PngImageImpl.h"
#include "PictureLimits.h"
#include "platform/Files.h"

namespace image {

namespace {

struct ExtensionRow {
    const char* text;
    int type;
};

// Sorted by text, for the bisection below.
constexpr std::array<ExtensionRow, 8> kExtensions = {{
    {"BMP", IMAGE_BMP},
    {"GIF", IMAGE_GIF},
    {"JFIF", IMAGE_JPG},
    {"JPE", IMAGE_JPG},
    {"JPEG", IMAGE_JPG},
    {"JPG", IMAGE_JPG},
    {"PNG", IMAGE_PNG},
    {"XPM", IMAGE_XPM},
}};

// The first bytes of each format's files.
struct Signature {
    std::string_view bytes;
    int type;
};
constexpr std::array<Signature, 4> kSignatures = {{
    {"BM", IMAGE_BMP},
    {"GIF8", IMAGE_GIF},
    {"\xFF\xD8\xFF", IMAGE_JPG},
    {"\x89PNG\r\n\x1A\n", IMAGE_PNG},
}};

Error UnknownType() {
    return Error{"not a picture of a kind this program knows (.bmp, .gif, .jpg or .png)"};
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

int TypeFromContent(std::span<const std::uint8_t> file) {
    for (const Signature& signature : kSignatures) {
        if (file.size() >= signature.bytes.size() &&
            std::equal(signature.bytes.begin(), signature.bytes.end(), file.begin(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
            return signature.type;
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
    Result<std::vector<std::uint8_t>> file = platform::ReadWholeFile(name, kMaxPictureFileBytes);
    if (!file) {
        pictureName = name;
        return Error{platform::ReasonInWords(file.error().code), "", file.error().code};
    }
    return LoadBytes(name, *file, type);
}

Result<void> CPicture::LoadBytes(const std::string& name, std::span<const std::uint8_t> file, int type) {
    pictureName = name;
    if (type == IMAGE_UNKNOWN) {
        type = TypeFromContent(file);
    }
    // Bytes that begin like no format's may still be a bare device-independent bitmap.
    if (type == IMAGE_UNKNOWN && TypeFromExtension(FindExtension(name)) == IMAGE_BMP) {
        type = IMAGE_BMP;
    }
    if (!pictureImpl || type != pictureType) {
        pictureType = type;
        if (CreateImpl(pictureName, type) == 0) {
            return Error{"not a picture"};
        }
    }
    return pictureImpl->ReadImageBytes(file);
}

Result<void> CPicture::Save(const std::string& name, int type) {
    if (!pictureImpl) {
        return Error{"there is no picture to write"};
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
            return UnknownType();
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

#pragma once

#include <memory>
#include <string>

#include "ImageImpl.h"

namespace image {

constexpr int IMAGE_UNKNOWN = -1;
constexpr int IMAGE_BMP = 0;
constexpr int IMAGE_JPG = 1;
constexpr int IMAGE_GIF = 2;
constexpr int IMAGE_XPM = 3;
constexpr int IMAGE_PNG = 4;

// The text after the last "." of the path; empty when there is none or the path ends in ".".
std::string FindExtension(const std::string& path);
// The type code of an extension, compared without regard to case; IMAGE_UNKNOWN otherwise.
int TypeFromExtension(const std::string& extension);

// A picture as callers see it: its type, its file name and its implementation,
// chosen by the file's extension.
class CPicture {
public:
    CPicture() = default;
    virtual ~CPicture() = default;
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    int Load(const std::string& name, int type = IMAGE_UNKNOWN);
    int Save(const std::string& name, int type = IMAGE_UNKNOWN);
    int Create(int width, int height, int bitsPerPixel, int flags = -1);
    int CreateImpl(const std::string& name, int& type);

    int GetRowBytes() const { return pictureImpl->imageRowBytes; }
    int GetWidth() const { return pictureImpl->imageWidth; }
    int GetHeight() const { return pictureImpl->imageHeight; }
    int GetBitCount() const { return pictureImpl->imageBitCount; }
    int GetFlags() const { return pictureImpl->imageFlags; }
    bool IsInside(int x, int y) const { return pictureImpl->IsInside(x, y); }
    int GetPixelIndex(int x, int y) const { return pictureImpl->GetPixelIndex(x, y); }
    int GetPixelRGB(int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) const {
        return pictureImpl->GetPixelRGB(x, y, r, g, b);
    }
    int SetPixelIndex(int x, int y, int value) { return pictureImpl->SetPixelIndex(x, y, value & 0xFF); }
    int SetPixelRGB(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return pictureImpl->SetPixelRGB(x, y, r, g, b);
    }
    int SetPaletteRGB(int n, const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b) {
        return pictureImpl->SetPaletteRGB(n, r, g, b);
    }
    int SetPaletteTriples(int n, const std::uint8_t* triples) { return pictureImpl->SetPaletteTriples(n, triples); }
    int SetPaletteObject(std::unique_ptr<CImagePalette> palette) {
        return pictureImpl->SetPaletteObject(std::move(palette));
    }
    CImagePalette* GetPalette() const { return pictureImpl->imagePalette.get(); }
    bool IsValid() const { return pictureImpl && pictureImpl->HasPicture(); }
    CImageImpl* GetImpl() const { return pictureImpl.get(); }
    std::uint8_t* GetBits() const { return pictureImpl->imageBits; }

    int pictureType = IMAGE_UNKNOWN;
    std::string pictureName;
    std::unique_ptr<CImageImpl> pictureImpl;
};

}  // namespace image

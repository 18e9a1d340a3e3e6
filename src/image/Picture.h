#pragma once

#include <memory>
#include <span>
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
// The type code of a file's first bytes; IMAGE_UNKNOWN when they are no format's.
int TypeFromContent(std::span<const std::uint8_t> file);

// A picture as callers see it: its type, its file name and its implementation,
// chosen by the file's extension.
class CPicture {
public:
    CPicture() = default;
    virtual ~CPicture() = default;
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Reads the picture of the file `name`, its format given by `type` or by
    // the file's first bytes (a bare device-independent bitmap by its name).
    // An error gives the reason: "no such file", "not a picture", "damaged GIF: ...".
    Result<void> Load(const std::string& name, int type = IMAGE_UNKNOWN);
    // The same from the bytes of the file `name`, already in memory.
    Result<void> LoadBytes(const std::string& name, std::span<const std::uint8_t> file, int type = IMAGE_UNKNOWN);
    // Writes the picture as the file `name` in the format of `type` or of the name's extension.
    Result<void> Save(const std::string& name, int type = IMAGE_UNKNOWN);
    int Create(int width, int height, int bitsPerPixel, int flags = -1);
    int CreateImpl(const std::string& name, int& type);

    // Without an implementation the accessors answer as for an empty picture:
    // 0, -1 (no pixel index), or none.
    int GetRowBytes() const { return pictureImpl ? pictureImpl->imageRowBytes : 0; }
    int GetWidth() const { return pictureImpl ? pictureImpl->imageWidth : 0; }
    int GetHeight() const { return pictureImpl ? pictureImpl->imageHeight : 0; }
    int GetBitCount() const { return pictureImpl ? pictureImpl->imageBitCount : 0; }
    int GetFlags() const { return pictureImpl ? pictureImpl->imageFlags : 0; }
    bool IsInside(int x, int y) const { return pictureImpl && pictureImpl->IsInside(x, y); }
    int GetPixelIndex(int x, int y) const { return pictureImpl ? pictureImpl->GetPixelIndex(x, y) : -1; }
    int GetPixelRGB(int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) const {
        return pictureImpl ? pictureImpl->GetPixelRGB(x, y, r, g, b) : 0;
    }
    int SetPixelIndex(int x, int y, int value) {
        return pictureImpl ? pictureImpl->SetPixelIndex(x, y, value & 0xFF) : 0;
    }
    int SetPixelRGB(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return pictureImpl ? pictureImpl->SetPixelRGB(x, y, r, g, b) : 0;
    }
    int SetPaletteRGB(int n, const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b) {
        return pictureImpl ? pictureImpl->SetPaletteRGB(n, r, g, b) : 0;
    }
    int SetPaletteTriples(int n, const std::uint8_t* triples) {
        return pictureImpl ? pictureImpl->SetPaletteTriples(n, triples) : 0;
    }
    int SetPaletteObject(std::unique_ptr<CImagePalette> palette) {
        return pictureImpl ? pictureImpl->SetPaletteObject(std::move(palette)) : 0;
    }
    CImagePalette* GetPalette() const { return pictureImpl ? pictureImpl->imagePalette.get() : nullptr; }
    bool IsValid() const { return pictureImpl && pictureImpl->HasPicture(); }
    CImageImpl* GetImpl() const { return pictureImpl.get(); }
    std::uint8_t* GetBits() const { return pictureImpl ? pictureImpl->imageBits : nullptr; }

    int pictureType = IMAGE_UNKNOWN;
    std::string pictureName;
    std::unique_ptr<CImageImpl> pictureImpl;
};

}  // namespace image

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "Dib.h"
#include "ImagePalette.h"
#include "platform/Result.h"

namespace image {

// The picture behind a CPicture: a packed DIB block with its format, an optional
// palette and an optional transparent index. Rows are bottom-up: y = 0 is the
// bottom row of the picture.
class CImageImpl {
public:
    virtual ~CImageImpl() = default;

    virtual bool IsInside(int x, int y) const;
    // Returns imageRowBytes of the new picture, or 0. A picture of 8 bits or
    // fewer has a colour table of `colors` entries (all its depth allows when not given).
    virtual int Create(int width, int height, int bitsPerPixel, int flags, int colors = -1);
    virtual int GetPixelIndex(int x, int y) const;
    virtual int GetPixelRGB(int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const;
    virtual int SetPixelIndex(int x, int y, int value);
    virtual int SetPixelRGB(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // The colours of row y (0 is the bottom row) into `out`, which has room for
    // the width; false when the picture has no such row.
    bool ReadRowColors(int y, Color* out) const;
    // Reads the whole file, then the picture from its bytes.
    virtual Result<void> ReadImage(const std::string& fileName);
    // Reads the picture from the bytes of a whole file held in memory.
    virtual Result<void> ReadImageBytes(std::span<const std::uint8_t> file);
    virtual Result<void> WriteImage(const std::string& fileName);

    int SetPaletteObject(std::unique_ptr<CImagePalette> palette);
    int SetPaletteRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue);
    int SetPaletteTriples(int n, const std::uint8_t* triples);
    int SetGreyRamp(int n);
    // Moves the other's picture into this one; returns the other.
    CImageImpl* TakeOver(CImageImpl* other);

    bool HasPicture() const { return imageDib != nullptr; }

    // The picture's members, used directly by the format readers and writers.
    std::uint8_t* imageBits = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    int imageBitCount = 0;
    int imageFlags = 0;
    int imageRowBytes = 0;
    std::unique_ptr<DibBlock> imageDib;
    int imageTransparent = -1;
    std::unique_ptr<CImagePalette> imagePalette;
};

// An image with a file name: the base of the four format classes.
class CImageFileImpl : public CImageImpl {
public:
    explicit CImageFileImpl(std::string fileName) : imageFileName(std::move(fileName)) {}

    // As the base reads it, from the name the object holds when `fileName` is empty.
    Result<void> ReadImage(const std::string& fileName) override;

    std::string imageFileName;

protected:
    // Lets a non-empty name replace imageFileName; returns the name to use.
    const std::string& UseName(const std::string& fileName);
};

}  // namespace image

#pragma once

// Helpers shared by the JPEG and PNG codecs: the size limit for pictures read
// from files, and the files they read and write.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "ImagePalette.h"

namespace image::codec {

// Largest picture the readers accept. A file's header can claim any size, so
// the claim is checked before anything is allocated for it. JPEG cannot
// describe sides beyond 65500 and PNG readers are held to 65535; 2^28 pixels
// (16384 x 16384) keeps the largest picture block at 768 MiB (24 bits per
// pixel) and every row and block size well inside a signed 32-bit int.
constexpr std::uint32_t kMaxSide = 65535;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

// True when a picture of this size may be made.
bool DimensionsAllowed(std::uint64_t width, std::uint64_t height);

// The colours of palette indices 0..255 as red, green, blue triples; an index
// without an entry in the palette is black.
std::array<std::uint8_t, 768> PaletteTriples(const CImagePalette& palette);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file for reading in binary mode; none when it cannot be opened.
InputFile OpenForReading(const std::string& name);

// A file being written. Unless Commit succeeds, the destructor closes and
// removes it, so that a failed write leaves no partial file behind.
class OutputFile {
public:
    explicit OutputFile(std::string name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return file != nullptr; }
    std::FILE* Get() const { return file; }
    // Closes the finished file; false (and the file removed) when its data
    // could not all be written.
    bool Commit();

private:
    void RemovePartial() const;

    std::string name;
    std::FILE* file = nullptr;
    bool removable = false;
};

}  // namespace image::codec

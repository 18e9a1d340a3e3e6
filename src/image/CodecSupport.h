#pragma once

// Helpers shared by the JPEG and PNG codecs: the size limit for pictures they
// read, and the files they read and write.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "ImagePalette.h"
#include "PictureLimits.h"

namespace image::codec {

// Largest picture the readers accept (see PictureLimits.h). A file's header
// can claim any size, so the claim is checked before anything is allocated
// for it.
constexpr std::uint32_t kMaxSide = static_cast<std::uint32_t>(kMaxPictureSide);

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

// The size of an open file, for checking a header's claims against the data
// behind it; the largest value when it is not known (a pipe, a device).
std::uint64_t DataBytesOf(std::FILE* file);

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

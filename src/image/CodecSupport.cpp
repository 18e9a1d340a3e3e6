#include "CodecSupport.h"

#include <sys/stat.h>

namespace image::codec {

bool DimensionsAllowed(std::uint64_t width, std::uint64_t height) {
    return PictureSizeAllowed(width, height);
}

std::array<std::uint8_t, 768> PaletteTriples(const CImagePalette& palette) {
    std::array<std::uint8_t, 768> triples{};
    for (std::size_t i = 0; i < 256; ++i) {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        if (palette.GetEntryRGB(static_cast<int>(i), red, green, blue) != 0) {
            triples[3 * i] = red;
            triples[3 * i + 1] = green;
            triples[3 * i + 2] = blue;
        }
    }
    return triples;
}

InputFile OpenForReading(const std::string& name) {
    return InputFile(std::fopen(name.c_str(), "rb"));
}

std::uint64_t DataBytesOf(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        return UINT64_MAX;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

OutputFile::OutputFile(std::string fileName) : name(std::move(fileName)) {
    file = std::fopen(name.c_str(), "wb");
    // Only a regular file is removed after a failure, never a device such as /dev/null.
    struct stat status {};
    removable = file != nullptr && ::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

OutputFile::~OutputFile() {
    if (file != nullptr) {
        std::fclose(file);
        RemovePartial();
    }
}

void OutputFile::RemovePartial() const {
    if (removable) {
        std::remove(name.c_str());
    }
}

bool OutputFile::Commit() {
    if (file == nullptr) {
        return false;
    }
    bool written = std::ferror(file) == 0;
    written = std::fclose(file) == 0 && written;
    file = nullptr;
    if (!written) {
        RemovePartial();
    }
    return written;
}

}  // namespace image::codec

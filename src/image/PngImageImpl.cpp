#include "PngImageImpl.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <png.h>

#include "PictureLimits.h"
#include "platform/Files.h"

namespace image {
namespace {

// libpng reports a fatal error through the error function, which must not
// return: ours jumps back to the stage that called the library, without a
// message (nothing is shown). Every stage below is a plain function that sets
// the jump point and holds nothing with a destructor, so the jump skips no
// destructor; the caller of the stage owns the buffers and cleans up. Between
// stages no library call that can fail is made.
[[noreturn]] void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// The library's own allocations while reading: rows of at most a few hundred
// KiB, zlib's window, tables. A chunk's length comes from the file, and the
// library allocates it whole to read text and other ancillary chunks; a tiny
// file claiming a 2 GiB chunk must not cost that much memory. A refused
// ancillary chunk is skipped with a warning.
constexpr png_alloc_size_t kMaxLibraryAllocation = png_alloc_size_t{16} << 20;

png_voidp PngMalloc(png_structp, png_alloc_size_t size) {
    return size <= kMaxLibraryAllocation ? std::malloc(size) : nullptr;
}

void PngFree(png_structp, png_voidp memory) {
    std::free(memory);
}

// The background that alpha and transparent colours are composited against,
// in the format of the rows the library delivers (8-bit samples).
constexpr png_color_16 kBackground{0, 31, 127, 255, 0};

// ---- Reading ----

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() {
        if (png != nullptr) {
            png_destroy_read_struct(&png, &info, nullptr);
        }
    }
};

// The file's bytes, read front to back.
struct PngInput {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

// The library's read function; running out of bytes is a fatal error, as the
// end of a file is.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input->bytes.size() - input->position < count) {
        png_error(png, "Read Error");
    }
    std::memcpy(out, input->bytes.data() + input->position, count);
    input->position += count;
}

bool ReadHeaderStage(png_structp png, png_infop info, PngInput* input) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_read_fn(png, input, ReadFromMemory);
    png_read_info(png, info);
    return true;
}

// Whether the file could hold the pixels its header claims: their bits,
// without the filter bytes, cannot be compressed beyond the deflate ratio.
bool DataCanHoldPixels(png_structp png, png_infop info, std::uint64_t dataBytes) {
    std::uint64_t bits = std::uint64_t{png_get_image_width(png, info)} * png_get_image_height(png, info) *
                         png_get_channels(png, info) * png_get_bit_depth(png, info);
    return (bits / 8 + kMaxDeflateRatio - 1) / kMaxDeflateRatio <= dataBytes;
}

// Asks for one byte per grey value or palette index, or three bytes blue,
// green, red per colour pixel: alpha composited against the background,
// 16-bit samples cut to 8, samples below 8 bits unpacked, interlaced passes
// merged.
bool TransformStage(png_structp png, png_infop info, int bitDepth) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_background(png, &kBackground, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    if (bitDepth < 8) {
        png_set_packing(png);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRowsStage(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

// n evenly spaced grey levels from black to white.
std::vector<std::uint8_t> GreyLevels(int n) {
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        levels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 255 / (n - 1));
    }
    return levels;
}

// ---- Writing ----

struct WriteStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructs() {
        if (png != nullptr) {
            png_destroy_write_struct(&png, &info);
        }
    }
};

// How a picture is written: its rows (bottom row first) and the PNG layout
// that describes them.
struct PngWriteJob {
    const std::uint8_t* bits;
    std::size_t rowBytes;
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colourType;
    const png_color* palette;  // for palette PNGs
    int paletteSize;
};

// The library's write function: the file is made in memory.
void WriteToMemory(png_structp png, png_bytep bytes, png_size_t count) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        out->insert(out->end(), bytes, bytes + count);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        png_error(png, "Out of memory");
    }
}

void FlushMemory(png_structp) {}

bool WriteStage(png_structp png, png_infop info, std::vector<std::uint8_t>* out, const PngWriteJob* job) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_write_fn(png, out, WriteToMemory, FlushMemory);
    png_set_IHDR(png, info, job->width, job->height, job->bitDepth, job->colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->palette != nullptr) {
        png_set_PLTE(png, info, job->palette, job->paletteSize);
    }
    png_write_info(png, info);
    // The picture stores colour pixels as blue, green, red.
    png_set_bgr(png);
    for (png_uint_32 y = 0; y < job->height; ++y) {
        png_write_row(png, job->bits + std::size_t{job->height - 1 - y} * job->rowBytes);
    }
    png_write_end(png, info);
    return true;
}

// Reads a PNG as a picture of 8 bits per pixel (palette and grey PNGs, with
// the PNG's palette or 2, 4, 16 or 256 grey levels) or 24 bits (colour PNGs),
// with alpha composited against the background (31, 127, 255). The PNG colour
// type becomes imageFlags; giving the picture a palette sets bits 0 and 1.
Result<void> DecodePng(CImageImpl& image, std::span<const std::uint8_t> file) {
    const Error damaged{"not a PNG file this program can read, or a damaged one"};
    ReadStructs structs;
    structs.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning, nullptr,
                                           PngMalloc, PngFree);
    if (structs.png == nullptr) {
        return damaged;
    }
    structs.info = png_create_info_struct(structs.png);
    if (structs.info == nullptr) {
        return damaged;
    }
    png_structp png = structs.png;
    png_infop info = structs.info;
    // The header's size is refused before anything is allocated for it.
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    PngInput input{file};
    if (!ReadHeaderStage(png, info, &input)) {
        return damaged;
    }
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    if (!PictureSizeAllowed(width, height) || !DataCanHoldPixels(png, info, file.size())) {
        return Error{"the PNG picture is too large"};
    }
    bool palette = colourType == PNG_COLOR_TYPE_PALETTE;
    bool colour = !palette && (colourType & PNG_COLOR_MASK_COLOR) != 0;

    // The palette as the header gives it: compositing a palette PNG with
    // transparent entries later rewrites the library's copy.
    std::vector<std::uint8_t> triples;
    png_colorp entries = nullptr;
    int entryCount = 0;
    if (palette && png_get_PLTE(png, info, &entries, &entryCount) != 0 && entryCount > 0) {
        for (int i = 0; i < entryCount; ++i) {
            triples.insert(triples.end(), {entries[i].red, entries[i].green, entries[i].blue});
        }
    }

    if (!TransformStage(png, info, bitDepth)) {
        return damaged;
    }
    std::size_t rowBytes = png_get_rowbytes(png, info);
    if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != (colour ? 3 : 1) ||
        rowBytes != std::size_t{width} * (colour ? 3 : 1)) {
        return damaged;
    }
    if (image.Create(static_cast<int>(width), static_cast<int>(height), colour ? 24 : 8, colourType) == 0 ||
        image.imageBits == nullptr || static_cast<std::size_t>(image.imageRowBytes) < rowBytes) {
        return Error{"the PNG picture is too large"};
    }
    if (!triples.empty()) {
        image.SetPaletteTriples(entryCount, triples.data());
    } else if (!palette && !colour) {
        std::vector<std::uint8_t> levels = GreyLevels(1 << std::min(bitDepth, 8));
        image.SetPaletteRGB(static_cast<int>(levels.size()), levels.data(), nullptr, nullptr);
    }

    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = image.imageBits + std::size_t{height - 1 - y} * static_cast<std::size_t>(image.imageRowBytes);
    }
    if (!ReadRowsStage(png, info, rows.data())) {
        return damaged;
    }
    return {};
}

}  // namespace

Result<void> CPngImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    return DecodePng(*this, file);
}

// Writes a non-interlaced PNG whose colour type follows imageFlags: palette
// pictures of 1, 2, 4 or 8 bits with the palette in PLTE, other pictures of
// those depths as grey, 24-bit pictures as RGB. The alpha bit of the flags is
// dropped: the rows hold no alpha (the reader composited it away).
Result<void> CPngImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    const Error unwritable{"only pictures of 1, 2, 4, 8 and 24 bits per pixel can be written as PNG"};
    if (!HasPicture() || imageBits == nullptr || imageWidth < 1 || imageHeight < 1 ||
        static_cast<std::int64_t>(imageRowBytes) * 8 < static_cast<std::int64_t>(imageWidth) * imageBitCount) {
        return unwritable;
    }
    PngWriteJob job{imageBits,
                    static_cast<std::size_t>(imageRowBytes),
                    static_cast<png_uint_32>(imageWidth),
                    static_cast<png_uint_32>(imageHeight),
                    8,
                    PNG_COLOR_TYPE_RGB,
                    nullptr,
                    0};
    std::array<png_color, 256> plte{};
    switch (imageBitCount) {
    case 24:
        break;
    case 1:
    case 2:
    case 4:
    case 8:
        job.bitDepth = imageBitCount;
        if ((imageFlags & PNG_COLOR_MASK_PALETTE) == 0) {
            job.colourType = PNG_COLOR_TYPE_GRAY;
            break;
        }
        if (!imagePalette || imagePalette->Empty()) {
            return unwritable;
        }
        for (std::size_t i = 0; i < plte.size(); ++i) {
            Color color = imagePalette->At(i);
            plte[i] = png_color{color.red, color.green, color.blue};
        }
        job.colourType = PNG_COLOR_TYPE_PALETTE;
        job.palette = plte.data();
        // A PLTE chunk holds at most one entry per index the depth can express.
        job.paletteSize = 1 << imageBitCount;
        break;
    default:
        return unwritable;
    }

    const Error failed{"the PNG picture cannot be encoded"};
    WriteStructs structs;
    structs.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (structs.png == nullptr) {
        return failed;
    }
    structs.info = png_create_info_struct(structs.png);
    if (structs.info == nullptr) {
        return failed;
    }
    std::vector<std::uint8_t> encoded;
    if (!WriteStage(structs.png, structs.info, &encoded, &job)) {
        return failed;
    }
    return platform::WriteWholeFile(name, {encoded});
}

}  // namespace image

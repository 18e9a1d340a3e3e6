#include "JpgImageImpl.h"

#include <array>
#include <csetjmp>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "PictureLimits.h"
#include "platform/Files.h"

namespace image {
namespace {

// libjpeg reports a fatal error through error_exit, which must not return. Ours
// keeps the formatted message (nothing is shown) and jumps back to the stage
// that called the library. Every stage below is a plain function that sets the
// jump point and holds nothing with a destructor, so the jump skips no
// destructor; the caller of the stage owns the buffers and cleans up.
struct JpegErrorManager {
    jpeg_error_mgr pub;  // first, so that cinfo->err points at the whole manager
    std::jmp_buf stage;
    char message[JMSG_LENGTH_MAX];
};

JpegErrorManager& ManagerOf(j_common_ptr cinfo) {
    return *reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    JpegErrorManager& manager = ManagerOf(cinfo);
    (*cinfo->err->format_message)(cinfo, manager.message);
    std::longjmp(manager.stage, 1);
}

// Warnings are counted and otherwise ignored, except the one for a stream that
// ends before the picture does: the library would fill the missing rows with
// grey and report success.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) {
        if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
            JpegErrorExit(cinfo);
        }
        ++cinfo->err->num_warnings;
    }
}

// What went wrong, with the library's own words when it said something.
Error LibraryError(const JpegErrorManager& manager, const std::string& what) {
    if (manager.message[0] == '\0') {
        return Error{what};
    }
    std::string words = manager.message;
    words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return Error{what + " (" + words + ")"};
}

jpeg_error_mgr* InitErrorManager(JpegErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = JpegErrorExit;
    manager.pub.emit_message = JpegEmitMessage;
    manager.message[0] = '\0';
    return &manager.pub;
}

// ---- Reading ----

struct DecompressGuard {
    jpeg_decompress_struct* cinfo;
    ~DecompressGuard() { jpeg_destroy_decompress(cinfo); }
};

// The library's working memory (whole-image buffers of progressive or
// colour-quantised pictures) is held to the size of the largest picture
// block; beyond it the library reports an error instead of allocating.
constexpr long kMaxLibraryMemory = static_cast<long>(kMaxDibBytes);

bool ReadHeaderStage(jpeg_decompress_struct* cinfo, JpegErrorManager* errors, const std::uint8_t* bytes,
                     std::size_t size) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxLibraryMemory;
    jpeg_mem_src(cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    return true;
}

// With colour quantisation the library reads the whole stream here (its first
// pass chooses the colours).
bool StartDecompressStage(jpeg_decompress_struct* cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    return jpeg_start_decompress(cinfo) == TRUE;
}

// Decodes the rows straight into the picture: the stream's top row first, the
// picture's bottom row first.
bool ReadRowsStage(jpeg_decompress_struct* cinfo, JpegErrorManager* errors, std::uint8_t* bits,
                   std::size_t rowBytes) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        std::size_t fromBottom = cinfo->output_height - 1 - cinfo->output_scanline;
        JSAMPROW row = bits + fromBottom * rowBytes;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) {
            return false;
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

// ---- Writing ----

struct CompressGuard {
    jpeg_compress_struct* cinfo;
    ~CompressGuard() { jpeg_destroy_compress(cinfo); }
};

// What a write encodes: the picture's rows (bottom row first) and, for 8 bits
// per pixel, the colour of each index as red, green, blue triples.
struct RgbSource {
    const std::uint8_t* bits;
    std::size_t rowBytes;
    JDIMENSION width;
    JDIMENSION height;
    const std::uint8_t* indexColours;  // none for 24-bit rows of blue, green, red
    int quality;
};

void FillScanline(const RgbSource& source, const std::uint8_t* row, std::uint8_t* scanline) {
    if (source.indexColours == nullptr) {
        for (std::size_t x = 0; x < source.width; ++x) {
            scanline[3 * x] = row[3 * x + 2];
            scanline[3 * x + 1] = row[3 * x + 1];
            scanline[3 * x + 2] = row[3 * x];
        }
        return;
    }
    for (std::size_t x = 0; x < source.width; ++x) {
        const std::uint8_t* colour = source.indexColours + 3 * std::size_t{row[x]};
        scanline[3 * x] = colour[0];
        scanline[3 * x + 1] = colour[1];
        scanline[3 * x + 2] = colour[2];
    }
}

bool CreateCompressStage(jpeg_compress_struct* cinfo, JpegErrorManager* errors) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    jpeg_create_compress(cinfo);
    return true;
}

// Encodes a baseline JPEG into memory that the library allocates with
// malloc (`*out`, which the caller frees); `scanline` holds width x 3 bytes.
bool WriteStage(jpeg_compress_struct* cinfo, JpegErrorManager* errors, unsigned char** out, unsigned long* outSize,
                const RgbSource* source, std::uint8_t* scanline) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    jpeg_mem_dest(cinfo, out, outSize);
    cinfo->image_width = source->width;
    cinfo->image_height = source->height;
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, source->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        std::size_t fromBottom = source->height - 1 - cinfo->next_scanline;
        FillScanline(*source, source->bits + fromBottom * source->rowBytes, scanline);
        JSAMPROW row = scanline;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

// Reads a JPEG as an 8-bit palettised picture: grey JPEGs with a 256-step grey
// palette, colour JPEGs reduced by the library to at most 128 colours (two-pass
// quantisation with Floyd-Steinberg dithering, its defaults).
Result<void> DecodeJpeg(CImageImpl& image, std::span<const std::uint8_t> file) {
    JpegErrorManager errors;
    jpeg_decompress_struct cinfo{};
    cinfo.err = InitErrorManager(errors);
    DecompressGuard guard{&cinfo};
    if (file.empty() || !ReadHeaderStage(&cinfo, &errors, file.data(), file.size())) {
        return LibraryError(errors, "not a JPEG file");
    }
    std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
    if (!PictureSizeAllowed(cinfo.image_width, cinfo.image_height) ||
        !CodedDataCanDescribe(pixels, file.size(), kMaxPixelsPerJpegByte)) {
        return Error{"the JPEG picture is too large"};
    }
    bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey) {
        // Only streams the library turns into RGB give a colour map of red,
        // green and blue; CMYK and unknown colour spaces are refused.
        if (cinfo.out_color_space != JCS_RGB) {
            return Error{"only grey and RGB colour JPEG pictures can be read"};
        }
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
    }
    if (!StartDecompressStage(&cinfo, &errors) || cinfo.output_components != 1) {
        return LibraryError(errors, "damaged JPEG");
    }
    if (image.Create(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), 8, -1) == 0 ||
        image.imageBits == nullptr || static_cast<JDIMENSION>(image.imageRowBytes) < cinfo.output_width) {
        return Error{"the JPEG picture is too large"};
    }
    if (grey) {
        image.SetGreyRamp(256);
    } else {
        image.SetPaletteRGB(cinfo.actual_number_of_colors, cinfo.colormap[0], cinfo.colormap[1], cinfo.colormap[2]);
    }
    if (!ReadRowsStage(&cinfo, &errors, image.imageBits, static_cast<std::size_t>(image.imageRowBytes))) {
        return LibraryError(errors, "damaged JPEG");
    }
    return {};
}

}  // namespace

Result<void> CJpgImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    return DecodeJpeg(*this, file);
}

// Writes a baseline JPEG at imageQuality from an 8-bit picture (palette indices,
// or grey values when there is no palette) or a 24-bit one (blue, green, red).
Result<void> CJpgImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    if (!HasPicture() || imageBits == nullptr || imageWidth < 1 || imageHeight < 1 ||
        imageWidth > JPEG_MAX_DIMENSION || imageHeight > JPEG_MAX_DIMENSION ||
        (imageBitCount != 8 && imageBitCount != 24) || imageRowBytes < imageWidth * (imageBitCount / 8)) {
        return Error{"only pictures of 8 or 24 bits per pixel can be written as JPEG"};
    }
    std::array<std::uint8_t, 768> indexColours{};
    if (imageBitCount == 8) {
        if (imagePalette && !imagePalette->Empty()) {
            for (std::size_t i = 0; i < 256; ++i) {
                Color color = imagePalette->At(i);
                indexColours[3 * i] = color.red;
                indexColours[3 * i + 1] = color.green;
                indexColours[3 * i + 2] = color.blue;
            }
        } else {
            for (std::size_t i = 0; i < 256; ++i) {
                indexColours[3 * i] = indexColours[3 * i + 1] = indexColours[3 * i + 2] = static_cast<std::uint8_t>(i);
            }
        }
    }
    RgbSource source{imageBits,
                     static_cast<std::size_t>(imageRowBytes),
                     static_cast<JDIMENSION>(imageWidth),
                     static_cast<JDIMENSION>(imageHeight),
                     imageBitCount == 8 ? indexColours.data() : nullptr,
                     imageQuality};
    std::vector<std::uint8_t> scanline(3 * static_cast<std::size_t>(imageWidth));

    JpegErrorManager errors;
    jpeg_compress_struct cinfo{};
    cinfo.err = InitErrorManager(errors);
    CompressGuard guard{&cinfo};
    if (!CreateCompressStage(&cinfo, &errors)) {
        return LibraryError(errors, "the JPEG picture cannot be encoded");
    }
    unsigned char* encoded = nullptr;
    unsigned long encodedSize = 0;
    const bool done = WriteStage(&cinfo, &errors, &encoded, &encodedSize, &source, scanline.data());
    Result<void> written = done ? platform::WriteWholeFile(name, {{encoded, encodedSize}})
                                : LibraryError(errors, "the JPEG picture cannot be encoded");
    std::free(encoded);
    return written;
}

}  // namespace image

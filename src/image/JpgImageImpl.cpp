#include "JpgImageImpl.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "CodecSupport.h"

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

// Where the compressed data comes from: an open file, or the bytes of a whole
// file in memory. `dataBytes` is the size of either, for checking the header.
struct JpegInput {
    std::FILE* file = nullptr;
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    std::uint64_t dataBytes = 0;
};

// The library's working memory (whole-image buffers of progressive or
// colour-quantised pictures) is held to the size of the largest picture
// block; beyond it the library reports an error instead of allocating.
constexpr long kMaxLibraryMemory = static_cast<long>(kMaxDibBytes);

bool ReadHeaderStage(jpeg_decompress_struct* cinfo, JpegErrorManager* errors, const JpegInput* input) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxLibraryMemory;
    if (input->file != nullptr) {
        jpeg_stdio_src(cinfo, input->file);
    } else {
        jpeg_mem_src(cinfo, input->bytes, static_cast<unsigned long>(input->size));
    }
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

// Encodes a baseline JPEG; `scanline` holds width x 3 bytes.
bool WriteStage(jpeg_compress_struct* cinfo, JpegErrorManager* errors, std::FILE* file, const RgbSource* source,
                std::uint8_t* scanline) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    jpeg_stdio_dest(cinfo, file);
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
int DecodeJpeg(CImageImpl& image, const JpegInput& input) {
    JpegErrorManager errors;
    jpeg_decompress_struct cinfo{};
    cinfo.err = InitErrorManager(errors);
    DecompressGuard guard{&cinfo};
    if (!ReadHeaderStage(&cinfo, &errors, &input)) {
        return 0;
    }
    std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
    if (!codec::DimensionsAllowed(cinfo.image_width, cinfo.image_height) ||
        !CodedDataCanDescribe(pixels, input.dataBytes, kMaxPixelsPerJpegByte)) {
        return 0;
    }
    bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey) {
        // Only streams the library turns into RGB give a colour map of red,
        // green and blue; CMYK and unknown colour spaces are refused.
        if (cinfo.out_color_space != JCS_RGB) {
            return 0;
        }
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
    }
    if (!StartDecompressStage(&cinfo, &errors) || cinfo.output_components != 1) {
        return 0;
    }
    if (image.Create(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), 8, -1) == 0 ||
        image.imageBits == nullptr || static_cast<JDIMENSION>(image.imageRowBytes) < cinfo.output_width) {
        return 0;
    }
    if (grey) {
        image.SetGreyRamp(256);
    } else {
        image.SetPaletteRGB(cinfo.actual_number_of_colors, cinfo.colormap[0], cinfo.colormap[1], cinfo.colormap[2]);
    }
    if (!ReadRowsStage(&cinfo, &errors, image.imageBits, static_cast<std::size_t>(image.imageRowBytes))) {
        return 0;
    }
    return 1;
}

}  // namespace

int CJpgImageImpl::ReadImage(const std::string& fileName) {
    codec::InputFile file = codec::OpenForReading(UseName(fileName));
    if (!file) {
        return 0;
    }
    JpegInput input;
    input.file = file.get();
    input.dataBytes = codec::DataBytesOf(file.get());
    return DecodeJpeg(*this, input);
}

int CJpgImageImpl::ReadImageBytes(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size == 0) {
        return 0;
    }
    JpegInput input;
    input.bytes = bytes;
    input.size = size;
    input.dataBytes = size;
    return DecodeJpeg(*this, input);
}

// Writes a baseline JPEG at imageQuality from an 8-bit picture (palette indices,
// or grey values when there is no palette) or a 24-bit one (blue, green, red).
int CJpgImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    if (!HasPicture() || imageBits == nullptr || imageWidth < 1 || imageHeight < 1 ||
        imageWidth > JPEG_MAX_DIMENSION || imageHeight > JPEG_MAX_DIMENSION ||
        (imageBitCount != 8 && imageBitCount != 24) || imageRowBytes < imageWidth * (imageBitCount / 8)) {
        return 0;
    }
    std::array<std::uint8_t, 768> indexColours{};
    if (imageBitCount == 8) {
        if (imagePalette && imagePalette->HasPalette()) {
            indexColours = codec::PaletteTriples(*imagePalette);
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
        return 0;
    }
    codec::OutputFile out(name);
    if (!out.IsOpen() || !WriteStage(&cinfo, &errors, out.Get(), &source, scanline.data())) {
        return 0;
    }
    return out.Commit() ? 1 : 0;
}

}  // namespace image

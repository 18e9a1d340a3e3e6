#include "JpgImageImpl.h"

#include <array>
#include <csetjmp>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// What went wrong, with the library's own words when it said something: a
// leading capital is lowered unless it starts an abbreviation.
Error LibraryError(const JpegErrorManager& manager, const std::string& what) {
    if (manager.message[0] != '\0' && manager.pub.msg_code == JWRN_JPEG_EOF) {
        return Error{what + " (premature end of data)"};
    }
    std::string words = manager.message;
    while (!words.empty() && (words.back() == '.' || words.back() == ' ')) {
        words.pop_back();
    }
    if (words.empty()) {
        return Error{what};
    }
    if (words.size() > 1 && std::islower(static_cast<unsigned char>(words[1])) != 0) {
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    }
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

// A CMYK pixel as red, green, blue: each colour is what its ink and the black
// ink leave of white, (255 − ink) × (255 − black) / 255, rounded. Adobe's
// files (those with its marker) store every ink inverted, 255 − ink.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned left[4];
        for (int i = 0; i < 4; ++i) {
            left[i] = inverted ? cmyk[i] : 255u - cmyk[i];
        }
        bgr[0] = static_cast<std::uint8_t>((left[2] * left[3] + 127u) / 255u);
        bgr[1] = static_cast<std::uint8_t>((left[1] * left[3] + 127u) / 255u);
        bgr[2] = static_cast<std::uint8_t>((left[0] * left[3] + 127u) / 255u);
    }
}

// Decodes CMYK rows one at a time into `scanline` (width × 4 bytes) and turns
// each into a row of blue, green, red in the picture, bottom row first.
bool ReadCmykRowsStage(jpeg_decompress_struct* cinfo, JpegErrorManager* errors, std::uint8_t* bits,
                       std::size_t rowBytes, std::uint8_t* scanline) {
    if (setjmp(errors->stage) != 0) {
        return false;
    }
    const bool inverted = cinfo->saw_Adobe_marker == TRUE;
    while (cinfo->output_scanline < cinfo->output_height) {
        std::size_t fromBottom = cinfo->output_height - 1 - cinfo->output_scanline;
        JSAMPROW row = scanline;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) {
            return false;
        }
        CmykToBgr(scanline, bits + fromBottom * rowBytes, cinfo->output_width, inverted);
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
    unsigned indexBits;                // 1, 2, 4 or 8 bits an index, leftmost in the high bits
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
    const unsigned bits = source.indexBits;
    for (std::size_t x = 0; x < source.width; ++x) {
        const std::size_t bit = x * bits;
        const unsigned index = (unsigned{row[bit / 8]} >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        const std::uint8_t* colour = source.indexColours + 3 * std::size_t{index};
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

// Reads a JPEG: grey JPEGs as 8-bit pictures with a 256-step grey palette,
// colour JPEGs reduced by the library to at most 128 colours (two-pass
// quantisation with Floyd-Steinberg dithering, its defaults), CMYK and YCCK
// JPEGs as 24-bit pictures (blue, green, red) of the colours their inks give.
Result<void> DecodeJpeg(CImageImpl& image, std::span<const std::uint8_t> file) {
    // Every JPEG starts with the start-of-image marker.
    if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) {
        return Error{"not a JPEG file"};
    }
    JpegErrorManager errors;
    jpeg_decompress_struct cinfo{};
    cinfo.err = InitErrorManager(errors);
    DecompressGuard guard{&cinfo};
    if (!ReadHeaderStage(&cinfo, &errors, file.data(), file.size())) {
        return LibraryError(errors, "damaged JPEG");
    }
    std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
    if (!PictureSizeAllowed(cinfo.image_width, cinfo.image_height) ||
        !CodedDataCanDescribe(pixels, file.size(), kMaxPixelsPerJpegByte)) {
        return Error{"the JPEG picture is too large"};
    }
    bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    bool inks = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (inks) {
        // The library converts YCCK to CMYK, not CMYK to RGB.
        cinfo.out_color_space = JCS_CMYK;
    } else if (!grey) {
        // Only streams the library turns into RGB give a colour map of red,
        // green and blue; unknown colour spaces are refused.
        if (cinfo.out_color_space != JCS_RGB) {
            return Error{"a JPEG of " + std::to_string(cinfo.num_components) +
                         " colour components of an unknown kind cannot be read"};
        }
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
    }
    if (!StartDecompressStage(&cinfo, &errors)) {
        return LibraryError(errors, "damaged JPEG");
    }
    if (cinfo.output_components != (inks ? 4 : 1)) {
        return Error{"a JPEG of a kind this program cannot read"};
    }
    if (image.Create(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), inks ? 24 : 8,
                     -1) == 0 ||
        image.imageBits == nullptr ||
        static_cast<JDIMENSION>(image.imageRowBytes) < cinfo.output_width * (inks ? 3u : 1u)) {
        return Error{"the JPEG picture is too large"};
    }
    auto rowBytes = static_cast<std::size_t>(image.imageRowBytes);
    if (inks) {
        std::vector<std::uint8_t> scanline(std::size_t{cinfo.output_width} * 4);
        if (!ReadCmykRowsStage(&cinfo, &errors, image.imageBits, rowBytes, scanline.data())) {
            return LibraryError(errors, "damaged JPEG");
        }
        return {};
    }
    if (grey) {
        image.SetGreyRamp(256);
    } else {
        image.SetPaletteRGB(cinfo.actual_number_of_colors, cinfo.colormap[0], cinfo.colormap[1], cinfo.colormap[2]);
    }
    if (!ReadRowsStage(&cinfo, &errors, image.imageBits, rowBytes)) {
        return LibraryError(errors, "damaged JPEG");
    }
    return {};
}

}  // namespace

// A refused file leaves the picture this object had.
Result<void> CJpgImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    CImageImpl decoded;
    if (Result<void> read = DecodeJpeg(decoded, file); !read) {
        return read;
    }
    TakeOver(&decoded);
    return {};
}

// Writes a baseline JPEG at imageQuality from an 8-bit picture (palette indices,
// or grey values when there is no palette) or a 24-bit one (blue, green, red).
Result<void> CJpgImageImpl::WriteImage(const std::string& fileName) {
    const std::string& name = UseName(fileName);
    const bool indexed = imageBitCount == 1 || imageBitCount == 2 || imageBitCount == 4 || imageBitCount == 8;
    if (!HasPicture() || imageBits == nullptr || imageWidth < 1 || imageHeight < 1 ||
        imageWidth > JPEG_MAX_DIMENSION || imageHeight > JPEG_MAX_DIMENSION || (!indexed && imageBitCount != 24) ||
        std::int64_t{imageRowBytes} * 8 < std::int64_t{imageWidth} * imageBitCount) {
        return Error{"only pictures of 1, 2, 4, 8 or 24 bits per pixel can be written as JPEG"};
    }
    // The colour of each index: the palette's; without one, grey levels at 8 bits
    // and the block's own table below.
    std::array<std::uint8_t, 768> indexColours{};
    if (indexed) {
        const CImagePalette colours =
            imagePalette ? *imagePalette : imageBitCount == 8 ? CImagePalette() : PaletteFromDib(*imageDib);
        for (std::size_t i = 0; i < 256; ++i) {
            const auto grey = static_cast<std::uint8_t>(i);
            const Color color = colours.Empty() ? Color{grey, grey, grey} : colours.At(i);
            indexColours[3 * i] = color.red;
            indexColours[3 * i + 1] = color.green;
            indexColours[3 * i + 2] = color.blue;
        }
    }
    RgbSource source{imageBits,
                     static_cast<std::size_t>(imageRowBytes),
                     static_cast<JDIMENSION>(imageWidth),
                     static_cast<JDIMENSION>(imageHeight),
                     indexed ? indexColours.data() : nullptr,
                     static_cast<unsigned>(imageBitCount),
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

#include "PngImageImpl.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <png.h>

#include "PictureLimits.h"
#include "platform/Files.h"

namespace image {
namespace {

// libpng reports a fatal error through the error function, which must not
// return: ours keeps the library's words for the reason and jumps back to the
// stage that called the library. Every stage below is a plain function that
// sets the jump point and holds nothing with a destructor, so the jump skips
// no destructor; the caller of the stage owns the buffers and cleans up.
// Between stages no library call that can fail is made.
struct PngMessage {
    char text[160];
};

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
    auto* kept = static_cast<PngMessage*>(png_get_error_ptr(png));
    if (kept != nullptr) {
        std::snprintf(kept->text, sizeof kept->text, "%s", message != nullptr ? message : "");
    }
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

// "damaged PNG (WORDS)" with the library's words: a leading capital is
// lowered unless it starts a chunk name or an abbreviation ("IDAT: CRC error").
Error Damaged(const PngMessage& message) {
    std::string words = message.text;
    while (!words.empty() && (words.back() == '.' || words.back() == ' ' || words.back() == '\n')) {
        words.pop_back();
    }
    if (words.empty()) {
        return Error{"damaged PNG"};
    }
    if (words.size() > 1 && std::isupper(static_cast<unsigned char>(words[0])) != 0 &&
        std::islower(static_cast<unsigned char>(words[1])) != 0) {
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    }
    return Error{"damaged PNG (" + words + ")"};
}

Error TooLarge() {
    return Error{"the PNG picture is too large"};
}

// Where there is no ink the handheld's screen is white: alpha and transparent
// colours are composited over white, in the format of the rows the library
// delivers (8-bit samples; the library widens it itself for 16-bit files).
constexpr png_color_16 kWhite{0, 255, 255, 255, 255};

// One sample over white by its alpha, in the stored values (no gamma):
// (alpha × sample + (255 − alpha) × 255) / 255, rounded to the nearest. The
// library's own compositing of 8-bit samples rounds the same way.
std::uint8_t OverWhite(std::uint8_t sample, std::uint8_t alpha) {
    unsigned sum = unsigned{alpha} * sample + (255u - alpha) * 255u;
    return static_cast<std::uint8_t>((sum + 127u) / 255u);
}

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
        png_error(png, "premature end of data");
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

// Whether the header, at its fixed place behind the signature, claims a side
// beyond the limits (the library refuses such a header without saying so).
bool ClaimsTooLarge(std::span<const std::uint8_t> file) {
    constexpr std::size_t kHeaderData = 16;
    if (file.size() < kHeaderData + 8 || std::memcmp(file.data() + 12, "IHDR", 4) != 0) {
        return false;
    }
    auto side = [&file](std::size_t at) {
        return std::uint32_t{file[at]} << 24 | std::uint32_t{file[at + 1]} << 16 | std::uint32_t{file[at + 2]} << 8 |
               file[at + 3];
    };
    return side(kHeaderData) > kMaxPictureSide || side(kHeaderData + 4) > kMaxPictureSide;
}

// How a PNG becomes a picture: what the library delivers, and what is made of it.
struct PngPlan {
    int pictureBits = 8;    // 1, 4, 8 or 24
    int tableEntries = 0;   // colour-table entries; 0 for 24 bits
    int rowBits = 8;        // bits per pixel of the rows the library delivers
    bool composite = false;  // alpha or a transparent colour composited over white by the library
    bool strip16 = false;   // 16-bit samples cut to 8
    bool widen = false;     // 2-bit rows, widened to 4 bits once read
};

// Palette and grey PNGs keep their depth, 2 bits becoming 4 (which the rest of
// the program converts; hardly anything reads 2-bit pictures). 16-bit grey and
// grey with alpha give 8 bits. Colour PNGs give 24 bits, blue, green, red.
PngPlan PlanFor(int colourType, int bitDepth, bool transparentColour, int paletteEntries) {
    PngPlan plan;
    if (colourType == PNG_COLOR_TYPE_PALETTE || colourType == PNG_COLOR_TYPE_GRAY) {
        if (bitDepth == 16) {
            // A transparent 16-bit level is matched before the samples are cut.
            plan.strip16 = true;
            plan.composite = transparentColour;
            plan.tableEntries = 256;
            return plan;
        }
        plan.rowBits = bitDepth;
        plan.pictureBits = bitDepth == 2 ? 4 : bitDepth;
        plan.widen = bitDepth == 2;
        plan.tableEntries = colourType == PNG_COLOR_TYPE_PALETTE ? paletteEntries : 1 << bitDepth;
        return plan;
    }
    plan.composite = true;
    plan.strip16 = bitDepth == 16;
    if ((colourType & PNG_COLOR_MASK_COLOR) != 0) {
        plan.pictureBits = plan.rowBits = 24;
    } else {
        plan.tableEntries = 256;  // grey with alpha
    }
    return plan;
}

// Asks for rows of the plan's layout: packed indices or grey values of the
// file's depth below 8 bits, one byte per grey value or index, or three bytes
// blue, green, red per colour pixel; interlaced passes merged. Compositing
// works on the stored values: the file's gamma is taken as the screen's.
bool TransformStage(png_structp png, png_infop info, const PngPlan* plan) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    if (plan->composite) {
        png_set_gamma_fixed(png, PNG_FP_1, PNG_FP_1);
        png_set_background(png, &kWhite, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
    if (plan->strip16) {
        png_set_strip_16(png);
    }
    if (plan->pictureBits == 24) {
        png_set_bgr(png);
    }
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

// Widens a row of 2-bit values in place to 4 bits, from its end, so that no
// value is overwritten before it is read. The row holds room for 4 bits.
void WidenRow(std::uint8_t* row, std::size_t packedBytes) {
    for (std::size_t i = packedBytes; i-- > 0;) {
        unsigned b = row[i];
        row[2 * i] = static_cast<std::uint8_t>((b >> 6 & 3u) << 4 | (b >> 4 & 3u));
        row[2 * i + 1] = static_cast<std::uint8_t>((b >> 2 & 3u) << 4 | (b & 3u));
    }
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

// The colour table of a palette or grey picture, as red, green, blue triples:
// the palette's entries or the grey levels, transparent ones composited over
// white (a transparent grey level is white).
std::vector<std::uint8_t> ColourTable(png_structp png, png_infop info, const PngPlan& plan) {
    std::vector<std::uint8_t> triples;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p transparent = nullptr;
    bool hasTrns = png_get_tRNS(png, info, &alphas, &alphaCount, &transparent) != 0;
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int entryCount = 0;
        png_get_PLTE(png, info, &entries, &entryCount);
        for (int i = 0; i < plan.tableEntries; ++i) {
            std::uint8_t alpha = hasTrns && alphas != nullptr && i < alphaCount ? alphas[i] : 255;
            triples.insert(triples.end(), {OverWhite(entries[i].red, alpha), OverWhite(entries[i].green, alpha),
                                           OverWhite(entries[i].blue, alpha)});
        }
        return triples;
    }
    for (std::uint8_t level : GreyLevels(plan.tableEntries)) {
        triples.insert(triples.end(), {level, level, level});
    }
    // A 16-bit transparent level was composited by the library.
    if (hasTrns && transparent != nullptr && !plan.strip16 && transparent->gray < plan.tableEntries) {
        std::fill_n(triples.begin() + 3 * std::ptrdiff_t{transparent->gray}, 3, std::uint8_t{255});
    }
    return triples;
}

// Reads a PNG as a picture of the plan's depth (see PlanFor), alpha and
// transparent colours composited over white. The PNG colour type becomes
// imageFlags; giving the picture a palette sets bits 0 and 1.
Result<void> DecodePng(CImageImpl& image, std::span<const std::uint8_t> file) {
    if (png_sig_cmp(file.data(), 0, std::min<std::size_t>(file.size(), 8)) != 0) {
        return Error{"not a PNG file"};
    }
    PngMessage message{};
    ReadStructs structs;
    structs.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &message, PngError, PngWarning, nullptr,
                                           PngMalloc, PngFree);
    if (structs.png == nullptr) {
        return Error{"not enough memory to read the PNG picture"};
    }
    structs.info = png_create_info_struct(structs.png);
    if (structs.info == nullptr) {
        return Error{"not enough memory to read the PNG picture"};
    }
    png_structp png = structs.png;
    png_infop info = structs.info;
    // The header's size is refused before anything is allocated for it.
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    PngInput input{file};
    if (!ReadHeaderStage(png, info, &input)) {
        return ClaimsTooLarge(file) ? TooLarge() : Damaged(message);
    }
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    if (!PictureSizeAllowed(width, height) || !DataCanHoldPixels(png, info, file.size())) {
        return TooLarge();
    }
    png_colorp entries = nullptr;
    int entryCount = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE &&
        (png_get_PLTE(png, info, &entries, &entryCount) == 0 || entryCount < 1)) {
        return Error{"damaged PNG (no palette)"};
    }
    entryCount = std::min(entryCount, 1 << bitDepth);
    PngPlan plan = PlanFor(colourType, bitDepth, png_get_valid(png, info, PNG_INFO_tRNS) != 0, entryCount);
    std::vector<std::uint8_t> table = plan.tableEntries > 0 ? ColourTable(png, info, plan) : std::vector<std::uint8_t>{};

    if (!TransformStage(png, info, &plan)) {
        return Damaged(message);
    }
    std::size_t rowBytes = png_get_rowbytes(png, info);
    int channels = plan.pictureBits == 24 ? 3 : 1;
    if (png_get_bit_depth(png, info) * channels != plan.rowBits || png_get_channels(png, info) != channels ||
        rowBytes != (std::size_t{width} * static_cast<std::size_t>(plan.rowBits) + 7) / 8) {
        return Error{"a PNG of a kind this program cannot read"};
    }
    if (image.Create(static_cast<int>(width), static_cast<int>(height), plan.pictureBits, colourType,
                     plan.tableEntries > 0 ? plan.tableEntries : -1) == 0 ||
        image.imageBits == nullptr || static_cast<std::size_t>(image.imageRowBytes) < rowBytes) {
        return TooLarge();
    }
    if (!table.empty()) {
        image.SetPaletteTriples(plan.tableEntries, table.data());
    }

    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = image.imageBits + std::size_t{height - 1 - y} * static_cast<std::size_t>(image.imageRowBytes);
    }
    if (!ReadRowsStage(png, info, rows.data())) {
        return Damaged(message);
    }
    if (plan.widen) {
        for (png_bytep row : rows) {
            WidenRow(row, rowBytes);
        }
    }
    return {};
}

}  // namespace

// A refused file leaves the picture this object had.
Result<void> CPngImageImpl::ReadImageBytes(std::span<const std::uint8_t> file) {
    CImageImpl decoded;
    if (Result<void> read = DecodePng(decoded, file); !read) {
        return read;
    }
    TakeOver(&decoded);
    return {};
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

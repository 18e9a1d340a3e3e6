// Pictures whose headers claim more than the readers' limits, or more than
// their data can describe: tiny files that would otherwise cost gigabytes or
// seconds are refused before any room is made for them. (GIF: see the GIF
// reader's tests.)
#include <gtest/gtest.h>

#include <tuple>

#include "BmpBytes.h"
#include "CodecFixtures.h"
#include "image/BmpImageImpl.h"
#include "image/JpgImageImpl.h"
#include "image/PictureLimits.h"
#include "image/PngImageImpl.h"

using namespace image;
using namespace image_test;
using namespace codec_fixtures;

namespace {

static_assert(PictureSizeAllowed(20000, 20000));
static_assert(PictureSizeAllowed(32768, 32768));
static_assert(!PictureSizeAllowed(32768, 32769));
static_assert(!PictureSizeAllowed(65536, 1));
static_assert(!PictureSizeAllowed(0, 1));

// Whether the reader takes the bytes and makes a picture of them; a refused
// file leaves no picture, nothing having been made for it.
template <class Impl>
platform::Result<void> Reads(const Bytes& bytes) {
    Impl picture("");
    auto result = picture.ReadImageBytes(bytes);
    EXPECT_EQ(result.has_value(), picture.HasPicture());
    return result;
}

// An 8-bit bitmap with a grey table and the given pixel bytes.
Bytes Bmp(std::int32_t width, std::int32_t height, std::uint16_t bitCount, std::uint32_t compression,
          const Bytes& pixels) {
    std::uint32_t colours = bitCount <= 8 ? 1u << bitCount : 0;
    Bytes rest = InfoHeader({.width = width, .height = height, .bitCount = bitCount, .compression = compression,
                             .sizeImage = static_cast<std::uint32_t>(pixels.size()), .clrUsed = colours});
    Append(rest, GreyTable(colours, 1));
    Append(rest, pixels);
    return WithFileHeader(rest, 14 + 40 + 4 * colours);
}

// A PNG of the given header whose image data is `raw`, stored uncompressed.
Bytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth, std::uint8_t colourType,
          const Bytes& raw) {
    return PngFile(width, height, bitDepth, colourType, {}, raw);
}

}  // namespace

TEST(HostileSizes, BitmapsClaimingMoreThanTheirDataOrTheLimitsAreRefused) {
    const std::string tooLarge = "the BMP picture is too large";
    Bytes row(70000 / 8 + 4, 0xAA);
    const std::tuple<const char*, Bytes, std::string> cases[] = {
        // Uncompressed rows must all be in the file.
        {"rows not in the file", Bmp(30000, 30000, 8, kBiRgb, {1, 2, 3, 4}), "damaged BMP (the file ends inside the pixels)"},
        // Run-length data can end the picture at once, leaving the rest 0: that
        // is read for up to 4096 x 4096 pixels, not for 900 million.
        {"4096 x 4096 ended at once", Bmp(4096, 4096, 8, kBiRle8, {0, 1}), ""},
        {"8-bit runs for 900 million", Bmp(30000, 30000, 8, kBiRle8, {0, 1}), tooLarge},
        {"4-bit runs for 900 million", Bmp(30000, 30000, 4, kBiRle4, {0, 1}), tooLarge},
        // Beyond 2^30 pixels no amount of data helps: 100 KB of row ends.
        {"beyond 2^30 pixels", Bmp(32768, 32769, 8, kBiRle8, Bytes(100000, 0)), tooLarge},
        // No side beyond 65,535, however little the picture is.
        {"70000 wide", Bmp(70000, 1, 1, kBiRgb, row), tooLarge},
        {"65535 wide", Bmp(65535, 1, 1, kBiRgb, row), ""},
    };
    for (const auto& [name, file, reason] : cases) {
        auto read = Reads<CBmpImageImpl>(file);
        EXPECT_EQ(read ? "" : read.error().message, reason) << name;
    }
}

TEST(HostileSizes, PngBombsAreRefused) {
    // Two rows of two grey pixels, each row behind its filter byte: read.
    EXPECT_TRUE(Reads<CPngImageImpl>(Png(2, 2, 8, 0, {0, 10, 20, 0, 30, 40})));
    // 2^28 one-bit pixels are 32 MiB of rows, which no deflate stream of 60 bytes holds.
    EXPECT_FALSE(Reads<CPngImageImpl>(Png(16384, 16384, 1, 0, {0})));
    EXPECT_FALSE(Reads<CPngImageImpl>(Png(30000, 30000, 8, 2, {0})));
    for (std::uint32_t side : {65535u, 65536u, 0x7FFFFFFFu}) {
        auto read = Reads<CPngImageImpl>(Png(side, side, 8, 0, {0}));
        ASSERT_FALSE(read) << side;
        EXPECT_EQ(read.error().message, "the PNG picture is too large") << side;
    }
}

TEST(HostileSizes, JpegsClaimingMoreThanTheirDataAreRefused) {
    TempFolder scratch;
    std::string path = scratch / "small.jpg";
    MagickFromRaw("gray", 16, 16, Bytes(256, 128), "-quality 90", path, scratch);
    Bytes small = ReadFileBytes(path);
    ASSERT_TRUE(Reads<CJpgImageImpl>(small));
    // The frame header: FF C0, length, precision, then height and width.
    std::size_t frame = 2;
    while (frame + 9 < small.size() && !(small[frame] == 0xFF && small[frame + 1] == 0xC0)) {
        frame += 2 + (std::size_t{small[frame + 2]} << 8 | small[frame + 3]);
    }
    ASSERT_LT(frame + 9, small.size());
    for (std::uint16_t side : {std::uint16_t{30000}, std::uint16_t{65500}}) {
        Bytes huge = small;
        huge[frame + 5] = huge[frame + 7] = static_cast<std::uint8_t>(side >> 8);
        huge[frame + 6] = huge[frame + 8] = static_cast<std::uint8_t>(side & 0xFF);
        auto read = Reads<CJpgImageImpl>(huge);
        ASSERT_FALSE(read) << side;
        EXPECT_EQ(read.error().message, "the JPEG picture is too large") << side;
    }
}

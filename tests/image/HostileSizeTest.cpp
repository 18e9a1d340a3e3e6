// Pictures whose headers claim more than the readers' limits, or more than
// their data can describe: tiny files that would otherwise cost gigabytes or
// seconds are refused before any room is made for them. (GIF: see the GIF
// reader's tests.)
#include <gtest/gtest.h>

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

void PutChunk(Bytes& png, const char* type, const Bytes& data) {
    auto put32 = [&png](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            png.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    };
    put32(static_cast<std::uint32_t>(data.size()));
    std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    Append(png, data);
    put32(Crc32(png.data() + start, png.size() - start));
}

// A PNG of the given header whose image data is one zlib stream of stored
// (uncompressed) bytes.
Bytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth, std::uint8_t colourType,
          const Bytes& raw) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    for (std::uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            header.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    Append(header, {bitDepth, colourType, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    Bytes zlib = {0x78, 0x01, 0x01};
    auto length = static_cast<std::uint16_t>(raw.size());
    Put16(zlib, length);
    Put16(zlib, static_cast<std::uint16_t>(~length));
    Append(zlib, raw);
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    std::uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8) {
        zlib.push_back(static_cast<std::uint8_t>(adler >> shift));
    }
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace

TEST(HostileSizes, BitmapsClaimingMoreThanTheirDataOrTheLimitsAreRefused) {
    // Uncompressed rows must all be in the file.
    EXPECT_FALSE(Reads<CBmpImageImpl>(Bmp(30000, 30000, 8, kBiRgb, {1, 2, 3, 4})));
    // Run-length data can end the picture at once, leaving the rest 0: that
    // is read for up to 4096 x 4096 pixels, not for 900 million.
    EXPECT_TRUE(Reads<CBmpImageImpl>(Bmp(4096, 4096, 8, kBiRle8, {0, 1})));
    EXPECT_FALSE(Reads<CBmpImageImpl>(Bmp(30000, 30000, 8, kBiRle8, {0, 1})));
    EXPECT_FALSE(Reads<CBmpImageImpl>(Bmp(30000, 30000, 4, kBiRle4, {0, 1})));
    // Beyond 2^30 pixels no amount of data helps: 100 KB of row ends.
    EXPECT_FALSE(Reads<CBmpImageImpl>(Bmp(32768, 32769, 8, kBiRle8, Bytes(100000, 0))));
    // No side beyond 65,535, however little the picture is.
    Bytes row(70000 / 8 + 4, 0xAA);
    EXPECT_FALSE(Reads<CBmpImageImpl>(Bmp(70000, 1, 1, kBiRgb, row)));
    EXPECT_TRUE(Reads<CBmpImageImpl>(Bmp(65535, 1, 1, kBiRgb, row)));
}

TEST(HostileSizes, PngBombsAreRefused) {
    // Two rows of two grey pixels, each row behind its filter byte: read.
    EXPECT_TRUE(Reads<CPngImageImpl>(Png(2, 2, 8, 0, {0, 10, 20, 0, 30, 40})));
    // 2^28 one-bit pixels are 32 MiB of rows, which no deflate stream of 60 bytes holds.
    EXPECT_FALSE(Reads<CPngImageImpl>(Png(16384, 16384, 1, 0, {0})));
    EXPECT_FALSE(Reads<CPngImageImpl>(Png(30000, 30000, 8, 2, {0})));
    EXPECT_EQ(Reads<CPngImageImpl>(Png(65535, 65535, 8, 0, {0})).error().message, "The PNG picture is too large.");
    EXPECT_FALSE(Reads<CPngImageImpl>(Png(65536, 1, 8, 0, {0})));
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
        EXPECT_EQ(read.error().message, "The JPEG picture is too large.") << side;
    }
}

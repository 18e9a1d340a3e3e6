#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "CodecFixtures.h"
#include "image/JpgImageImpl.h"

namespace {

using namespace codec_fixtures;
using image::CJpgImageImpl;
using Bytes = std::vector<std::uint8_t>;

// The frame header (SOFn) of a JPEG: its marker, where it starts, its components.
struct JpegFrame {
    int marker = 0;
    std::size_t at = 0;  // offset of the marker's 0xFF
    int components = 0;
};

JpegFrame FindFrame(const Bytes& file) {
    std::size_t at = 2;
    while (at + 10 <= file.size() && file[at] == 0xFF) {
        int marker = file[at + 1];
        std::size_t length = std::size_t{file[at + 2]} << 8 | file[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            return {marker, at, file[at + 9]};
        }
        at += 2 + length;
    }
    return {};
}

class JpgImageTest : public ::testing::Test {
protected:
    TempFolder scratch;

    // A vertical-and-horizontal grey ramp: every row differs from the others.
    std::string MakeGreyJpeg(int width, int height) {
        Bytes grey;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                grey.push_back(static_cast<std::uint8_t>((x * 4 + y * 11) % 256));
            }
        }
        std::string path = scratch / "grey.jpg";
        MagickFromRaw("gray", width, height, grey, "-quality 95", path, scratch);
        return path;
    }

    std::string MakeColourJpeg(int width, int height, const std::string& options = "-quality 95",
                               const std::string& name = "colour.jpg") {
        std::string path = scratch / name;
        MagickFromRaw("rgb", width, height, TestCardRgb(width, height), options, path, scratch);
        return path;
    }

    // A 24-bit picture of the test card.
    static void FillTestCard(CJpgImageImpl& picture, int width, int height) {
        ASSERT_GT(picture.Create(width, height, 24, -1), 0);
        auto rgb = TestCardRgb(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &rgb[3 * static_cast<std::size_t>(y * width + x)];
                picture.SetPixelRGB(x, height - 1 - y, p[0], p[1], p[2]);
            }
        }
    }
};

TEST_F(JpgImageTest, GreyJpegLoadsWithTheGreyRampAndItsTopRowLast) {
    const int width = 24;
    const int height = 10;
    std::string path = MakeGreyJpeg(width, height);
    ASSERT_EQ(FindFrame(ReadFileBytes(path)).components, 1);

    CJpgImageImpl picture("");
    ASSERT_TRUE(picture.ReadImage(path));
    EXPECT_EQ(picture.imageFileName, path);
    EXPECT_EQ(picture.imageWidth, width);
    EXPECT_EQ(picture.imageHeight, height);
    EXPECT_EQ(picture.imageBitCount, 8);
    EXPECT_EQ(picture.imageFlags, 3);
    ASSERT_TRUE(picture.imagePalette);
    ASSERT_EQ(picture.imagePalette->Size(), 256u);
    for (std::size_t i = 0; i < 256; ++i) {
        auto level = static_cast<std::uint8_t>(i);
        ASSERT_EQ(picture.imagePalette->At(i), (image::Color{level, level, level})) << i;
    }
    // Pixel values are the decoded grey values; the JPEG's top row is the
    // last row of the picture's bottom-up pixel block.
    auto expected = MagickSamples(path, "gray", scratch);
    ASSERT_EQ(expected.size(), std::size_t{width * height});
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* stored = picture.imageBits + (height - 1 - y) * picture.imageRowBytes;
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(stored[x], expected[static_cast<std::size_t>(y * width + x)]) << x << "," << y;
        }
    }
}

TEST_F(JpgImageTest, ColourJpegIsQuantisedToAtMost128Colours) {
    const int width = 64;
    const int height = 48;
    for (const char* options : {"-quality 95", "-quality 95 -interlace JPEG"}) {
        std::string path = MakeColourJpeg(width, height, options);
        ASSERT_EQ(FindFrame(ReadFileBytes(path)).components, 3);

        CJpgImageImpl picture("");
        ASSERT_TRUE(picture.ReadImage(path)) << options;
        EXPECT_EQ(picture.imageBitCount, 8);
        EXPECT_EQ(picture.imageFlags, 3);
        ASSERT_TRUE(picture.imagePalette);
        std::size_t count = picture.imagePalette->Size();
        EXPECT_LE(count, 128u);
        EXPECT_GT(count, 32u);  // the test card has thousands of colours
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                ASSERT_LT(static_cast<std::size_t>(picture.GetPixelIndex(x, y)), count);
            }
        }
        // Dithering spreads the error, but on average each sample stays close
        // to the full-colour decoding (a swapped channel or a misplaced row
        // would be off by tens of levels).
        EXPECT_LT(MeanError(PictureRgb(picture), MagickSamples(path, "rgb", scratch)), 8.0) << options;
    }
}

TEST_F(JpgImageTest, RefusesWhatIsNotAJpeg) {
    std::string png = scratch / "picture.png";
    MagickFromRaw("rgb", 4, 4, TestCardRgb(4, 4), "", png, scratch);
    for (const Bytes& bytes : {Bytes{'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'}, Bytes{}, ReadFileBytes(png)}) {
        CJpgImageImpl picture("");
        auto read = picture.ReadImageBytes(bytes);
        ASSERT_FALSE(read) << bytes.size();
        EXPECT_EQ(read.error().message, "not a JPEG file");
    }
}

// CMYK JPEGs (ImageMagick writes them as YCCK with Adobe's marker) read as
// 24-bit pictures of the colours their inks give.
TEST_F(JpgImageTest, CmykJpegReadsAsTheColoursOfItsInks) {
    const int width = 48;
    const int height = 32;
    std::string path = MakeColourJpeg(width, height, "-colorspace CMYK -quality 95", "cmyk.jpg");
    ASSERT_EQ(FindFrame(ReadFileBytes(path)).components, 4);
    CJpgImageImpl picture("");
    ASSERT_TRUE(picture.ReadImage(path));
    EXPECT_EQ(picture.imageBitCount, 24);
    EXPECT_EQ(picture.imageFlags, 2);
    EXPECT_FALSE(picture.imagePalette);
    // The same decoding as ImageMagick's but for rounding; close to the
    // original, as a JPEG of quality 95 is.
    auto ours = PictureRgb(picture);
    EXPECT_LT(MeanError(ours, MagickSamples(path, "rgb", scratch)), 1.0);
    EXPECT_LT(MeanError(ours, TestCardRgb(width, height)), 3.0);
}

// Flat 8 x 8 blocks of known inks, written by libjpeg in each way a CMYK JPEG
// can be stored: with Adobe's marker the inks are stored inverted.
TEST_F(JpgImageTest, CmykIsReadAlikeWithAndWithoutAdobesMarker) {
    const std::tuple<const char*, J_COLOR_SPACE, bool> ways[] = {
        {"CMYK with the marker", JCS_CMYK, true}, {"CMYK without it", JCS_CMYK, false}, {"YCCK", JCS_YCCK, true}};
    // Cyan, magenta, yellow, black of each block, and the colour it gives.
    const std::array<std::array<std::uint8_t, 4>, 4> inks = {
        {{255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 128}, {128, 64, 0, 64}}};
    const std::array<Rgb, 4> colours = {Rgb{0, 255, 255}, Rgb{255, 0, 0}, Rgb{127, 127, 127}, Rgb{95, 143, 191}};
    for (const auto& [name, stored, marker] : ways) {
        Bytes samples;
        for (std::size_t at = 0; at < 256; ++at) {
            for (std::uint8_t ink : inks[at / 128 * 2 + at % 16 / 8]) {
                samples.push_back(marker ? static_cast<std::uint8_t>(255 - ink) : ink);
            }
        }
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        unsigned char* encoded = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&cinfo, &encoded, &size);
        cinfo.image_width = cinfo.image_height = 16;
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_CMYK;
        jpeg_set_defaults(&cinfo);
        jpeg_set_colorspace(&cinfo, stored);
        cinfo.write_Adobe_marker = marker ? TRUE : FALSE;
        jpeg_set_quality(&cinfo, 100, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < 16) {
            JSAMPROW row = samples.data() + std::size_t{cinfo.next_scanline} * 64;
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        Bytes file(encoded, encoded + size);
        std::free(encoded);

        CJpgImageImpl picture("");
        ASSERT_TRUE(picture.ReadImageBytes(file)) << name;
        for (std::size_t block = 0; block < 4; ++block) {
            Rgb colour = PixelFromTop(picture, int(block % 2 * 8 + 4), int(block / 2 * 8 + 4));
            for (std::size_t c = 0; c < 3; ++c) {
                EXPECT_NEAR(colour[c], colours[block][c], 2) << name << ", block " << block << ", sample " << c;
            }
        }
    }
}

TEST_F(JpgImageTest, TruncatedJpegsAreRefused) {
    for (const std::string& path : {MakeGreyJpeg(32, 32), MakeColourJpeg(32, 32),
                                    MakeColourJpeg(32, 32, "-quality 80 -interlace JPEG", "progressive.jpg")}) {
        auto bytes = ReadFileBytes(path);
        for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 8) {
            CJpgImageImpl picture("");
            auto read = picture.ReadImageBytes(std::span(bytes).first(length));
            ASSERT_FALSE(read) << path << " cut to " << length;
            EXPECT_EQ(read.error().message, length < 2 ? "not a JPEG file" : "damaged JPEG (premature end of data)")
                << path << " cut to " << length;
        }
    }
}

TEST_F(JpgImageTest, CorruptedJpegsAreReadSafely) {
    auto bytes = ReadFileBytes(MakeColourJpeg(16, 16));
    JpegFrame frame = FindFrame(bytes);
    ASSERT_EQ(frame.marker, 0xC0);

    // Damage the library detects: a zero height or width, no components.
    for (std::size_t offset : {frame.at + 5, frame.at + 7, frame.at + 9}) {
        auto damaged = bytes;
        damaged[offset] = 0;
        damaged[offset + 1] = 0;  // for the component count, the first component's id
        CJpgImageImpl picture("");
        EXPECT_FALSE(picture.ReadImageBytes(damaged)) << offset;
    }
    // Every other single-byte damage either reads or fails, always cleanly
    // (the sanitizer build checks the memory behind this).
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        auto damaged = bytes;
        damaged[offset] ^= 0xA5;
        CJpgImageImpl picture("");
        if (auto read = picture.ReadImageBytes(damaged)) {
            EXPECT_EQ(picture.imageBitCount, 8);
            EXPECT_LE(picture.imagePalette->Size(), 256u);
        } else {
            // Every refusal gives its reason.
            const std::string& reason = read.error().message;
            EXPECT_TRUE(reason == "not a JPEG file" || reason == "the JPEG picture is too large" ||
                        (reason.starts_with("damaged JPEG (") && reason.ends_with(")")))
                << offset << ": " << reason;
        }
    }
}

TEST_F(JpgImageTest, WritesABaselineJpegAtQuality30CloseToTheOriginal) {
    const int width = 128;
    const int height = 96;
    CJpgImageImpl picture(scratch / "card.jpg");
    EXPECT_EQ(picture.imageQuality, 30);
    FillTestCard(picture, width, height);
    ASSERT_TRUE(picture.WriteImage(""));
    std::string path = scratch / "card.jpg";
    JpegFrame frame = FindFrame(ReadFileBytes(path));
    EXPECT_EQ(frame.marker, 0xC0);  // baseline
    EXPECT_EQ(frame.components, 3);
    EXPECT_EQ(RunShell("identify -format %Q:%wx%h " + ShellQuote(path), scratch).out, "30:128x96");
    // Quality 30 scales the standard quantisation tables by 5/3 and halves the
    // chroma resolution; on a smooth picture that costs about two levels per
    // sample on average. Four allows for the encoder's choices while a swapped
    // channel or a flipped picture costs tens of levels.
    EXPECT_LT(MeanError(MagickSamples(path, "rgb", scratch), TestCardRgb(width, height)), 4.0);

    // Our reader takes it back as a quantised picture of the same size.
    CJpgImageImpl back("");
    ASSERT_TRUE(back.ReadImage(path));
    EXPECT_EQ(back.imageWidth, width);
    EXPECT_EQ(back.imageHeight, height);
    EXPECT_LT(MeanError(PictureRgb(back), TestCardRgb(width, height)), 8.0);
}

TEST_F(JpgImageTest, PalettisedAndGreyPicturesAreWrittenThroughTheirColours) {
    // Four 16 x 16 quadrants, each one index: flat blocks survive JPEG coding
    // almost exactly. Index 3 has no palette entry and is written as black.
    const std::uint8_t red[] = {200, 0, 40};
    const std::uint8_t green[] = {30, 180, 40};
    const std::uint8_t blue[] = {30, 60, 220};
    CJpgImageImpl picture("");
    ASSERT_GT(picture.Create(32, 32, 8, -1), 0);
    ASSERT_NE(picture.SetPaletteRGB(3, red, green, blue), 0);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            picture.SetPixelIndex(x, y, (y / 16) * 2 + x / 16);  // y counts from the bottom
        }
    }
    std::string path = scratch / "palette.jpg";
    picture.imageQuality = 90;
    ASSERT_TRUE(picture.WriteImage(path));
    auto decoded = MagickSamples(path, "rgb", scratch);
    ASSERT_EQ(decoded.size(), 32u * 32u * 3u);
    auto at = [&](int x, int yFromTop) { return &decoded[3 * static_cast<std::size_t>(yFromTop * 32 + x)]; };
    const Rgb expected[4] = {{200, 30, 30}, {0, 180, 60}, {40, 40, 220}, {0, 0, 0}};
    for (int index = 0; index < 4; ++index) {
        int x = (index % 2) * 16 + 8;
        int yFromTop = 31 - ((index / 2) * 16 + 8);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(at(x, yFromTop)[c], expected[index][static_cast<std::size_t>(c)], 12) << index << "/" << c;
        }
    }

    // An 8-bit picture without a palette holds grey values.
    CJpgImageImpl grey("");
    ASSERT_GT(grey.Create(16, 16, 8, -1), 0);
    std::fill(grey.imageBits, grey.imageBits + 16 * grey.imageRowBytes, std::uint8_t{140});
    ASSERT_TRUE(grey.WriteImage(scratch / "grey.jpg"));
    for (std::uint8_t sample : MagickSamples(scratch / "grey.jpg", "rgb", scratch)) {
        ASSERT_NEAR(sample, 140, 4);
    }
}

TEST_F(JpgImageTest, PicturesTheWriterCannotDescribeWriteNoFile) {
    std::string path = scratch / "refused.jpg";
    for (int bits : {0, 16, 32}) {
        CJpgImageImpl picture("");
        ASSERT_TRUE(bits == 0 || picture.Create(8, 8, bits, -1) > 0) << bits;
        auto written = picture.WriteImage(path);
        ASSERT_FALSE(written) << bits;
        EXPECT_EQ(written.error().message, "only pictures of 1, 2, 4, 8 or 24 bits per pixel can be written as JPEG");
        EXPECT_FALSE(std::filesystem::exists(path)) << bits;
    }
}

// Pictures of fewer than 8 bits are written in the colours of their palette.
TEST_F(JpgImageTest, PicturesOfFewerBitsAreWrittenInTheirColours) {
    const std::string path = scratch / "indexed.jpg";
    for (int bits : {1, 2, 4}) {
        CJpgImageImpl picture("");
        ASSERT_GT(picture.Create(16, 8, bits, -1), 0);
        std::vector<image::Color> palette(std::size_t{1} << bits, image::Color{0, 0, 0});
        palette.back() = {200, 30, 90};
        picture.SetPaletteObject(std::make_unique<image::CImagePalette>(palette));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) {
                picture.SetPixelIndex(x, y, x < 8 ? 0 : (1 << bits) - 1);
            }
        }
        ASSERT_TRUE(picture.WriteImage(path)) << bits;
        const Bytes samples = MagickSamples(path, "rgb", scratch);
        ASSERT_EQ(samples.size(), 16u * 8u * 3u);
        // Row 4, the middle of each half.
        const std::size_t left = (4 * 16 + 3) * 3;
        const std::size_t right = (4 * 16 + 12) * 3;
        EXPECT_NEAR(samples[left], 0, 8) << bits;
        EXPECT_NEAR(samples[right], 200, 8) << bits;
        EXPECT_NEAR(samples[right + 1], 30, 8) << bits;
        EXPECT_NEAR(samples[right + 2], 90, 8) << bits;
    }
}

}  // namespace

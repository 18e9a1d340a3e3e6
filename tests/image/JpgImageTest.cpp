#include <filesystem>

#include <gtest/gtest.h>

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

TEST_F(JpgImageTest, RefusesWhatIsNotAGreyOrColourJpeg) {
    std::string png = scratch / "picture.png";
    MagickFromRaw("rgb", 4, 4, TestCardRgb(4, 4), "", png, scratch);
    std::string cmyk = scratch / "cmyk.jpg";
    MagickFromRaw("rgb", 16, 16, TestCardRgb(16, 16), "-colorspace CMYK", cmyk, scratch);
    ASSERT_EQ(FindFrame(ReadFileBytes(cmyk)).components, 4);
    const std::pair<const char*, Bytes> cases[] = {
        {"text", {'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'}},
        {"nothing", {}},
        {"a PNG", ReadFileBytes(png)},
        {"CMYK", ReadFileBytes(cmyk)},
    };
    for (const auto& [name, bytes] : cases) {
        CJpgImageImpl picture("");
        auto read = picture.ReadImageBytes(bytes);
        ASSERT_FALSE(read) << name;
        EXPECT_FALSE(picture.HasPicture()) << name;
        if (std::string(name) == "CMYK") {
            EXPECT_EQ(read.error().message, "Only grey and RGB colour JPEG pictures can be read.");
        } else {
            EXPECT_EQ(read.error().message.rfind("This is not a JPEG file", 0), 0u) << read.error().message;
        }
    }
}

TEST_F(JpgImageTest, TruncatedJpegsAreRefused) {
    for (const std::string& path : {MakeGreyJpeg(32, 32), MakeColourJpeg(32, 32),
                                    MakeColourJpeg(32, 32, "-quality 80 -interlace JPEG", "progressive.jpg")}) {
        auto bytes = ReadFileBytes(path);
        for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 8) {
            CJpgImageImpl picture("");
            EXPECT_FALSE(picture.ReadImageBytes(std::span(bytes).first(length))) << path << " cut to " << length;
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
        if (picture.ReadImageBytes(damaged)) {
            EXPECT_EQ(picture.imageBitCount, 8);
            EXPECT_LE(picture.imagePalette->Size(), 256u);
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
    for (int bits : {0, 1, 4, 16, 32}) {
        CJpgImageImpl picture("");
        ASSERT_TRUE(bits == 0 || picture.Create(8, 8, bits, -1) > 0) << bits;
        auto written = picture.WriteImage(path);
        ASSERT_FALSE(written) << bits;
        EXPECT_EQ(written.error().message, "Only pictures of 8 or 24 bits per pixel can be written as JPEG.");
        EXPECT_FALSE(std::filesystem::exists(path)) << bits;
    }
}

}  // namespace

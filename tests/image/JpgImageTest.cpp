#include <chrono>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "image/JpgImageImpl.h"
#include "CodecFixtures.h"
#include "support/ScriptedUserInterface.h"

namespace {

using namespace codec_fixtures;
using image::CJpgImageImpl;

// The frame header (SOFn) of a JPEG: its marker, where it starts, its components.
struct JpegFrame {
    int marker = 0;
    std::size_t at = 0;  // offset of the marker's 0xFF
    int components = 0;
};

JpegFrame FindFrame(const std::vector<std::uint8_t>& file) {
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

class JpgImageTest : public ::testing::Test, public testing_support::WithScriptedUi {
protected:
    TempFolder scratch;

    // A vertical-and-horizontal grey ramp: every row differs from the others.
    std::string MakeGreyJpeg(int width, int height, const std::string& options = "-quality 95",
                             const std::string& name = "grey.jpg") {
        std::vector<std::uint8_t> grey;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                grey.push_back(static_cast<std::uint8_t>((x * 4 + y * 11) % 256));
            }
        }
        std::string path = scratch / name;
        MagickFromRaw("gray", width, height, grey, options, path, scratch);
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
    ASSERT_EQ(picture.ReadImage(path), 1);
    EXPECT_EQ(picture.imageFileName, path);
    EXPECT_EQ(picture.imageWidth, width);
    EXPECT_EQ(picture.imageHeight, height);
    EXPECT_EQ(picture.imageBitCount, 8);
    EXPECT_EQ(picture.imageFlags, 3);
    ASSERT_TRUE(picture.imagePalette);
    ASSERT_EQ(picture.imagePalette->GetEntryCount(), 256u);
    for (int i = 0; i < 256; ++i) {
        std::uint8_t r = 1, g = 1, b = 1;
        ASSERT_EQ(picture.imagePalette->GetEntryRGB(i, r, g, b), 1);
        ASSERT_EQ(Rgb({r, g, b}), Rgb({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)})) << i;
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
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(JpgImageTest, ColourJpegIsQuantisedToAtMost128Colours) {
    const int width = 64;
    const int height = 48;
    for (const char* options : {"-quality 95", "-quality 95 -interlace JPEG"}) {
        std::string path = MakeColourJpeg(width, height, options);
        ASSERT_EQ(FindFrame(ReadFileBytes(path)).components, 3);

        CJpgImageImpl picture("");
        ASSERT_EQ(picture.ReadImage(path), 1) << options;
        EXPECT_EQ(picture.imageBitCount, 8);
        EXPECT_EQ(picture.imageFlags, 3);
        ASSERT_TRUE(picture.imagePalette);
        std::size_t count = picture.imagePalette->GetEntryCount();
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

TEST_F(JpgImageTest, FilesThatAreNotJpegsGiveZeroWithoutANotice) {
    std::string text = scratch / "text.jpg";
    WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'});
    std::string empty = scratch / "empty.jpg";
    WriteFileBytes(empty, {});
    std::string png = scratch / "picture.jpg";
    MagickFromRaw("rgb", 4, 4, TestCardRgb(4, 4), "", "PNG:" + png, scratch);
    std::string cmyk = scratch / "cmyk.jpg";
    MagickFromRaw("rgb", 16, 16, TestCardRgb(16, 16), "-colorspace CMYK", cmyk, scratch);
    ASSERT_EQ(FindFrame(ReadFileBytes(cmyk)).components, 4);

    for (const std::string& path : {text, empty, png, scratch / "missing.jpg", cmyk}) {
        CJpgImageImpl picture("");
        EXPECT_EQ(picture.ReadImage(path), 0) << path;
    }
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(JpgImageTest, TruncatedJpegsGiveZero) {
    std::vector<std::string> files = {MakeGreyJpeg(32, 32), MakeColourJpeg(32, 32),
                                      MakeColourJpeg(32, 32, "-quality 80 -interlace JPEG", "progressive.jpg")};
    for (const std::string& path : files) {
        auto bytes = ReadFileBytes(path);
        std::string cut = scratch / "cut.jpg";
        for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 8) {
            ReplaceFile(cut, {bytes.begin(), bytes.begin() + static_cast<long>(length)});
            CJpgImageImpl picture("");
            EXPECT_EQ(picture.ReadImage(cut), 0) << path << " cut to " << length;
        }
    }
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(JpgImageTest, CorruptedJpegsAreReadSafely) {
    auto bytes = ReadFileBytes(MakeColourJpeg(16, 16));
    JpegFrame frame = FindFrame(bytes);
    ASSERT_EQ(frame.marker, 0xC0);
    std::string path = scratch / "damaged.jpg";

    // Damage the library detects: a zero height or width, no components.
    for (std::size_t offset : {frame.at + 5, frame.at + 7, frame.at + 9}) {
        auto damaged = bytes;
        damaged[offset] = 0;
        damaged[offset + 1] = 0;  // for the component count, the first component's id
        ReplaceFile(path, damaged);
        CJpgImageImpl picture("");
        EXPECT_EQ(picture.ReadImage(path), 0) << offset;
    }
    // Every other single-byte damage either reads or fails, always cleanly
    // (the sanitizer build checks the memory behind this).
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        auto damaged = bytes;
        damaged[offset] ^= 0xA5;
        ReplaceFile(path, damaged);
        CJpgImageImpl picture("");
        int result = picture.ReadImage(path);
        if (result == 1) {
            EXPECT_EQ(picture.imageBitCount, 8);
            EXPECT_LE(picture.imagePalette->GetEntryCount(), 256u);
        }
    }
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(JpgImageTest, EnormousDimensionsAreRefusedBeforeAllocating) {
    auto bytes = ReadFileBytes(MakeGreyJpeg(16, 16));
    JpegFrame frame = FindFrame(bytes);
    ASSERT_NE(frame.marker, 0);
    std::string path = scratch / "huge.jpg";
    for (std::uint16_t side : {std::uint16_t{65500}, std::uint16_t{30000}}) {
        auto huge = bytes;
        huge[frame.at + 5] = huge[frame.at + 7] = static_cast<std::uint8_t>(side >> 8);
        huge[frame.at + 6] = huge[frame.at + 8] = static_cast<std::uint8_t>(side & 0xFF);
        ReplaceFile(path, huge);
        auto start = std::chrono::steady_clock::now();
        CJpgImageImpl picture("");
        EXPECT_EQ(picture.ReadImage(path), 0) << side;
        EXPECT_FALSE(picture.HasPicture());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << side;
    }
}

TEST_F(JpgImageTest, WritesA24BitPixelAsRedGreenBlueAtQuality30) {
    CJpgImageImpl picture(scratch / "flat.jpg");
    EXPECT_EQ(picture.imageQuality, 30);
    ASSERT_GT(picture.Create(16, 16, 24, -1), 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            picture.SetPixelRGB(x, y, 30, 20, 10);
        }
    }
    ASSERT_EQ(Rgb({picture.imageBits[0], picture.imageBits[1], picture.imageBits[2]}), Rgb({10, 20, 30}));
    ASSERT_EQ(picture.WriteImage(""), 1);

    std::string path = scratch / "flat.jpg";
    auto bytes = ReadFileBytes(path);
    JpegFrame frame = FindFrame(bytes);
    EXPECT_EQ(frame.marker, 0xC0);  // baseline
    EXPECT_EQ(frame.components, 3);
    auto quality = RunShell("identify -format %Q " + ShellQuote(path), scratch);
    EXPECT_EQ(quality.out, "30");
    auto decoded = MagickSamples(path, "rgb", scratch);
    ASSERT_EQ(decoded.size(), 16u * 16u * 3u);
    // A flat colour keeps only its DC terms; their quantisation at quality 30
    // moves a sample by a few levels at most.
    for (std::size_t i = 0; i < decoded.size(); i += 3) {
        EXPECT_NEAR(decoded[i], 30, 4);
        EXPECT_NEAR(decoded[i + 1], 20, 4);
        EXPECT_NEAR(decoded[i + 2], 10, 4);
    }
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
    ASSERT_EQ(picture.WriteImage(path), 1);
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
    ASSERT_EQ(grey.WriteImage(scratch / "grey.jpg"), 1);
    for (std::uint8_t sample : MagickSamples(scratch / "grey.jpg", "rgb", scratch)) {
        ASSERT_NEAR(sample, 140, 4);
    }
}

TEST_F(JpgImageTest, PeerReadsOurQuality30JpegCloseToTheOriginal) {
    const int width = 128;
    const int height = 96;
    CJpgImageImpl picture("");
    FillTestCard(picture, width, height);
    std::string path = scratch / "card.jpg";
    ASSERT_EQ(picture.WriteImage(path), 1);
    ASSERT_EQ(RunShell("identify -format %wx%h " + ShellQuote(path), scratch).out, "128x96");
    // Quality 30 scales the standard quantisation tables by 5/3 and halves the
    // chroma resolution; on a smooth picture that costs about two levels per
    // sample on average. Four allows for the encoder's choices while a swapped
    // channel or a flipped picture costs tens of levels.
    double error = MeanError(MagickSamples(path, "rgb", scratch), TestCardRgb(width, height));
    EXPECT_LT(error, 4.0);

    // Our reader takes it back as a quantised picture of the same size.
    CJpgImageImpl back("");
    ASSERT_EQ(back.ReadImage(path), 1);
    EXPECT_EQ(back.imageWidth, width);
    EXPECT_EQ(back.imageHeight, height);
    EXPECT_LT(MeanError(PictureRgb(back), TestCardRgb(width, height)), 8.0);
}

TEST_F(JpgImageTest, PicturesTheWriterCannotDescribeWriteNoFile) {
    std::string path = scratch / "refused.jpg";
    CJpgImageImpl empty("");
    EXPECT_EQ(empty.WriteImage(path), 0);
    for (int bits : {1, 4, 16, 32}) {
        CJpgImageImpl picture("");
        ASSERT_GT(picture.Create(8, 8, bits, -1), 0) << bits;
        EXPECT_EQ(picture.WriteImage(path), 0) << bits;
        EXPECT_FALSE(std::filesystem::exists(path)) << bits;
    }
    CJpgImageImpl picture("");
    ASSERT_GT(picture.Create(8, 8, 24, -1), 0);
    EXPECT_EQ(picture.WriteImage(scratch / "no-such-folder/out.jpg"), 0);
}

TEST_F(JpgImageTest, AFailedWriteLeavesNoPartialFile) {
    CJpgImageImpl picture("");
    FillTestCard(picture, 256, 256);
    std::string path = scratch / "cut-short.jpg";
    // The file size limit makes the system refuse writes beyond 1 KiB.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = picture.WriteImage(path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

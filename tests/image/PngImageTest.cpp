#include <filesystem>

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "image/JpgImageImpl.h"
#include "image/PngImageImpl.h"

namespace {

using namespace codec_fixtures;
using image::CPngImageImpl;

constexpr Rgb kWhite{255, 255, 255};

// A distinct colour for each palette slot k.
Rgb SlotColour(int k) {
    return {static_cast<std::uint8_t>(k * 37 % 256), static_cast<std::uint8_t>(k * 91 % 256),
            static_cast<std::uint8_t>((k * 53 + 20) % 256)};
}

// One kind of PNG that ImageMagick writes and what reading it must give.
struct PngKind {
    const char* name;
    int colourType;
    int bitDepth;
    int pictureBits;   // 1, 4, 8 or 24
    int pictureFlags;  // the colour type, with bits 0 and 1 set once a palette is made
    int paletteSize;   // grey levels or palette slots used; 0 for colour pictures
};

std::ostream& operator<<(std::ostream& out, const PngKind& kind) {
    return out << kind.name;
}

constexpr int kWidth = 5;  // odd, so that packed rows end inside a byte
constexpr int kHeight = 5;

class PngKindTest : public ::testing::TestWithParam<PngKind> {
protected:
    TempFolder scratch;

    bool HasAlpha() const { return (GetParam().colourType & 4) != 0; }
    static bool Transparent(int x, int y) { return x == 0 && y % 2 == 0; }

    // The colour each pixel must have after reading (top row first).
    Rgb Expected(int x, int y) const {
        const PngKind& kind = GetParam();
        int k = x + kWidth * y;
        if (HasAlpha() && Transparent(x, y)) {
            return kWhite;
        }
        if (kind.colourType == 3) {
            return SlotColour(k % kind.paletteSize);
        }
        if ((kind.colourType & 2) == 0) {
            int levels = kind.paletteSize;
            auto grey = static_cast<std::uint8_t>((k * 3 % levels) * 255 / (levels - 1));
            return {grey, grey, grey};
        }
        return {static_cast<std::uint8_t>(x * 36), static_cast<std::uint8_t>(y * 60 + 3),
                static_cast<std::uint8_t>(255 - k * 7)};
    }

    // Makes the PNG with ImageMagick and checks that it is of the kind asked for.
    std::string Make(bool interlaced) {
        const PngKind& kind = GetParam();
        std::vector<std::uint8_t> rgba;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                Rgb colour = Expected(x, y);
                if (HasAlpha() && Transparent(x, y)) {
                    colour = {90, 90, 90};  // hidden by the alpha channel
                }
                rgba.insert(rgba.end(), colour.begin(), colour.end());
                rgba.push_back(HasAlpha() && Transparent(x, y) ? 0 : 255);
            }
        }
        std::string path = scratch / (interlaced ? "interlaced.png" : "plain.png");
        // Without bKGD, ImageMagick need not find room in the palette for the background colour.
        std::string options = "-define png:exclude-chunk=bKGD -define png:color-type=" +
                              std::to_string(kind.colourType) +
                              " -define png:bit-depth=" + std::to_string(kind.bitDepth) +
                              (HasAlpha() ? "" : " -alpha off") + (interlaced ? " -interlace PNG" : "");
        MagickFromRaw("rgba", kWidth, kHeight, rgba, options, path, scratch);
        PngHeader header = ReadPngHeader(path);
        EXPECT_EQ(header.colourType, kind.colourType);
        EXPECT_EQ(header.bitDepth, kind.bitDepth);
        EXPECT_EQ(header.interlace, interlaced ? 1 : 0);
        return path;
    }
};

// Palette and grey PNGs keep their depth (2 bits become 4) and a colour table
// of as many entries as the palette or the grey levels.
TEST_P(PngKindTest, LoadsAtItsDepthWithTheExpectedPixelsInterlacedOrNot) {
    const PngKind& kind = GetParam();
    CPngImageImpl plain("");
    std::string path = Make(false);
    ASSERT_TRUE(plain.ReadImage(path));
    EXPECT_EQ(plain.imageWidth, kWidth);
    EXPECT_EQ(plain.imageHeight, kHeight);
    EXPECT_EQ(plain.imageBitCount, kind.pictureBits);
    EXPECT_EQ(plain.imageFlags, kind.pictureFlags);
    EXPECT_EQ(std::uint64_t(plain.imageRowBytes), image::DibRowBytes(std::uint32_t(kind.pictureBits), kWidth));
    if (kind.pictureBits <= 8) {
        ASSERT_TRUE(plain.imagePalette);
        std::size_t entries = plain.imagePalette->Size();
        EXPECT_EQ(image::DibColorCount(*plain.imageDib), entries);
        if (kind.colourType == 3) {
            // As many entries as the PLTE chunk.
            for (const PngChunk& chunk : PngChunks(ReadFileBytes(path))) {
                if (chunk.type == "PLTE") {
                    EXPECT_EQ(entries, chunk.data.size() / 3);
                }
            }
            EXPECT_GE(entries, std::size_t(kind.paletteSize));
        } else {
            EXPECT_EQ(entries, std::size_t(kind.paletteSize));
        }
    } else {
        EXPECT_FALSE(plain.imagePalette);
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(PixelFromTop(plain, x, y), Expected(x, y)) << "pixel " << x << "," << y;
        }
    }

    // The interlaced twin gives the same picture, byte for byte.
    CPngImageImpl interlaced("");
    ASSERT_TRUE(interlaced.ReadImage(Make(true)));
    ASSERT_EQ(interlaced.imageRowBytes, plain.imageRowBytes);
    ASSERT_EQ(interlaced.imageHeight, plain.imageHeight);
    EXPECT_TRUE(std::equal(plain.imageBits, plain.imageBits + plain.imageRowBytes * plain.imageHeight,
                           interlaced.imageBits));
    EXPECT_EQ(PictureRgb(interlaced), PictureRgb(plain));
}

INSTANTIATE_TEST_SUITE_P(AllColourTypes, PngKindTest,
                         ::testing::Values(PngKind{"Grey1", 0, 1, 1, 3, 2}, PngKind{"Grey2", 0, 2, 4, 3, 4},
                                           PngKind{"Grey4", 0, 4, 4, 3, 16}, PngKind{"Grey8", 0, 8, 8, 3, 256},
                                           PngKind{"Grey16", 0, 16, 8, 3, 256},
                                           PngKind{"GreyAlpha8", 4, 8, 8, 7, 256},
                                           PngKind{"GreyAlpha16", 4, 16, 8, 7, 256}, PngKind{"Rgb8", 2, 8, 24, 2, 0},
                                           PngKind{"Rgb16", 2, 16, 24, 2, 0}, PngKind{"Rgba8", 6, 8, 24, 6, 0},
                                           PngKind{"Rgba16", 6, 16, 24, 6, 0}, PngKind{"Palette1", 3, 1, 1, 3, 2},
                                           PngKind{"Palette2", 3, 2, 4, 3, 4}, PngKind{"Palette4", 3, 4, 4, 3, 16},
                                           PngKind{"Palette8", 3, 8, 8, 3, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

class PngImageTest : public ::testing::Test {
protected:
    TempFolder scratch;

    // The picture read back through ImageMagick must have exactly our colours.
    void ExpectPeerReadsExactly(const image::CImageImpl& picture, const std::string& path) {
        EXPECT_EQ(MagickSamples(path, "rgb", scratch), PictureRgb(picture)) << path;
    }
};

TEST_F(PngImageTest, WritesEveryDepthSoThatThePeerAndWeReadOurPixels) {
    struct Case {
        const char* name;
        int bits;
        int colours;  // palette entries; 0 for none
        int colourType;
        int bitDepth;
    };
    const Case cases[] = {
        {"24 bits", 24, 0, 2, 8},
        {"1 bit, 2 colours", 1, 2, 3, 1},
        {"4 bits, 16 colours", 4, 16, 3, 4},
        {"8 bits, 16 colours", 8, 16, 3, 8},
        {"8 bits of grey", 8, 0, 0, 8},
    };
    for (const Case& c : cases) {
        CPngImageImpl picture("");
        ASSERT_GT(picture.Create(13, 3, c.bits, -1), 0) << c.name;
        std::vector<std::uint8_t> triples;
        for (int k = 0; k < c.colours; ++k) {
            Rgb colour = SlotColour(k);
            triples.insert(triples.end(), colour.begin(), colour.end());
        }
        if (c.colours > 0) {
            ASSERT_NE(picture.SetPaletteTriples(c.colours, triples.data()), 0);
        }
        std::vector<std::uint8_t> expected;  // red, green, blue, top row first
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                int k = x * 5 + y;
                Rgb colour = SlotColour(k);
                if (c.bits == 24) {
                    picture.SetPixelRGB(x, 2 - y, colour[0], colour[1], colour[2]);
                } else if (c.colours > 0) {
                    picture.SetPixelIndex(x, 2 - y, k % c.colours);
                    colour = SlotColour(k % c.colours);
                } else {
                    picture.SetPixelIndex(x, 2 - y, k * 4);  // a grey value
                    colour.fill(static_cast<std::uint8_t>(k * 4));
                }
                expected.insert(expected.end(), colour.begin(), colour.end());
            }
        }
        std::string path = scratch / "out.png";
        ASSERT_TRUE(picture.WriteImage(path)) << c.name;
        PngHeader header = ReadPngHeader(path);
        EXPECT_EQ(header.colourType, c.colourType) << c.name;
        EXPECT_EQ(header.bitDepth, c.bitDepth) << c.name;
        EXPECT_EQ(header.interlace, 0) << c.name;
        EXPECT_EQ(MagickSamples(path, "rgb", scratch), expected) << c.name;
        CPngImageImpl back("");
        ASSERT_TRUE(back.ReadImage(path)) << c.name;
        EXPECT_EQ(PictureRgb(back), expected) << c.name;
        if (c.colourType == 3) {
            // The palette fills a table of the depth; entries beyond it are black.
            for (const PngChunk& chunk : PngChunks(ReadFileBytes(path))) {
                if (chunk.type == "PLTE") {
                    ASSERT_EQ(chunk.data.size(), 3u << c.bits) << c.name;
                    EXPECT_TRUE(std::equal(triples.begin(), triples.end(), chunk.data.begin())) << c.name;
                    EXPECT_TRUE(std::all_of(chunk.data.begin() + static_cast<long>(triples.size()), chunk.data.end(),
                                            [](std::uint8_t v) { return v == 0; }))
                        << c.name;
                }
            }
        }
    }
}

TEST_F(PngImageTest, PicturesReadWithAlphaAreWrittenWithoutIt) {
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 12; ++i) {
        rgba.insert(rgba.end(), {std::uint8_t(i * 20), std::uint8_t(i * 20), std::uint8_t(i * 20),
                                 std::uint8_t(i % 3 == 0 ? 0 : 255)});
    }
    MagickFromRaw("rgba", 4, 3, rgba, "-define png:color-type=6", scratch / "rgba.png", scratch);
    MagickFromRaw("rgba", 4, 3, rgba, "-define png:color-type=4", scratch / "greyalpha.png", scratch);
    for (const char* name : {"rgba.png", "greyalpha.png"}) {
        CPngImageImpl picture("");
        ASSERT_TRUE(picture.ReadImage(scratch / name)) << name;
        std::string out = scratch / (std::string("again-") + name);
        ASSERT_TRUE(picture.WriteImage(out)) << name;
        EXPECT_EQ(ReadPngHeader(out).colourType, picture.imageBitCount == 24 ? 2 : 3) << name;
        ExpectPeerReadsExactly(picture, out);
    }
}

TEST_F(PngImageTest, PicturesTheWriterCannotDescribeWriteNoFile) {
    std::string path = scratch / "refused.png";
    // No picture; 16 and 32 bits; palette flags without a palette.
    const std::pair<int, int> cases[] = {{0, -1}, {16, -1}, {32, -1}, {8, 3}};
    for (auto [bits, flags] : cases) {
        CPngImageImpl picture("");
        ASSERT_TRUE(bits == 0 || picture.Create(8, 8, bits, flags) > 0) << bits;
        auto written = picture.WriteImage(path);
        ASSERT_FALSE(written) << bits;
        EXPECT_EQ(written.error().message, "only pictures of 1, 2, 4, 8 and 24 bits per pixel can be written as PNG");
        EXPECT_FALSE(std::filesystem::exists(path)) << bits;
    }
}

TEST_F(PngImageTest, TruncatedPngsAreRefused) {
    for (bool interlaced : {false, true}) {
        std::string path = scratch / "whole.png";
        MagickFromRaw("rgb", 20, 12, TestCardRgb(20, 12), interlaced ? "-interlace PNG" : "", path, scratch);
        auto bytes = ReadFileBytes(path);
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            CPngImageImpl picture("");
            auto read = picture.ReadImageBytes(std::span(bytes).first(length));
            ASSERT_FALSE(read) << "cut to " << length;
            EXPECT_EQ(read.error().message, length == 0 ? "not a PNG file" : "damaged PNG (premature end of data)")
                << "cut to " << length;
        }
    }
}

TEST_F(PngImageTest, CorruptedPngsAreReadSafely) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 9 * 7; ++i) {
        Rgb c = SlotColour(i % 11);
        rgb.insert(rgb.end(), c.begin(), c.end());
    }
    std::string path = scratch / "source.png";
    MagickFromRaw("rgb", 9, 7, rgb, "-define png:exclude-chunk=bKGD -define png:color-type=3 -define png:bit-depth=4",
                  path, scratch);
    ASSERT_EQ(ReadPngHeader(path).bitDepth, 4);
    auto bytes = ReadFileBytes(path);
    // What damage to each byte must give: a refusal in the signature and the
    // critical chunks (their CRCs catch it), a picture from damage to the data
    // and CRC of ancillary chunks (skipped with a warning); a damaged length
    // or type may go either way.
    enum Expect { kFails, kReads, kEither };
    std::vector<Expect> expect(bytes.size(), kFails);
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        std::size_t length = BigEndian32(&bytes[at]);
        if ((bytes[at + 4] & 0x20) != 0) {
            std::fill(expect.begin() + static_cast<long>(at), expect.begin() + static_cast<long>(at + 8), kEither);
            std::fill(expect.begin() + static_cast<long>(at + 8), expect.begin() + static_cast<long>(at + 12 + length),
                      kReads);
        }
        at += 12 + length;
    }
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        auto damaged = bytes;
        damaged[offset] ^= 0x5A;
        CPngImageImpl picture("");
        auto result = picture.ReadImageBytes(damaged);
        bool read = result.has_value();
        if (expect[offset] != kEither) {
            EXPECT_EQ(read, expect[offset] == kReads) << offset;
        }
        if (!read) {
            // Every refusal gives its reason.
            const std::string& reason = result.error().message;
            EXPECT_TRUE(reason == "not a PNG file" || reason == "the PNG picture is too large" ||
                        (reason.starts_with("damaged PNG (") && reason.ends_with(")")))
                << offset << ": " << reason;
        }
    }
}

TEST_F(PngImageTest, ConvertCommandReadsAndWritesJpegAndPng) {
    std::string png = scratch / "in.png";
    MagickFromRaw("rgb", 32, 24, TestCardRgb(32, 24), "", png, scratch);
    std::string jpg = scratch / "out.jpg";
    std::string again = scratch / "again.png";
    auto toJpeg = testing_support::RunCli({"convert", png, jpg}, scratch);
    ASSERT_EQ(toJpeg.status, 0) << toJpeg.err;
    auto toPng = testing_support::RunCli({"convert", jpg, again}, scratch);
    ASSERT_EQ(toPng.status, 0) << toPng.err;
    EXPECT_EQ(RunShell("identify -format %m:%wx%h " + ShellQuote(jpg), scratch).out, "JPEG:32x24");
    // The JPEG reads as a quantised palette picture, which is written as a palette PNG.
    EXPECT_EQ(ReadPngHeader(again).colourType, 3);
    image::CJpgImageImpl fromJpeg("");
    ASSERT_TRUE(fromJpeg.ReadImage(jpg));
    ExpectPeerReadsExactly(fromJpeg, again);
}

}  // namespace

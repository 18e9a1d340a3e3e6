#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "image/JpgImageImpl.h"
#include "image/PngImageImpl.h"
#include "support/ScriptedUserInterface.h"

namespace {

using namespace codec_fixtures;
using image::CPngImageImpl;

constexpr Rgb kBackground{31, 127, 255};

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
    int pictureBits;   // 8 or 24
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
            // Grey PNGs are composited against the background's grey value, 0.
            return (kind.colourType & 2) != 0 ? kBackground : Rgb{0, 0, 0};
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

TEST_P(PngKindTest, LoadsWithTheExpectedPixelsInterlacedOrNot) {
    const PngKind& kind = GetParam();
    CPngImageImpl plain("");
    std::string path = Make(false);
    ASSERT_EQ(plain.ReadImage(path), 1);
    EXPECT_EQ(plain.imageWidth, kWidth);
    EXPECT_EQ(plain.imageHeight, kHeight);
    EXPECT_EQ(plain.imageBitCount, kind.pictureBits);
    EXPECT_EQ(plain.imageFlags, kind.pictureFlags);
    if (kind.pictureBits == 8) {
        // One index or grey value per byte, whatever the PNG's bit depth.
        EXPECT_EQ(plain.imageRowBytes, 8);
        ASSERT_TRUE(plain.imagePalette);
        std::size_t entries = plain.imagePalette->GetEntryCount();
        if (kind.colourType == 3) {
            // The palette has as many entries as the PLTE chunk.
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
    ASSERT_EQ(interlaced.ReadImage(Make(true)), 1);
    ASSERT_EQ(interlaced.imageRowBytes, plain.imageRowBytes);
    ASSERT_EQ(interlaced.imageHeight, plain.imageHeight);
    EXPECT_TRUE(std::equal(plain.imageBits, plain.imageBits + plain.imageRowBytes * plain.imageHeight,
                           interlaced.imageBits));
    EXPECT_EQ(PictureRgb(interlaced), PictureRgb(plain));
}

INSTANTIATE_TEST_SUITE_P(AllColourTypes, PngKindTest,
                         ::testing::Values(PngKind{"Grey1", 0, 1, 8, 3, 2}, PngKind{"Grey2", 0, 2, 8, 3, 4},
                                           PngKind{"Grey4", 0, 4, 8, 3, 16}, PngKind{"Grey8", 0, 8, 8, 3, 256},
                                           PngKind{"Grey16", 0, 16, 8, 3, 256},
                                           PngKind{"GreyAlpha8", 4, 8, 8, 7, 256},
                                           PngKind{"GreyAlpha16", 4, 16, 8, 7, 256}, PngKind{"Rgb8", 2, 8, 24, 2, 0},
                                           PngKind{"Rgb16", 2, 16, 24, 2, 0}, PngKind{"Rgba8", 6, 8, 24, 6, 0},
                                           PngKind{"Rgba16", 6, 16, 24, 6, 0}, PngKind{"Palette1", 3, 1, 8, 3, 2},
                                           PngKind{"Palette2", 3, 2, 8, 3, 4}, PngKind{"Palette4", 3, 4, 8, 3, 16},
                                           PngKind{"Palette8", 3, 8, 8, 3, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

class PngImageTest : public ::testing::Test, public testing_support::WithScriptedUi {
protected:
    TempFolder scratch;

    // A small palette PNG made by ImageMagick from the given colours.
    std::string MakePalettePng(int width, int height, int bitDepth, int colours, const std::string& name) {
        std::vector<std::uint8_t> rgb;
        for (int i = 0; i < width * height; ++i) {
            Rgb c = SlotColour(i % colours);
            rgb.insert(rgb.end(), c.begin(), c.end());
        }
        std::string path = scratch / name;
        MagickFromRaw("rgb", width, height, rgb,
                      "-define png:exclude-chunk=bKGD -define png:color-type=3 -define png:bit-depth=" +
                          std::to_string(bitDepth),
                      path, scratch);
        EXPECT_EQ(ReadPngHeader(path).bitDepth, bitDepth);
        return path;
    }

    // The picture read back through ImageMagick must have exactly our colours.
    void ExpectPeerReadsExactly(const image::CImageImpl& picture, const std::string& path) {
        EXPECT_EQ(MagickSamples(path, "rgb", scratch), PictureRgb(picture)) << path;
    }
};

TEST_F(PngImageTest, Writes24BitPixelsAsRedGreenBlue) {
    CPngImageImpl picture(scratch / "pixel.png");
    ASSERT_GT(picture.Create(3, 2, 24, -1), 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            picture.SetPixelRGB(x, y, 30, 20, 10);
        }
    }
    ASSERT_EQ(Rgb({picture.imageBits[0], picture.imageBits[1], picture.imageBits[2]}), Rgb({10, 20, 30}));
    picture.SetPixelRGB(2, 1, 1, 2, 3);  // top right
    ASSERT_EQ(picture.WriteImage(""), 1);
    std::string path = scratch / "pixel.png";
    PngHeader header = ReadPngHeader(path);
    EXPECT_EQ(header.colourType, 2);
    EXPECT_EQ(header.bitDepth, 8);
    EXPECT_EQ(header.interlace, 0);
    EXPECT_EQ(MagickSamples(path, "rgb", scratch),
              std::vector<std::uint8_t>({30, 20, 10, 30, 20, 10, 1, 2, 3, 30, 20, 10, 30, 20, 10, 30, 20, 10}));
}

TEST_F(PngImageTest, SixteenEntryPaletteIsWrittenAs256PlteEntries) {
    CPngImageImpl picture("");
    ASSERT_GT(picture.Create(6, 4, 8, -1), 0);
    std::vector<std::uint8_t> triples;
    for (int k = 0; k < 16; ++k) {
        Rgb c = SlotColour(k);
        triples.insert(triples.end(), c.begin(), c.end());
    }
    ASSERT_NE(picture.SetPaletteTriples(16, triples.data()), 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            picture.SetPixelIndex(x, y, (x + 6 * y) % 16);
        }
    }
    picture.SetPixelIndex(0, 0, 100);  // no entry: black
    std::string path = scratch / "palette.png";
    ASSERT_EQ(picture.WriteImage(path), 1);

    PngHeader header = ReadPngHeader(path);
    EXPECT_EQ(header.colourType, 3);
    EXPECT_EQ(header.bitDepth, 8);
    std::vector<std::uint8_t> plte;
    for (const PngChunk& chunk : PngChunks(ReadFileBytes(path))) {
        if (chunk.type == "PLTE") {
            plte = chunk.data;
        }
    }
    ASSERT_EQ(plte.size(), 768u);
    EXPECT_TRUE(std::equal(triples.begin(), triples.end(), plte.begin()));
    EXPECT_TRUE(std::all_of(plte.begin() + 48, plte.end(), [](std::uint8_t v) { return v == 0; }));
    auto decoded = MagickSamples(path, "rgb", scratch);
    ASSERT_EQ(decoded.size(), 6u * 4u * 3u);
    EXPECT_EQ(Rgb({decoded[54], decoded[55], decoded[56]}), Rgb({0, 0, 0}));  // bottom-left
    decoded[54] = SlotColour(0)[0];
    decoded[55] = SlotColour(0)[1];
    decoded[56] = SlotColour(0)[2];
    picture.SetPixelIndex(0, 0, 0);
    EXPECT_EQ(decoded, PictureRgb(picture));
}

TEST_F(PngImageTest, PeerReadsOurPngsWithExactlyOurPixelsAndSoDoWe) {
    // 1 and 4 bits with a palette, packed in the picture as in the PNG.
    CPngImageImpl packed1("");
    CPngImageImpl packed4("");
    for (auto [picture, bits] : {std::pair{&packed1, 1}, std::pair{&packed4, 4}}) {
        ASSERT_GT(picture->Create(13, 3, bits, -1), 0);
        int colours = 1 << bits;
        std::vector<std::uint8_t> triples;
        for (int k = 0; k < colours; ++k) {
            Rgb c = SlotColour(k);
            triples.insert(triples.end(), c.begin(), c.end());
        }
        ASSERT_NE(picture->SetPaletteTriples(colours, triples.data()), 0);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                picture->SetPixelIndex(x, y, (x * 5 + y) % colours);
            }
        }
    }
    int n = 0;
    for (CPngImageImpl* picture : {&packed1, &packed4}) {
        std::string path = scratch / ("ours" + std::to_string(n++) + ".png");
        ASSERT_EQ(picture->WriteImage(path), 1);
        ExpectPeerReadsExactly(*picture, path);
        CPngImageImpl back("");
        ASSERT_EQ(back.ReadImage(path), 1);
        EXPECT_EQ(PictureRgb(back), PictureRgb(*picture)) << path;
    }
    EXPECT_EQ(ReadPngHeader(scratch / "ours0.png").bitDepth, 1);
    EXPECT_EQ(ReadPngHeader(scratch / "ours1.png").bitDepth, 4);

    // 8 bits without a palette: grey values.
    CPngImageImpl grey("");
    ASSERT_GT(grey.Create(9, 2, 8, -1), 0);
    for (int x = 0; x < 9; ++x) {
        grey.SetPixelIndex(x, 0, x * 30);
        grey.SetPixelIndex(x, 1, 255 - x);
    }
    ASSERT_EQ(grey.WriteImage(scratch / "grey.png"), 1);
    EXPECT_EQ(ReadPngHeader(scratch / "grey.png").colourType, 0);
    auto samples = MagickSamples(scratch / "grey.png", "gray", scratch);
    ASSERT_EQ(samples.size(), 18u);
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(samples[static_cast<std::size_t>(x)], 255 - x);
        EXPECT_EQ(samples[static_cast<std::size_t>(9 + x)], x * 30);
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
        ASSERT_EQ(picture.ReadImage(scratch / name), 1) << name;
        std::string out = scratch / (std::string("again-") + name);
        ASSERT_EQ(picture.WriteImage(out), 1) << name;
        EXPECT_EQ(ReadPngHeader(out).colourType, picture.imageBitCount == 24 ? 2 : 3) << name;
        ExpectPeerReadsExactly(picture, out);
    }
}

TEST_F(PngImageTest, PicturesTheWriterCannotDescribeWriteNoFile) {
    std::string path = scratch / "refused.png";
    CPngImageImpl empty("");
    EXPECT_EQ(empty.WriteImage(path), 0);
    for (int bits : {16, 32}) {
        CPngImageImpl picture("");
        ASSERT_GT(picture.Create(8, 8, bits, -1), 0);
        EXPECT_EQ(picture.WriteImage(path), 0) << bits;
    }
    CPngImageImpl noPalette("");
    ASSERT_GT(noPalette.Create(8, 8, 8, 3), 0);  // claims a palette it does not have
    EXPECT_EQ(noPalette.WriteImage(path), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(noPalette.WriteImage(scratch / "no-such-folder/out.png"), 0);
}

TEST_F(PngImageTest, TruncatedPngsGiveZero) {
    for (bool interlaced : {false, true}) {
        std::string path = scratch / "whole.png";
        MagickFromRaw("rgb", 20, 12, TestCardRgb(20, 12), interlaced ? "-interlace PNG" : "", path, scratch);
        auto bytes = ReadFileBytes(path);
        std::string cut = scratch / "cut.png";
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            ReplaceFile(cut, {bytes.begin(), bytes.begin() + static_cast<long>(length)});
            CPngImageImpl picture("");
            ASSERT_EQ(picture.ReadImage(cut), 0) << "cut to " << length;
        }
    }
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(PngImageTest, CorruptedPngsAreReadSafely) {
    std::string path = MakePalettePng(9, 7, 4, 11, "source.png");
    auto bytes = ReadFileBytes(path);
    // What damage to each byte must give: 0 in the signature and the critical
    // chunks (their CRCs catch it), 1 in the data and CRC of ancillary chunks
    // (skipped with a warning); a damaged length or type may go either way.
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
    std::string damagedPath = scratch / "damaged.png";
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        auto damaged = bytes;
        damaged[offset] ^= 0x5A;
        ReplaceFile(damagedPath, damaged);
        CPngImageImpl picture("");
        int result = picture.ReadImage(damagedPath);
        if (expect[offset] != kEither) {
            EXPECT_EQ(result, expect[offset] == kReads ? 1 : 0) << offset;
        }
    }
    EXPECT_TRUE(ui.notices.empty());
}

TEST_F(PngImageTest, EnormousDimensionsAreRefusedBeforeAllocating) {
    auto bytes = ReadFileBytes(MakePalettePng(4, 4, 8, 3, "small.png"));
    ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    std::string path = scratch / "huge.png";
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {100000, 100000}, {65536, 1}, {60000, 60000}, {16384, 16385}, {0x7FFFFFFF, 0x7FFFFFFF}};
    for (auto [width, height] : sizes) {
        auto huge = bytes;
        for (int i = 0; i < 4; ++i) {
            huge[static_cast<std::size_t>(16 + i)] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
            huge[static_cast<std::size_t>(20 + i)] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
        }
        std::uint32_t crc = Crc32(&huge[12], 17);
        for (int i = 0; i < 4; ++i) {
            huge[static_cast<std::size_t>(29 + i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        }
        ReplaceFile(path, huge);
        auto start = std::chrono::steady_clock::now();
        CPngImageImpl picture("");
        EXPECT_EQ(picture.ReadImage(path), 0) << width << "x" << height;
        EXPECT_FALSE(picture.HasPicture());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
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
    ASSERT_EQ(fromJpeg.ReadImage(jpg), 1);
    ExpectPeerReadsExactly(fromJpeg, again);
}

}  // namespace

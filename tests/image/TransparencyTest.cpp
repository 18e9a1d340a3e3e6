// Transparency in every format the program reads: where there is no ink the
// handheld's screen is white, so transparent pixels read as white and partly
// transparent ones as their colour over white. ImageMagick, flattening each
// file on white, is the judge.
#include <functional>

#include <gtest/gtest.h>

#include "CodecFixtures.h"
#include "image/Picture.h"

namespace {

using namespace codec_fixtures;
using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::uint16_t>;

constexpr std::uint32_t kWidth = 6;
constexpr std::uint32_t kHeight = 2;

PngChunk Chunk(const char* type, std::initializer_list<int> bytes) {
    PngChunk chunk{type, {}};
    for (int b : bytes) {
        chunk.data.push_back(static_cast<std::uint8_t>(b));
    }
    return chunk;
}

// A hand-made PNG of 6 x 2 pixels: `samples` of `depth` bits, `perPixel` of them a pixel.
Bytes Png(std::uint8_t depth, std::uint8_t colourType, const std::vector<PngChunk>& chunks, const Samples& samples,
          std::size_t perPixel) {
    return PngFile(kWidth, kHeight, depth, colourType, chunks, PngRows(samples, kWidth * perPixel, depth));
}

// Red, green, blue, alpha of 6 x 2 pixels, the first one transparent.
const Bytes kRgba = {200, 30,  40,  0,   200, 30,  40,  64,  200, 30, 40, 128, 10,  220, 90,  200,
                     10,  220, 90,  255, 90,  90,  250, 255, 120, 120, 120, 0, 120, 120, 120, 255,
                     60,  60,  60,  255, 250, 250, 250, 33,  0,   0,   0,  255, 255, 255, 255, 0};

struct TransparencyCase {
    const char* name;
    std::function<Bytes(const TempFolder&)> make;
    int tolerance;  // 16-bit samples are cut to 8 bits, where ImageMagick rounds
};

std::ostream& operator<<(std::ostream& out, const TransparencyCase& c) {
    return out << c.name;
}

// The pixels of kRgba as ImageMagick writes them in the format of the name's extension.
Bytes MagickFile(const std::string& name, const TempFolder& scratch) {
    std::string path = scratch / name;
    MagickFromRaw("rgba", kWidth, kHeight, kRgba, "", path, scratch);
    return ReadFileBytes(path);
}

const TransparencyCase kCases[] = {
    {"PaletteAlphaPerEntryEntriesBeyondTrnsOpaque",
     [](const TempFolder&) {
         return Png(8, 3,
                    {Chunk("PLTE", {200, 30, 40, 10, 220, 90, 90, 90, 250, 120, 120, 120, 0, 0, 0, 255, 255, 0}),
                     Chunk("tRNS", {0, 64, 128, 200})},
                    {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0}, 1);
     },
     0},
    {"Palette2Bits",
     [](const TempFolder&) {
         return Png(2, 3, {Chunk("PLTE", {200, 30, 40, 10, 220, 90, 90, 90, 250}), Chunk("tRNS", {0, 255, 77})},
                    {0, 1, 2, 0, 1, 2, 2, 1, 0, 2, 1, 0}, 1);
     },
     0},
    {"Grey8TransparentLevel",
     [](const TempFolder&) {
         return Png(8, 0, {Chunk("tRNS", {0, 77})}, {77, 0, 78, 255, 128, 77, 76, 77, 1, 2, 3, 4}, 1);
     },
     0},
    {"Grey16TransparentLevelMatchedInFull",
     [](const TempFolder&) {
         return Png(16, 0, {Chunk("tRNS", {0x12, 0x34})},
                    {0x1234, 0x1235, 0xFFFF, 0, 0x8000, 0x1234, 0x12FF, 0x1200, 0x1234, 5, 6, 7}, 1);
     },
     1},
    {"RgbTransparentColour",
     [](const TempFolder&) {
         return Png(8, 2, {Chunk("tRNS", {0, 200, 0, 30, 0, 40})},
                    {200, 30, 40, 200, 30, 41, 0, 0, 0, 255, 255, 255, 200, 30, 40, 1, 2, 3,
                     9, 9, 9, 200, 30, 40, 40, 30, 200, 7, 7, 7, 8, 8, 8, 200, 31, 40},
                    3);
     },
     0},
    {"GreyAlpha8",
     [](const TempFolder&) {
         return Png(8, 4, {}, {30, 0, 30, 64, 30, 128, 200, 200, 200, 255, 0, 1,
                               90, 0, 90, 255, 255, 10, 0, 255, 128, 99, 17, 33},
                    2);
     },
     0},
    {"Rgba8",
     [](const TempFolder&) {
         return Png(8, 6, {}, Samples(kRgba.begin(), kRgba.end()), 4);
     },
     0},
    {"Rgba16",
     [](const TempFolder&) {
         Samples wide;
         for (std::size_t i = 0; i < kRgba.size(); ++i) {
             // Low bytes that differ from the high ones, as a 16-bit writer's would.
             wide.push_back(static_cast<std::uint16_t>(kRgba[i] << 8 | (kRgba[i] * 7 + i) % 256));
         }
         wide[3] = 0;  // the first pixel stays fully transparent
         return Png(16, 6, {}, wide, 4);
     },
     1},
    {"Bmp32BitsWithAnAlphaMask", [](const TempFolder& scratch) { return MagickFile("alpha.bmp", scratch); }, 0},
};

class TransparencyTest : public ::testing::TestWithParam<TransparencyCase> {
protected:
    TempFolder scratch;
};

TEST_P(TransparencyTest, TransparentIsWhiteAndPartlyTransparentIsOverWhite) {
    std::string path = scratch / "picture";
    WriteFileBytes(path, GetParam().make(scratch));
    image::CPicture picture;
    auto loaded = picture.Load(path);
    ASSERT_TRUE(loaded) << loaded.error().message;
    EXPECT_EQ(PixelFromTop(*picture.GetImpl(), 0, 0), (Rgb{255, 255, 255}));
    std::vector<std::uint8_t> ours = PictureRgb(*picture.GetImpl());
    std::vector<std::uint8_t> peer = MagickOnWhite(path, scratch);
    ASSERT_EQ(ours.size(), peer.size());
    // ImageMagick truncates a composited sample where we round it to the nearest.
    for (std::size_t i = 0; i < ours.size(); ++i) {
        int above = ours[i] - peer[i];
        EXPECT_TRUE(above >= -GetParam().tolerance && above <= 1 + GetParam().tolerance)
            << int(ours[i]) << " for " << int(peer[i]) << ", pixel " << i / 3 << ", sample " << i % 3;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, TransparencyTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

#include "image/ColorReduction.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "image/ImageImpl.h"

namespace {

using image::CImageImpl;
using image::Color;

// A true-colour picture of the given depth whose pixel (x, y from the top) has colour(x, y).
template <class ColorOf>
std::unique_ptr<CImageImpl> TrueColor(int bits, int width, int height, ColorOf colorOf) {
    auto picture = std::make_unique<CImageImpl>();
    EXPECT_NE(picture->Create(width, height, bits, -1), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Color c = colorOf(x, y);
            picture->SetPixelRGB(x, height - 1 - y, c.red, c.green, c.blue);
        }
    }
    return picture;
}

Color ColorFromTop(const CImageImpl& picture, int x, int y) {
    Color c;
    picture.GetPixelRGB(x, picture.imageHeight - 1 - y, c.red, c.green, c.blue);
    return c;
}

std::vector<std::uint8_t> Pixels(const CImageImpl& picture) {
    const auto* bits = picture.imageBits;
    return {bits, bits + static_cast<std::ptrdiff_t>(picture.imageRowBytes) * picture.imageHeight};
}

TEST(ColorReduction, APictureOfFewColoursKeepsExactlyThemInTheOrderTheyAppear) {
    // Colours every depth holds exactly (16 bits keeps 5 bits a channel).
    const Color red{255, 0, 0}, blue{0, 0, 255}, white{255, 255, 255};
    auto colorOf = [&](int x, int y) { return y == 0 ? (x < 2 ? blue : red) : white; };
    for (int bits : {16, 24, 32}) {
        SCOPED_TRACE(bits);
        auto made = TrueColor(bits, 5, 3, colorOf);
        CImageImpl& picture = *made;
        auto count = image::ReduceColors(picture, false);
        ASSERT_TRUE(count);
        EXPECT_EQ(count->before, 3u);
        EXPECT_EQ(count->after, 3u);
        EXPECT_FALSE(count->Lossy());
        EXPECT_EQ(picture.imageBitCount, 8);
        ASSERT_TRUE(picture.imagePalette);
        EXPECT_EQ(picture.imagePalette->Colors(), (std::vector<Color>{blue, red, white}));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(ColorFromTop(picture, x, y), colorOf(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(ColorReduction, ManyColoursBecome256CloseOnesTheSameEveryTime) {
    // 4,096 colours: a smooth field of red and green over a blue ramp.
    auto colorOf = [](int x, int y) {
        return Color{static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
                     static_cast<std::uint8_t>((x + y) * 2)};
    };
    for (bool dither : {false, true}) {
        SCOPED_TRACE(dither);
        auto firstMade = TrueColor(24, 64, 64, colorOf);
        auto secondMade = TrueColor(24, 64, 64, colorOf);
        CImageImpl& first = *firstMade;
        CImageImpl& second = *secondMade;
        auto count = image::ReduceColors(first, dither);
        ASSERT_TRUE(count);
        ASSERT_TRUE(image::ReduceColors(second, dither));
        EXPECT_EQ(count->before, 4096u);
        EXPECT_EQ(count->after, 256u);
        EXPECT_TRUE(count->Lossy());
        EXPECT_EQ(Pixels(first), Pixels(second));
        EXPECT_EQ(first.imagePalette->Colors(), second.imagePalette->Colors());

        double error = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const Color want = colorOf(x, y);
                const Color got = ColorFromTop(first, x, y);
                error += std::abs(want.red - got.red) + std::abs(want.green - got.green) +
                         std::abs(want.blue - got.blue);
            }
        }
        EXPECT_LT(error / (64 * 64 * 3), 6.0);
    }
}

TEST(ColorReduction, PicturesOf8BitsOrFewerAreLeftAsTheyAre) {
    CImageImpl picture;
    ASSERT_NE(picture.Create(7, 2, 4, -1), 0);
    picture.SetPixelIndex(3, 1, 9);
    const std::vector<std::uint8_t> before = Pixels(picture);
    auto count = image::ReduceColors(picture, true);
    ASSERT_TRUE(count);
    EXPECT_EQ(count->before, 0u);
    EXPECT_EQ(picture.imageBitCount, 4);
    EXPECT_EQ(Pixels(picture), before);
}

}  // namespace

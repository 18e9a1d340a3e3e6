#include <gtest/gtest.h>

#include "image/BmpImageImpl.h"
#include "image/ImageImpl.h"
#include "platform/ByteOrder.h"
#include "support/ScriptedUserInterface.h"

using image::CImageImpl;
using image::CImagePalette;
using platform::ReadLE16;

namespace {

std::size_t BitsOffset(const CImageImpl& image) {
    return static_cast<std::size_t>(image.imageBits - image.imageDib->data());
}

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

Rgb PixelRGB(const CImageImpl& image, int x, int y) {
    Rgb c{1, 2, 3};
    EXPECT_EQ(image.GetPixelRGB(x, y, c.r, c.g, c.b), 1);
    return c;
}

}  // namespace

TEST(CImagePalette, CreatesOnceAndAnswersEntriesWithinRange) {
    CImagePalette palette;
    std::uint8_t r[] = {10, 200};
    std::uint8_t g[] = {20, 210};
    std::uint8_t b[] = {30, 220};
    std::uint8_t red = 7, green = 8, blue = 9;
    EXPECT_EQ(palette.GetEntryRGB(0, red, green, blue), 0);
    ASSERT_EQ(palette.CreateFromRGB(2, r, g, b), 1);
    EXPECT_EQ(palette.CreateFromRGB(2, g, g, g), 0);
    EXPECT_EQ(palette.GetEntryRGB(256, red, green, blue), 0);
    EXPECT_EQ(palette.GetEntryRGB(-1, red, green, blue), 0);
    EXPECT_EQ(palette.GetEntryRGB(2, red, green, blue), 0);  // no such entry
    EXPECT_EQ((Rgb{red, green, blue}), (Rgb{7, 8, 9}));       // untouched
    ASSERT_EQ(palette.GetEntryRGB(1, red, green, blue), 1);
    EXPECT_EQ((Rgb{red, green, blue}), (Rgb{200, 210, 220}));
    EXPECT_EQ(palette.NearestIndex(190, 190, 190), 1);
    EXPECT_EQ(palette.NearestIndex(0, 0, 0), 0);
    EXPECT_EQ(CImagePalette().CreateFromRGB(0, r, g, b), 0);
}

TEST(CImageImpl, CreateSetsTheFormatAndFreshBlock) {
    CImageImpl image;
    EXPECT_EQ(image.Create(10, 5, 8, -1), 12);
    EXPECT_EQ(image.imageFlags, 0);
    EXPECT_EQ(image.imageRowBytes, 12);
    EXPECT_EQ(BitsOffset(image), 40u + 1024u);
    image.imageTransparent = 4;
    EXPECT_EQ(image.Create(10, 5, 24, -1), 32);
    EXPECT_EQ(image.imageFlags, 2);
    EXPECT_EQ(BitsOffset(image), 40u);
    EXPECT_EQ(image.imageTransparent, 4);
    EXPECT_EQ(image.Create(3, 3, 8, 6), 4);
    EXPECT_EQ(image.imageFlags, 6);
}

TEST(CImageImpl, FailedCreateLeavesNoPictureToTouch) {
    CImageImpl image;
    ASSERT_GT(image.Create(4, 4, 8, -1), 0);
    EXPECT_EQ(image.Create(4, 0, 8, -1), 0);
    EXPECT_FALSE(image.HasPicture());
    EXPECT_FALSE(image.IsInside(0, 0));
    EXPECT_EQ(image.SetPixelIndex(0, 0, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
}

TEST(CImageImpl, IndexAccessAtEightBitsUsesWholeBytesInsideOnly) {
    CImageImpl image;
    image.Create(10, 5, 8, -1);
    EXPECT_EQ(image.SetPixelIndex(3, 2, 200), 1);
    EXPECT_EQ(image.imageBits[2 * 12 + 3], 200);
    EXPECT_EQ(image.GetPixelIndex(3, 2), 200);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), -1);
    EXPECT_EQ(image.GetPixelIndex(10, 0), -1);
    EXPECT_EQ(image.GetPixelIndex(0, 5), -1);
    EXPECT_EQ(image.SetPixelIndex(10, 0, 1), 0);
    EXPECT_EQ(image.SetPixelIndex(0, -1, 1), 0);
}

TEST(CImageImpl, IndexAccessBelowEightBitsTouchesOnlyThePixelsBits) {
    CImageImpl four;
    four.Create(5, 2, 4, -1);
    four.SetPixelIndex(0, 1, 0xA);
    four.SetPixelIndex(1, 1, 0x5);
    four.SetPixelIndex(4, 1, 0xF);
    EXPECT_EQ(four.imageBits[4], 0xA5);
    EXPECT_EQ(four.imageBits[6], 0xF0);
    EXPECT_EQ(four.GetPixelIndex(1, 1), 5);
    four.SetPixelIndex(0, 1, 0x3);
    EXPECT_EQ(four.imageBits[4], 0x35);

    CImageImpl one;
    one.Create(10, 1, 1, -1);
    one.SetPixelIndex(0, 0, 1);
    one.SetPixelIndex(9, 0, 1);
    EXPECT_EQ(one.imageBits[0], 0x80);
    EXPECT_EQ(one.imageBits[1], 0x40);
    EXPECT_EQ(one.GetPixelIndex(9, 0), 1);
    EXPECT_EQ(one.GetPixelIndex(8, 0), 0);

    CImageImpl two;
    two.Create(4, 1, 2, -1);
    two.SetPixelIndex(2, 0, 3);
    EXPECT_EQ(two.imageBits[0], 0x0C);
    EXPECT_EQ(two.GetPixelIndex(2, 0), 3);
}

TEST(CImageImpl, TwentyFourBitsHaveNoIndicesAndStoreBlueGreenRed) {
    CImageImpl image;
    image.Create(3, 2, 24, -1);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(image.GetPixelIndex(x, y), -1);
            EXPECT_EQ(image.SetPixelIndex(x, y, 1), 0);
        }
    }
    EXPECT_EQ(image.SetPixelRGB(2, 1, 10, 20, 30), 1);
    std::uint8_t* p = image.imageBits + 12 + 6;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(PixelRGB(image, 2, 1), (Rgb{10, 20, 30}));
    EXPECT_EQ(image.SetPixelRGB(3, 1, 1, 1, 1), 0);
}

TEST(CImageImpl, SixteenAndThirtyTwoBitsUseTheirMasks) {
    CImageImpl image;
    image.Create(2, 1, 16, -1);
    EXPECT_EQ(image.SetPixelRGB(1, 0, 255, 0, 255), 1);
    EXPECT_EQ(ReadLE16(image.imageBits + 2), 0x7C1F);  // 5-5-5
    EXPECT_EQ(PixelRGB(image, 1, 0), (Rgb{255, 0, 255}));
    image.Create(2, 1, 32, -1);
    EXPECT_EQ(image.SetPixelRGB(1, 0, 1, 2, 3), 1);
    EXPECT_EQ(image.imageBits[4], 3);
    EXPECT_EQ(image.imageBits[6], 1);
    EXPECT_EQ(PixelRGB(image, 1, 0), (Rgb{1, 2, 3}));
}

TEST(CImageImpl, PaletteColoursGoThroughThePalette) {
    CImageImpl image;
    image.Create(4, 4, 8, -1);
    std::uint8_t triples[] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 250, 250, 250};
    ASSERT_EQ(image.SetPaletteTriples(4, triples), 1);
    EXPECT_EQ(image.imageFlags, 3);
    EXPECT_EQ(image.SetPixelRGB(1, 1, 240, 10, 10), 1);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 1);
    EXPECT_EQ(image.SetPixelRGB(2, 1, 255, 255, 255), 1);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 3);
    EXPECT_EQ(PixelRGB(image, 2, 1), (Rgb{250, 250, 250}));
    image.SetPixelIndex(0, 0, 77);  // an index the palette does not have
    std::uint8_t r = 0, g = 0, b = 0;
    EXPECT_EQ(image.GetPixelRGB(0, 0, r, g, b), 0);
    EXPECT_EQ(image.GetPixelRGB(4, 0, r, g, b), 0);

    CImageImpl noPalette;
    noPalette.Create(2, 2, 8, 3);  // palette flags without a palette
    EXPECT_EQ(noPalette.SetPixelRGB(0, 0, 1, 2, 3), 0);
}

TEST(CImageImpl, WithoutAPaletteObjectTheBlocksTableGivesTheColours) {
    CImageImpl image;
    image.Create(3, 1, 4, -1);
    EXPECT_EQ(image.SetPixelRGB(0, 0, 250, 0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 9);  // 0xFF0000 of the default colours
    EXPECT_EQ(PixelRGB(image, 0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(image.GetPixelIndex(1, 0), 0);
}

TEST(CImageImpl, PaletteBuildersSwitchTheTableToIndexForm) {
    CImageImpl image;
    image.Create(2, 2, 8, -1);
    std::uint8_t grey[] = {5, 250};
    ASSERT_EQ(image.SetPaletteRGB(2, grey, nullptr, nullptr), 1);
    EXPECT_EQ(image.imageFlags, 3);
    std::uint8_t r = 0, g = 0, b = 0;
    ASSERT_EQ(image.imagePalette->GetEntryRGB(1, r, g, b), 1);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{250, 250, 250}));
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(ReadLE16(image.imageDib->data() + 40 + 2 * i), i);
    }
    EXPECT_EQ(image.SetPaletteRGB(0, grey, nullptr, nullptr), 0);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 2u);  // the old palette stays
    EXPECT_EQ(image.SetPaletteObject(nullptr), 0);
}

TEST(CImageImpl, GreyRampSpreadsNStepsOverTheRange) {
    CImageImpl image;
    image.Create(2, 2, 8, -1);
    ASSERT_EQ(image.SetGreyRamp(256), 1);
    std::uint8_t r = 0, g = 0, b = 0;
    image.imagePalette->GetEntryRGB(200, r, g, b);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{200, 200, 200}));
    image.imagePalette.reset();
    ASSERT_EQ(image.SetGreyRamp(3), 1);
    image.imagePalette->GetEntryRGB(2, r, g, b);
    EXPECT_EQ(r, 170);
}

TEST(CImageImpl, ReplacingAPaletteWithTriplesSaysSoOnce) {
    testing_support::WithScriptedUi scripted;
    CImageImpl image;
    image.Create(2, 2, 8, -1);
    std::uint8_t first[] = {1, 1, 1};
    std::uint8_t second[] = {9, 8, 7, 6, 5, 4};
    ASSERT_EQ(image.SetPaletteTriples(1, first), 1);
    EXPECT_TRUE(scripted.ui.notices.empty());
    ASSERT_EQ(image.SetPaletteTriples(2, second), 1);
    ASSERT_EQ(scripted.ui.notices.size(), 1u);
    EXPECT_EQ(scripted.ui.notices[0].text, "CImageImpl::imagePalette already exists!");
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 2u);
    std::uint8_t r = 0, g = 0, b = 0;
    image.imagePalette->GetEntryRGB(1, r, g, b);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{6, 5, 4}));
}

TEST(CImageImpl, TakeOverMovesThePictureAndLeavesTheOtherEmpty) {
    CImageImpl other;
    other.Create(3, 2, 8, -1);
    other.SetGreyRamp(16);
    other.imageTransparent = 5;
    other.SetPixelIndex(1, 1, 9);
    const std::uint8_t* bits = other.imageBits;
    image::CBmpImageImpl image("");
    image.Create(1, 1, 24, -1);
    EXPECT_EQ(image.TakeOver(&other), &other);
    EXPECT_EQ(image.imageBits, bits);
    EXPECT_EQ(image.imageWidth, 3);
    EXPECT_EQ(image.imageHeight, 2);
    EXPECT_EQ(image.imageBitCount, 8);
    EXPECT_EQ(image.imageFlags, 3);
    EXPECT_EQ(image.imageRowBytes, 4);
    EXPECT_EQ(image.imageTransparent, 5);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 9);
    ASSERT_TRUE(image.imagePalette);
    EXPECT_EQ(image.imagePalette->GetEntryCount(), 16u);
    EXPECT_FALSE(other.HasPicture());
    EXPECT_EQ(other.imageBits, nullptr);
    EXPECT_EQ(other.imagePalette, nullptr);
}

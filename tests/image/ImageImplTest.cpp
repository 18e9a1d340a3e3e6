#include <gtest/gtest.h>

#include "image/BmpImageImpl.h"
#include "image/ImageImpl.h"
#include "platform/ByteOrder.h"

using image::CImageImpl;
using image::Color;
using platform::ReadLE16;

namespace {

std::size_t BitsOffset(const CImageImpl& image) {
    return static_cast<std::size_t>(image.imageBits - image.imageDib->data());
}

Color PixelRGB(const CImageImpl& image, int x, int y) {
    Color c{1, 2, 3};
    EXPECT_EQ(image.GetPixelRGB(x, y, c.red, c.green, c.blue), 1) << x << "," << y;
    return c;
}

Color EntryRGB(const CImageImpl& image, int index) {
    Color c{1, 2, 3};
    EXPECT_EQ(image.imagePalette->GetEntryRGB(index, c.red, c.green, c.blue), 1) << index;
    return c;
}

}  // namespace

TEST(CImageImpl, CreateSetsTheFormatAndAFreshBlock) {
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

    // A failed Create leaves no picture to touch.
    EXPECT_EQ(image.Create(4, 0, 8, -1), 0);
    EXPECT_FALSE(image.HasPicture());
    EXPECT_FALSE(image.IsInside(0, 0));
    EXPECT_EQ(image.SetPixelIndex(0, 0, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(0, 0), -1);
}

TEST(CImageImpl, IndexAccessTouchesOnlyThePixelsOwnBits) {
    struct Case {
        int bits, width;
        int x, y, value;
        std::size_t byte;     // offset in the pixel rows
        std::uint8_t stored;  // that byte afterwards
        bool onOnes;          // the rows start all ones, else all zeros
    };
    // The leftmost pixel lies in the high bits of its byte.
    const Case cases[] = {
        {1, 10, 0, 0, 1, 0, 0x80, false}, {1, 10, 9, 0, 1, 1, 0x40, false}, {1, 10, 9, 0, 0, 1, 0xBF, true},
        {2, 4, 2, 0, 3, 0, 0x0C, false},  {4, 5, 1, 1, 5, 4, 0x05, false},  {4, 5, 0, 1, 3, 4, 0x3F, true},
        {8, 10, 3, 2, 200, 27, 200, false},
    };
    for (const Case& c : cases) {
        CImageImpl image;
        ASSERT_GT(image.Create(c.width, 2 + c.y, c.bits, -1), 0);
        std::fill(image.imageBits, image.imageBits + image.imageRowBytes * image.imageHeight, static_cast<std::uint8_t>(c.onOnes ? 0xFF : 0));
        ASSERT_EQ(image.SetPixelIndex(c.x, c.y, c.value), 1) << c.bits;
        EXPECT_EQ(image.imageBits[c.byte], c.stored) << c.bits << " " << c.x;
        EXPECT_EQ(image.GetPixelIndex(c.x, c.y), c.value) << c.bits;
        // Outside the picture nothing is read or written.
        EXPECT_EQ(image.GetPixelIndex(-1, 0), -1);
        EXPECT_EQ(image.GetPixelIndex(c.width, 0), -1);
        EXPECT_EQ(image.GetPixelIndex(0, image.imageHeight), -1);
        EXPECT_EQ(image.SetPixelIndex(c.width, 0, 1), 0);
        EXPECT_EQ(image.SetPixelIndex(0, -1, 1), 0);
    }
}

TEST(CImageImpl, DeepPixelsAreColoursInTheirLayout) {
    struct Case {
        int bits;
        std::vector<std::uint8_t> stored;  // pixel (1, 0) after setting 255, 0, 255
    };
    // 24 and 32 bits: blue, green, red; 16 bits: 5-5-5 without masks.
    const Case cases[] = {{16, {0x1F, 0x7C}}, {24, {255, 0, 255}}, {32, {255, 0, 255, 0}}};
    for (const Case& c : cases) {
        CImageImpl image;
        ASSERT_GT(image.Create(2, 1, c.bits, -1), 0);
        EXPECT_EQ(image.GetPixelIndex(1, 0), -1) << c.bits;
        EXPECT_EQ(image.SetPixelIndex(1, 0, 1), 0) << c.bits;
        ASSERT_EQ(image.SetPixelRGB(1, 0, 255, 0, 255), 1) << c.bits;
        const std::uint8_t* p = image.imageBits + c.bits / 8;
        EXPECT_EQ(std::vector<std::uint8_t>(p, p + c.stored.size()), c.stored) << c.bits;
        EXPECT_EQ(PixelRGB(image, 1, 0), (Color{255, 0, 255})) << c.bits;
        // Sixteen bits keep the nearest of 32 levels.
        ASSERT_EQ(image.SetPixelRGB(0, 0, 10, 20, 30), 1);
        EXPECT_EQ(PixelRGB(image, 0, 0), c.bits == 16 ? (Color{8, 16, 32}) : (Color{10, 20, 30})) << c.bits;
        EXPECT_EQ(image.SetPixelRGB(2, 0, 1, 1, 1), 0);
    }
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
    EXPECT_EQ(PixelRGB(image, 2, 1), (Color{250, 250, 250}));
    image.SetPixelIndex(0, 0, 77);  // an index the palette does not have
    std::uint8_t r = 0, g = 0, b = 0;
    EXPECT_EQ(image.GetPixelRGB(0, 0, r, g, b), 0);
    EXPECT_EQ(image.GetPixelRGB(4, 0, r, g, b), 0);

    CImageImpl noPalette;
    noPalette.Create(2, 2, 8, 3);  // palette flags without a palette
    EXPECT_EQ(noPalette.SetPixelRGB(0, 0, 1, 2, 3), 0);

    // Without a palette object the block's own table gives the colours.
    CImageImpl table;
    table.Create(3, 1, 4, -1);
    EXPECT_EQ(table.SetPixelRGB(0, 0, 250, 0, 0), 1);
    EXPECT_EQ(table.GetPixelIndex(0, 0), 9);  // bright red of the sixteen colours
    EXPECT_EQ(PixelRGB(table, 0, 0), (Color{255, 0, 0}));
    EXPECT_EQ(table.GetPixelIndex(1, 0), 0);
}

TEST(CImageImpl, PaletteBuildersReplaceThePaletteAndSwitchTheTableToIndexForm) {
    CImageImpl image;
    image.Create(2, 2, 8, -1);
    std::uint8_t grey[] = {5, 250};
    ASSERT_EQ(image.SetPaletteRGB(2, grey, nullptr, nullptr), 1);  // one array for all three
    EXPECT_EQ(image.imageFlags, 3);
    EXPECT_EQ(EntryRGB(image, 1), (Color{250, 250, 250}));
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ReadLE16(image.imageDib->data() + 40 + 2 * i), i);
    }
    EXPECT_EQ(image.SetPaletteRGB(0, grey, nullptr, nullptr), 0);
    EXPECT_EQ(image.imagePalette->Size(), 2u);  // the old palette stays
    EXPECT_EQ(image.SetPaletteObject(nullptr), 0);

    std::uint8_t triples[] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    ASSERT_EQ(image.SetPaletteTriples(3, triples), 1);
    EXPECT_EQ(image.imagePalette->Size(), 3u);
    EXPECT_EQ(EntryRGB(image, 1), (Color{6, 5, 4}));

    // Grey ramps spread n steps over the range.
    ASSERT_EQ(image.SetGreyRamp(256), 1);
    EXPECT_EQ(EntryRGB(image, 200), (Color{200, 200, 200}));
    ASSERT_EQ(image.SetGreyRamp(3), 1);
    EXPECT_EQ(EntryRGB(image, 2), (Color{170, 170, 170}));
    EXPECT_EQ(image.SetGreyRamp(0), 0);
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
    EXPECT_EQ(image.imagePalette->Size(), 16u);
    EXPECT_FALSE(other.HasPicture());
    EXPECT_EQ(other.imageBits, nullptr);
    EXPECT_EQ(other.imagePalette, nullptr);
}

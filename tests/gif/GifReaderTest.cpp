#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"

using gif_test::Bytes;
using gif_test::Colors;
using gif_test::DataFor;
using gif_test::GifBuilder;
using image::CImagePalette;
using image::Color;

namespace {

const Bytes kFourColours{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
constexpr Color kWhite{255, 255, 255};

std::vector<Color> WithWhiteAt(std::vector<Color> colors, std::size_t index) {
    colors[index] = kWhite;
    return colors;
}

TEST(GifReader, ReadsTheFirstImageWithItsTableAndTransparentIndex) {
    const Bytes local = gif_test::RgbTable(8, 5);
    // Lines sent in interlace order carry the number of the row they belong to.
    const Bytes interlaced{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    const Bytes comment{0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    const Bytes loop{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    struct Case {
        const char* name;
        Bytes file;
        int width;
        Bytes pixels;  // top row first
        std::vector<Color> palette;
        int transparent;
    };
    const Case cases[] = {
        {"global table", GifBuilder(3, 2, kFourColours).Image(3, 2, DataFor(3, 2, {0, 1, 3, 1, 0, 2})).Trailer(), 3,
         {0, 1, 3, 1, 0, 2}, Colors(kFourColours), -1},
        {"transparent index", GifBuilder(1, 1, kFourColours).Transparency(3).Image(1, 1, DataFor(1, 1, {3})).Trailer(),
         1, {3}, WithWhiteAt(Colors(kFourColours), 3), 3},
        {"a longer control block",
         GifBuilder(1, 1, kFourColours).Transparency(1, 6).Image(1, 1, DataFor(1, 1, {1})).Trailer(), 1,
         {1}, WithWhiteAt(Colors(kFourColours), 1), 1},
        {"local table", GifBuilder(2, 1, kFourColours).Image(2, 1, DataFor(2, 1, {6, 7}), false, local).Trailer(), 2,
         {6, 7}, Colors(local), -1},
        {"interlaced", GifBuilder(1, 10, kFourColours).Image(1, 10, DataFor(1, 10, interlaced), true).Trailer(), 1,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Colors(kFourColours), -1},
        {"extensions and a second image",
         GifBuilder(2, 2, kFourColours)
             .Append(comment)
             .Append(loop)
             .Image(2, 2, DataFor(2, 2, {1, 2, 3, 0}))
             .Image(1, 1, DataFor(1, 1, {3}))
             .Trailer(),
         2, {1, 2, 3, 0}, Colors(kFourColours), -1},
    };
    for (const Case& c : cases) {
        image::CImageImpl picture;
        picture.imageTransparent = 7;  // left from an earlier picture
        ASSERT_TRUE(image::ReadGif(c.file, picture)) << c.name;
        EXPECT_EQ(picture.imageBitCount, 8) << c.name;
        EXPECT_EQ(picture.imageWidth, c.width) << c.name;
        EXPECT_EQ(gif_test::TopDownIndices(picture), c.pixels) << c.name;
        ASSERT_TRUE(picture.imagePalette) << c.name;
        EXPECT_EQ(picture.imagePalette->Colors(), c.palette) << c.name;
        EXPECT_EQ(picture.imageTransparent, c.transparent) << c.name;
    }
}

TEST(GifReader, TheTransparentEntryTurnsWhiteAndNoOtherColourChanges) {
    const std::vector<Color> four = Colors(kFourColours);
    const std::vector<Color> full(256, Color{9, 9, 9});
    struct Case {
        std::vector<Color> table;
        int transparent;
        std::vector<Color> palette;
    };
    const Case cases[] = {
        {four, 2, WithWhiteAt(four, 2)},
        {full, 255, WithWhiteAt(full, 255)},
        // No transparent index, or one the table lacks.
        {four, -1, four},
        {four, 4, four},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image::BuildGifPalette(CImagePalette(c.table), c.transparent).Colors(), c.palette) << c.transparent;
    }
}

TEST(GifReader, PlacesTheImageOnItsScreenWithTheBackgroundAround) {
    const Bytes local = gif_test::RgbTable(4, 8);
    // Interlaced lines come as rows 0, 2, 1, 3 and carry the row number plus one.
    const Bytes interlaced{1, 3, 2, 4};
    struct Case {
        const char* name;
        Bytes file;
        int width;
        Bytes pixels;  // top row first
    };
    const Case cases[] = {
        {"inside the screen",
         GifBuilder(4, 3, kFourColours).Background(2).Place(1, 1).Image(2, 1, DataFor(2, 1, {1, 3})).Trailer(), 4,
         {2, 2, 2, 2, 2, 1, 3, 2, 2, 2, 2, 2}},
        {"interlaced, at the right edge",
         GifBuilder(3, 5, kFourColours).Place(2, 1).Image(1, 4, DataFor(1, 4, interlaced), true).Trailer(), 3,
         {0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4}},
        // The background names an entry of the global table only.
        {"no global table",
         GifBuilder(3, 1).Background(2).Place(1, 0).Image(1, 1, DataFor(1, 1, {3}), false, local).Trailer(), 3,
         {0, 3, 0}},
        // The picture covers the screen and the image.
        {"reaching beyond the screen",
         GifBuilder(2, 2, kFourColours).Background(1).Place(1, 1).Image(2, 2, DataFor(2, 2, {3, 3, 3, 3})).Trailer(),
         3, {1, 1, 1, 1, 3, 3, 1, 3, 3}},
        {"a screen of 0 x 0", GifBuilder(0, 0, kFourColours).Image(2, 1, DataFor(2, 1, {3, 2})).Trailer(), 2, {3, 2}},
    };
    for (const Case& c : cases) {
        image::CImageImpl picture;
        ASSERT_TRUE(image::ReadGif(c.file, picture)) << c.name;
        EXPECT_EQ(picture.imageWidth, c.width) << c.name;
        EXPECT_EQ(gif_test::TopDownIndices(picture), c.pixels) << c.name;
    }
}

TEST(GifReader, RefusesWhatItCannotReadWholeAndKeepsThePicture) {
    Bytes garbage{'G', 'I', 'F', '8'};
    testing_support::Lcg random(3);
    for (int i = 0; i < 40; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(random.Next()));
    }
    garbage[10] = 0;  // no global table
    garbage[13] = 0x99;
    auto pixels = gif_test::MakePixels(40, 30, 4, false, 9);
    auto twelveRows = DataFor(40, 12, Bytes(pixels.begin(), pixels.begin() + 480));
    auto codeSize12 = DataFor(40, 30, pixels);
    codeSize12[0] = 12;
    auto screen = [](int width, int height) { return GifBuilder(width, height, kFourColours); };
    struct Case {
        const char* name;
        Bytes file;
        const char* error;
    };
    const Case cases[] = {
        {"another signature", {'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, "not a GIF file"},
        {"shorter than a header", {'G', 'I', 'F', '8', '9'}, "not a GIF file"},
        {"no image", GifBuilder(4, 4).Trailer(), "the GIF file holds no image"},
        {"garbage after the header", garbage, "the GIF file holds no image"},
        {"a cut image descriptor", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0},
         "damaged GIF: the file ends in the image descriptor"},
        {"an image without pixels", screen(4, 4).Image(0, 3, {8, 0}).Trailer(),
         "damaged GIF: the image is 0 x 3 pixels"},
        // Enormous sizes from a tiny file are refused before anything is made.
        {"65535 x 65535", screen(1, 1).Image(65535, 65535, {8, 1, 0, 0}).Trailer(), "the GIF picture is too large"},
        {"5000 x 5000", screen(1, 1).Image(5000, 5000, {8, 1, 0, 0}).Trailer(), "the GIF picture is too large"},
        {"a large screen", screen(30000, 30000).Image(1, 1, DataFor(1, 1, {1})).Trailer(),
         "the GIF picture is too large"},
        {"an image beyond the largest screen",
         screen(65535, 1).Place(65535, 0).Image(2, 1, DataFor(2, 1, {1, 1})).Trailer(), "the GIF picture is too large"},
        {"4096 x 4096 without data", screen(1, 1).Image(4096, 4096, {8, 0}).Trailer(),
         "damaged GIF: the image data ends at row 0 of 4096"},
        {"data for 12 rows", screen(40, 30).Image(40, 30, twelveRows).Trailer(),
         "damaged GIF: the image data ends at row 12 of 30"},
        {"data for 12 rows, interlaced", screen(40, 30).Image(40, 30, twelveRows, true).Trailer(),
         "damaged GIF: the image data ends after 12 of 30 interlaced rows"},
        {"code size 12", screen(40, 30).Image(40, 30, codeSize12).Trailer(),
         "damaged GIF: the minimum code size 12 is not 1 to 11"},
    };
    for (const Case& c : cases) {
        auto picture = gif_test::MakePicture(1, 1, {1});
        picture->imageTransparent = 0;
        auto read = image::ReadGif(c.file, *picture);
        ASSERT_FALSE(read) << c.name;
        EXPECT_EQ(read.error().message, c.error) << c.name;
        EXPECT_EQ(picture->imageWidth, 1) << c.name;
        EXPECT_EQ(gif_test::TopDownIndices(*picture), Bytes{1}) << c.name;
        EXPECT_EQ(picture->imageTransparent, 0) << c.name;
    }
    // Up to 4096 x 4096 a picture is made whatever the data hold; a 20,000 x
    // 20,000 map needs some 37 KB at least; beyond 2^30 pixels no data is enough.
    EXPECT_TRUE(image::GifPictureSizeAllowed(4096, 4096, 0));
    EXPECT_TRUE(image::GifPictureSizeAllowed(20000, 20000, 37000));
    EXPECT_FALSE(image::GifPictureSizeAllowed(20000, 20000, 36000));
    EXPECT_FALSE(image::GifPictureSizeAllowed(32768, 32769, 1'000'000'000));
}

TEST(GifReader, HostileFilesEndCleanlyAndNothingPartIsTakenForWhole) {
    // Sub-blocks of noise up to the end of the file, never a terminator.
    auto endless = GifBuilder(64, 64, kFourColours).Image(64, 64, {2}).bytes;
    testing_support::Lcg random(11);
    for (int i = 0; i < 200000; ++i) {
        endless.push_back(i % 256 == 0 ? 255 : static_cast<std::uint8_t>(random.Next()));
    }
    image::CImageImpl picture;
    (void)image::ReadGif(endless, picture);

    // Every cut of a real file reads as the whole picture or not at all.
    auto good = GifBuilder(23, 17, gif_test::RgbTable(16, 2))
                    .Transparency(4)
                    .Image(23, 17, DataFor(23, 17, gif_test::MakePixels(23, 17, 16, true, 4)), true)
                    .Trailer();
    image::CImageImpl whole;
    ASSERT_TRUE(image::ReadGif(good, whole));
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        image::CImageImpl part;
        if (image::ReadGif(std::span(good.data(), cut), part)) {
            EXPECT_EQ(gif_test::TopDownIndices(part), gif_test::TopDownIndices(whole)) << cut;
        } else {
            EXPECT_FALSE(part.HasPicture()) << cut;
        }
    }
    // A sprinkling of flipped bytes.
    for (int round = 0; round < 2000; ++round) {
        auto bad = good;
        for (int k = 0; k < 3; ++k) {
            bad[random.Next() % bad.size()] = static_cast<std::uint8_t>(random.Next());
        }
        image::CImageImpl damaged;
        bool read = static_cast<bool>(image::ReadGif(bad, damaged));
        EXPECT_EQ(damaged.HasPicture(), read);
        EXPECT_EQ(damaged.imageWidth > 0, read);
    }
}

}  // namespace

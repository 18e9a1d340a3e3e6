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

TEST(GifReader, ReadsTheFirstImageWithItsTableAndTransparentIndex) {
    const Bytes local = gif_test::RgbTable(8, 5);
    // The transparent entry turns black, and the table grows to 256 entries of white.
    std::vector<Color> masked = Colors(kFourColours);
    masked[3] = Color{};
    masked.resize(256, kWhite);
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
         1, {3}, masked, 3},
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

TEST(GifReader, TransparentPalettesHaveTheirEntryBlackAndAWhiteOne) {
    const CImagePalette full(std::vector<Color>(256, Color{9, 9, 9}));
    std::vector<Color> withWhite = full.Colors();
    withWhite[30] = kWhite;
    // A full table without white gives up its last entry to white.
    auto fullMasked = image::BuildGifPalette(full, 0).Colors();
    ASSERT_EQ(fullMasked.size(), 256u);
    EXPECT_EQ(fullMasked[0], Color{});
    EXPECT_EQ(fullMasked[254], (Color{9, 9, 9}));
    EXPECT_EQ(fullMasked[255], kWhite);
    // One with white keeps its colours but the transparent one.
    auto whiteMasked = image::BuildGifPalette(CImagePalette(withWhite), 0).Colors();
    EXPECT_EQ(whiteMasked[0], Color{});
    EXPECT_EQ(std::vector<Color>(whiteMasked.begin() + 1, whiteMasked.end()),
              std::vector<Color>(withWhite.begin() + 1, withWhite.end()));
    // Without a transparent index the table stays as it is.
    const CImagePalette four(Colors(kFourColours));
    for (int none : {-1, 256}) {
        EXPECT_EQ(image::BuildGifPalette(four, none).Colors(), four.Colors()) << none;
    }
}

TEST(GifReader, RefusesWhatIsNotAGifAndMakesNoPictureWithoutAnImage) {
    Bytes garbage{'G', 'I', 'F', '8'};
    testing_support::Lcg random(3);
    for (int i = 0; i < 40; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(random.Next()));
    }
    garbage[10] = 0;  // no global table
    garbage[13] = 0x99;
    struct Case {
        const char* name;
        Bytes file;
        const char* error;  // nullptr: read, without a picture
    };
    const Case cases[] = {
        {"another signature", {'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, "This is not a GIF file."},
        {"shorter than a header", {'G', 'I', 'F', '8', '9'}, "This is not a GIF file."},
        {"no image", GifBuilder(4, 4).Trailer(), nullptr},
        {"garbage after the header", garbage, nullptr},
        // A graphic control block of the wrong size ends the parse.
        {"odd control block", GifBuilder(1, 1, kFourColours).Transparency(2, 5).Image(1, 1, {8, 0}).Trailer(),
         nullptr},
        // Enormous sizes from a tiny file are refused before anything is made.
        {"65535 x 65535", GifBuilder(1, 1).Image(65535, 65535, {8, 1, 0, 0}).Trailer(), "The GIF picture is too large."},
        {"5000 x 5000", GifBuilder(1, 1).Image(5000, 5000, {8, 1, 0, 0}).Trailer(), "The GIF picture is too large."},
    };
    for (const Case& c : cases) {
        image::CImageImpl picture;
        auto read = image::ReadGif(c.file, picture);
        EXPECT_EQ(read.has_value(), c.error == nullptr) << c.name;
        if (!read && c.error != nullptr) {
            EXPECT_EQ(read.error().message, c.error) << c.name;
        }
        EXPECT_FALSE(picture.HasPicture()) << c.name;
    }
    // Up to 4096 x 4096 a picture is made whatever the data hold; a 20,000 x
    // 20,000 map needs some 37 KB at least; beyond 2^30 pixels no data is enough.
    EXPECT_TRUE(image::GifPictureSizeAllowed(4096, 4096, 0));
    EXPECT_TRUE(image::GifPictureSizeAllowed(20000, 20000, 37000));
    EXPECT_FALSE(image::GifPictureSizeAllowed(20000, 20000, 36000));
    EXPECT_FALSE(image::GifPictureSizeAllowed(32768, 32769, 1'000'000'000));
    image::CImageImpl empty;
    ASSERT_TRUE(image::ReadGif(GifBuilder(1, 1).Image(4096, 4096, {8, 0}).Trailer(), empty));
    EXPECT_EQ(empty.imageWidth, 4096);
}

TEST(GifReader, ShortAndDamagedDataKeepWhatWasDecoded) {
    auto pixels = gif_test::MakePixels(40, 30, 4, false, 9);
    auto whole = GifBuilder(40, 30, kFourColours).Image(40, 30, DataFor(40, 30, pixels)).Trailer();
    const std::size_t packed = 22 + kFourColours.size();  // the image descriptor's last byte
    for (bool interlaced : {false, true}) {
        auto file = whole;
        file[packed] = interlaced ? 0x40 : 0;
        file.resize(file.size() / 2);
        image::CImageImpl picture;
        ASSERT_TRUE(image::ReadGif(file, picture));
        auto got = gif_test::TopDownIndices(picture);
        ASSERT_EQ(got.size(), pixels.size());
        if (!interlaced) {
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 400, pixels.begin()));
            EXPECT_EQ(got.back(), 0);
        }
    }
    // A code size outside 2..9 leaves the picture made but empty.
    auto file = whole;
    file[packed + 1] = 12;
    image::CImageImpl picture;
    ASSERT_TRUE(image::ReadGif(file, picture));
    EXPECT_EQ(gif_test::TopDownIndices(picture), Bytes(1200, 0));
    EXPECT_EQ(picture.imagePalette->Colors(), Colors(kFourColours));
}

TEST(GifReader, HostileFilesEndCleanly) {
    // Sub-blocks of noise up to the end of the file, never a terminator.
    auto endless = GifBuilder(64, 64, kFourColours).Image(64, 64, {2}).bytes;
    testing_support::Lcg random(11);
    for (int i = 0; i < 200000; ++i) {
        endless.push_back(i % 256 == 0 ? 255 : static_cast<std::uint8_t>(random.Next()));
    }
    image::CImageImpl picture;
    EXPECT_TRUE(image::ReadGif(endless, picture));

    // Every cut and a sprinkling of flipped bytes of a real file.
    auto good = GifBuilder(23, 17, gif_test::RgbTable(16, 2))
                    .Transparency(4)
                    .Image(23, 17, DataFor(23, 17, gif_test::MakePixels(23, 17, 16, true, 4)), true)
                    .Trailer();
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        image::CImageImpl part;
        (void)image::ReadGif(std::span(good.data(), cut), part);
    }
    for (int round = 0; round < 2000; ++round) {
        auto bad = good;
        for (int k = 0; k < 3; ++k) {
            bad[random.Next() % bad.size()] = static_cast<std::uint8_t>(random.Next());
        }
        image::CImageImpl damaged;
        if (image::ReadGif(bad, damaged)) {
            EXPECT_EQ(damaged.HasPicture(), damaged.imageWidth > 0);
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"

using gif_test::GifBuilder;
using gif_test::MemoryPicture;
using image::ReadGif;

namespace {

// Image data for a top-down picture, made by the writer.
std::vector<std::uint8_t> DataFor(int w, int h, const std::vector<std::uint8_t>& pixels) {
    auto file = gif_test::SourcePicture(w, h, pixels).Encode();
    return {file.begin() + 791, file.end() - 1};  // minimum code size to terminator
}

const std::vector<std::uint8_t> kFourColours{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

TEST(GifReader, TwoColoursWithoutTransparency) {
    auto file = GifBuilder(3, 2, {0, 0, 0, 255, 255, 255}).Image(3, 2, DataFor(3, 2, {0, 1, 1, 1, 0, 0})).Trailer();
    MemoryPicture picture;
    int transparent = 7;  // left from an earlier read: cleared
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(transparent, -1);
    EXPECT_EQ(picture.Pixels(), (std::vector<std::uint8_t>{0, 1, 1, 1, 0, 0}));
    ASSERT_TRUE(picture.palette);
    EXPECT_EQ(picture.palette->count, 2);
    EXPECT_EQ(picture.palette->red[1], 255);
}

TEST(GifReader, TransparencyMakesA256EntryPaletteWithBlackAndWhite) {
    auto file = GifBuilder(1, 1, kFourColours).Transparency(3).Image(1, 1, DataFor(1, 1, {3})).Trailer();
    MemoryPicture picture;
    int transparent = -1;
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(transparent, 3);
    auto& p = *picture.palette;
    EXPECT_EQ(p.count, 256);
    EXPECT_EQ(p.red[2], 70);
    EXPECT_EQ(p.red[3] + p.green[3] + p.blue[3], 0);
    for (std::size_t i = 4; i < 256; ++i) {
        ASSERT_EQ(p.red[i] & p.green[i] & p.blue[i], 255) << i;
    }

    // A full table without white gives up its last entry to white; one with
    // white keeps its colours.
    image::GifColorTable table;
    table.count = 256;
    table.rgb.fill(9);
    auto full = image::BuildGifPalette(table, 0);
    EXPECT_EQ(full.count, 256);
    EXPECT_EQ(full.red[0], 0);
    EXPECT_EQ(full.red[255] & full.green[255] & full.blue[255], 255);
    EXPECT_EQ(full.red[254], 9);
    table.rgb[30] = table.rgb[31] = table.rgb[32] = 255;
    EXPECT_EQ(image::BuildGifPalette(table, 0).red[255], 9);
}

TEST(GifReader, LocalTableReplacesTheGlobalOne) {
    auto local = gif_test::RgbTable(8, 5);
    auto file = GifBuilder(2, 1, kFourColours).Image(2, 1, DataFor(2, 1, {6, 7}), false, local).Trailer();
    MemoryPicture picture;
    int transparent = -1;
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(picture.palette->count, 8);
    EXPECT_EQ(picture.palette->blue[7], local[23]);
}

TEST(GifReader, InterlacedRowsLandInTheirPlaces) {
    // Lines sent in interlace order carry the number of the row they belong to.
    std::vector<std::uint8_t> sent{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    auto file = GifBuilder(1, 10, kFourColours).Image(1, 10, DataFor(1, 10, sent), true).Trailer();
    MemoryPicture picture;
    int transparent = -1;
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(picture.Pixels(), (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(GifReader, ExtensionsAreSkippedAndOnlyTheFirstImageIsRead) {
    std::vector<std::uint8_t> comment{0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    std::vector<std::uint8_t> loop{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                   3, 1, 0, 0, 0};
    auto file = GifBuilder(2, 2, kFourColours)
                    .Append(comment)
                    .Append(loop)
                    .Image(2, 2, DataFor(2, 2, {1, 2, 3, 0}))
                    .Image(1, 1, DataFor(1, 1, {3}))
                    .Trailer();
    MemoryPicture picture;
    int transparent = -1;
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(picture.created, 1);
    EXPECT_EQ(picture.Pixels(), (std::vector<std::uint8_t>{1, 2, 3, 0}));
}

TEST(GifReader, WhatIsNotAGifAndWhatHoldsNoPicture) {
    MemoryPicture picture;
    int transparent = 5;
    std::vector<std::uint8_t> notGif{'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
    EXPECT_EQ(ReadGif(notGif, picture, transparent), 0);
    EXPECT_EQ(transparent, 5);  // not touched
    EXPECT_EQ(ReadGif(std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9'}, picture, transparent), 0);

    std::vector<std::uint8_t> garbage{'G', 'I', 'F', '8'};
    gif_test::Lcg random(3);
    for (int i = 0; i < 40; ++i) {
        garbage.push_back(static_cast<std::uint8_t>(random.Next()));
    }
    garbage[10] = 0;  // no global table
    garbage[13] = 0x99;
    EXPECT_EQ(ReadGif(garbage, picture, transparent), 1);
    EXPECT_EQ(ReadGif(GifBuilder(4, 4).Trailer(), picture, transparent), 1);

    // A graphic control block of the wrong size ends the parse.
    auto odd = GifBuilder(1, 1, kFourColours).Transparency(2, 5).Image(1, 1, DataFor(1, 1, {1})).Trailer();
    EXPECT_EQ(ReadGif(odd, picture, transparent), 1);
    EXPECT_EQ(picture.created, 0);
}

TEST(GifReader, ShortAndDamagedDataKeepWhatWasDecoded) {
    auto pixels = gif_test::MakePixels(40, 30, 4, false, 9);
    auto whole = GifBuilder(40, 30, kFourColours).Image(40, 30, DataFor(40, 30, pixels)).Trailer();
    for (bool interlaced : {false, true}) {
        auto file = whole;
        file[22 + kFourColours.size()] = interlaced ? 0x40 : 0;  // image packed byte
        file.resize(file.size() / 2);
        MemoryPicture picture;
        int transparent = -1;
        EXPECT_EQ(ReadGif(file, picture, transparent), 1);
        if (!interlaced) {
            auto got = picture.Pixels();
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 400, pixels.begin()));
            EXPECT_EQ(got.back(), 0);
        }
    }
    // A code size outside 2..9 leaves the picture made but empty.
    auto file = whole;
    file[23 + kFourColours.size()] = 12;  // minimum code size
    MemoryPicture picture;
    int transparent = -1;
    EXPECT_EQ(ReadGif(file, picture, transparent), 1);
    EXPECT_EQ(picture.Pixels(), std::vector<std::uint8_t>(1200, 0));
    EXPECT_EQ(picture.palette->count, 4);
}

TEST(GifReader, HostileFilesEndCleanly) {
    MemoryPicture picture;
    int transparent = -1;
    // Enormous sizes from a tiny file are refused before anything is made.
    for (auto [w, h] : {std::pair{65535, 65535}, std::pair{5000, 5000}}) {
        EXPECT_EQ(ReadGif(GifBuilder(1, 1).Image(w, h, {8, 1, 0, 0}).Trailer(), picture, transparent), 0);
    }
    EXPECT_EQ(picture.created, 0);
    EXPECT_TRUE(image::GifPictureSizeAllowed(4000, 4000, 0));
    EXPECT_TRUE(image::GifPictureSizeAllowed(20000, 20000, 50000));
    EXPECT_FALSE(image::GifPictureSizeAllowed(65535, 65535, 100'000'000));  // rows beyond 2 GiB

    // Sub-blocks of noise up to the end of the file, never a terminator.
    auto endless = GifBuilder(64, 64, kFourColours).Image(64, 64, {2}).bytes;
    gif_test::Lcg random(11);
    for (int i = 0; i < 200000; ++i) {
        endless.push_back(i % 256 == 0 ? 255 : static_cast<std::uint8_t>(random.Next()));
    }
    EXPECT_EQ(ReadGif(endless, picture, transparent), 1);

    // Every cut and a sprinkling of flipped bytes of a real file.
    auto good = GifBuilder(23, 17, gif_test::RgbTable(16, 2))
                    .Transparency(4)
                    .Image(23, 17, DataFor(23, 17, gif_test::MakePixels(23, 17, 16, true, 4)), true)
                    .Trailer();
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        MemoryPicture part;
        ReadGif(std::span(good.data(), cut), part, transparent);
    }
    for (int round = 0; round < 2000; ++round) {
        auto bad = good;
        for (int k = 0; k < 3; ++k) {
            bad[random.Next() % bad.size()] = static_cast<std::uint8_t>(random.Next());
        }
        MemoryPicture damaged;
        int result = ReadGif(bad, damaged, transparent);
        ASSERT_TRUE(result == 0 || result == 1);
    }
}

}  // namespace

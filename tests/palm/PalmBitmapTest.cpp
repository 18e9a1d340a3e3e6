#include <gtest/gtest.h>

#include "palm/PalmBitmap.h"
#include "palm/PixelOps.h"
#include "PalmFixtures.h"
#include "view/MapDisplay.h"

using namespace palm;
using namespace palm_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr Color kBlack{0, 0, 0};
constexpr Color kWhite{255, 255, 255};

Color Grey(std::uint8_t level) {
    return {level, level, level};
}

// The 8-bit picture of 4 × 2 pixels whose stored rows are 1 1 0 0 (bottom) and 0 1 0 1 (top).
Picture BlackAndWhite() {
    return Picture{4, 2, 8, {kBlack, kWhite}, {0, 1, 0, 1, 1, 1, 0, 0}};
}

void ExpectUnsupportedFormat(const platform::Error& error) {
    EXPECT_EQ(error.title, kUnsupportedFormatTitle);
    EXPECT_EQ(error.message, kUnsupportedFormatText);
}

}  // namespace

TEST(BuildPalmBitmap, WorkedExampleWithAndWithoutColourTable) {
    const Bytes file = BlackAndWhite().Bmp(Picture::Layout::kBottomUp, 2);
    struct Case {
        unsigned depth;
        bool table;
        Bytes data;
    };
    const Case cases[] = {
        {1, false, {0xA0, 0x00, 0x30, 0x00}},
        {2, false, {0xCC, 0x00, 0x0F, 0x00}},
        {1, true, {0, 2, 0, 0, 0, 0, 0, 255, 255, 255, 0x50, 0x00, 0xC0, 0x00}},
    };
    for (const Case& c : cases) {
        auto map = Convert(file, c.depth, c.table);
        ASSERT_TRUE(map) << c.depth;
        EXPECT_EQ(map->width, 4);
        EXPECT_EQ(map->height, 2);
        EXPECT_EQ(map->rowBytes, 2);
        EXPECT_EQ(map->pixelSize, c.depth);
        EXPECT_EQ(map->version, 2);
        // Compression is the import's: a new map never has the compressed flag.
        EXPECT_EQ(map->flags, c.table ? mapdb::kHasColorTable : 0);
        EXPECT_EQ(map->data, c.data) << c.depth << " bits, table " << c.table;
    }
}

TEST(ReadSourcePicture, GivesWhatTheColourDepthQuestionShows) {
    // A file table of two colours in a 4-bit picture: the other entries are black.
    const Picture picture = RandomPicture(100, 100, 4, 1);
    const Bytes file = picture.Bmp(Picture::Layout::kBottomUp, 2);
    auto source = ReadSourcePicture(file);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->width, 100u);
    EXPECT_EQ(source->height, 100u);
    EXPECT_EQ(source->bitCount, 4u);
    std::vector<Color> colors(16, kBlack);
    std::copy_n(picture.colors.begin(), 2, colors.begin());
    EXPECT_EQ(source->colors.Colors(), colors);

    std::vector<std::string> shown;
    for (float kb : SizeEstimates(source->width, source->height)) {
        shown.push_back(view::FormatFloat(kb));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"1.41016", "2.58203", "4.92578", "9.80859"}));
    for (float kb : SizeEstimates(1, 1)) {
        EXPECT_EQ(view::FormatFloat(kb), "0.0449219");
    }
}

TEST(DestinationTable, GreyLevelsAndTheirBounds) {
    // Luminance 128 and 240 exactly, one step above each, white and black.
    const image::CImagePalette colors({Grey(128), Grey(129), Grey(240), Grey(241), kWhite, kBlack, {0, 0, 255}});
    EXPECT_EQ(Luminance(128, 128, 128), 128.0f);
    EXPECT_EQ(Luminance(0, 0, 255), 27.890625f);
    auto one = DestinationTable(colors, 1, false);
    auto two = DestinationTable(colors, 2, false);
    auto four = DestinationTable(colors, 4, false);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 7), (Bytes{1, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(Bytes(two.begin(), two.begin() + 7), (Bytes{2, 1, 0, 0, 0, 3, 3}));
    EXPECT_EQ(Bytes(four.begin(), four.begin() + 7), (Bytes{8, 7, 1, 0, 0, 15, 14}));
}

TEST(DestinationTable, ColourTableIndicesAndNearestReplacement) {
    std::vector<Color> entries(256, kBlack);
    for (unsigned i = 0; i < 16; ++i) {
        entries[i] = Color{static_cast<std::uint8_t>(16 * i), 0, static_cast<std::uint8_t>(255 - 16 * i)};
    }
    entries[200] = Color{80, 3, 175};  // nearest to entry 5 (80, 0, 175)
    entries[201] = kWhite;
    const image::CImagePalette colors(entries);
    auto four = DestinationTable(colors, 4, true);
    for (unsigned i = 0; i < 16; ++i) {
        EXPECT_EQ(four[i], i);
    }
    EXPECT_EQ(four[200], 5);
    EXPECT_EQ(four[201], 8);  // (128, 0, 127) is the closest to white
    auto two = DestinationTable(colors, 2, true);
    EXPECT_EQ(two[200], 3);
    auto one = DestinationTable(colors, 1, true);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(one[200], 1);
    auto eight = DestinationTable(colors, 8, false);
    EXPECT_EQ(eight[201], 201);
}

TEST(BuildPalmBitmap, ColourTableKeepsTheEntriesTheDepthCanAddressAndBlackForMissingOnes) {
    Picture picture = RandomPicture(5, 3, 8, 7);
    picture.indices[0] = 200;
    picture.colors[200] = picture.colors[9];
    auto map = Convert(picture.Bmp(), 4, true);
    ASSERT_TRUE(map);
    const Bytes& data = map->data;
    ASSERT_EQ(data.size(), 2 + 4 * 16 + 3 * 4u);
    EXPECT_EQ(ReadPalmColorTable(data, 256).Colors(),
              std::vector<Color>(picture.colors.begin(), picture.colors.begin() + 16));
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(data[2 + 4 * i], 0);  // the index byte
    }
    EXPECT_EQ(data[66] >> 4, 9);  // the index that did not fit is the entry of the same colour

    // A file table of two colours: the other entries and the colours of the indices beyond are black.
    const Picture shortTable{4, 1, 8, {kWhite, kWhite}, {0, 1, 2, 3}};
    map = Convert(shortTable.Bmp(Picture::Layout::kBottomUp, 2), 8, true);
    ASSERT_TRUE(map);
    ASSERT_EQ(map->data.size(), 2 + 4 * 256 + 4u);
    EXPECT_EQ((Bytes(map->data.begin() + 6, map->data.begin() + 14)), (Bytes{0, 255, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(PixelRows(*map), (Bytes{0, 1, 2, 3}));
    map = Convert(shortTable.Bmp(Picture::Layout::kBottomUp, 2), 1, false);
    ASSERT_TRUE(map);
    EXPECT_EQ(PixelRows(*map), (Bytes{0x30, 0}));
}

// Every layout the bitmap reader knows gives the record of the plain bottom-up file.
TEST(BuildPalmBitmap, FileLayoutsConvertAlike) {
    for (unsigned bits : {1u, 4u, 8u}) {
        const Picture picture = RandomPicture(19, 6, bits, bits);
        std::vector<Picture::Layout> layouts{Picture::Layout::kTopDown, Picture::Layout::kCore, Picture::Layout::kV4,
                                             Picture::Layout::kV5};
        if (bits != 1) {
            layouts.push_back(Picture::Layout::kRle);
        }
        for (unsigned depth : {1u, 2u, 4u, 8u}) {
            for (bool table : {false, true}) {
                const auto expected = Convert(picture.Bmp(), depth, table);
                ASSERT_TRUE(expected);
                for (auto layout : layouts) {
                    auto map = Convert(picture.Bmp(layout), depth, table);
                    ASSERT_TRUE(map) << bits << " bits, layout " << static_cast<int>(layout);
                    EXPECT_EQ(map->data, expected->data) << bits << " to " << depth << ", " << static_cast<int>(layout);
                }
            }
        }
    }
}

// The row-at-a-time conversion agrees with the per-pixel definition at every
// pair of depths and at widths that end anywhere in a byte.
TEST(BuildPalmBitmap, RowConversionMatchesPixelByPixelDefinition) {
    for (unsigned bits : {1u, 4u, 8u}) {
        for (std::uint32_t width : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 17u, 30u, 33u, 64u, 71u, 130u}) {
            const Picture picture = RandomPicture(width, 5, bits, width * bits);
            const Bytes file = picture.Bmp();
            const Bytes stored = picture.Rows(false);
            const image::CImagePalette colors(picture.colors);
            for (unsigned depth : {1u, 2u, 4u, 8u}) {
                for (bool table : {false, true}) {
                    const auto lookup = DestinationTable(colors, depth, table);
                    Bytes expected(AlignedRowBytes(width, depth, 16) * 5, 0);
                    for (std::uint32_t y = 0; y < 5; ++y) {
                        for (std::uint32_t x = 0; x < width; ++x) {
                            unsigned s = bits == 1   ? ReadPixel1(width, stored.data(), x, 4 - y)
                                         : bits == 4 ? ReadPixel4(width, stored.data(), x, 4 - y)
                                                     : ReadPixel8(width, stored.data(), x, 4 - y);
                            unsigned v = lookup[s];
                            if (depth == 1 && v != 0) {
                                WritePixel1(width, expected.data(), x, y);
                            } else if (depth == 2) {
                                WritePixel2(width, expected.data(), x, y, v);
                            } else if (depth == 4) {
                                WritePixel4(width, expected.data(), x, y, v);
                            } else if (depth == 8) {
                                WritePixel8(width, expected.data(), x, y, v);
                            }
                        }
                    }
                    auto map = Convert(file, depth, table);
                    ASSERT_TRUE(map);
                    EXPECT_EQ(PixelRows(*map), expected) << bits << " to " << depth << " bits, width " << width;
                }
            }
        }
    }
}

TEST(ReadSourcePicture, RefusesPicturesNoMapCanBeMadeOf) {
    Bytes trueColour = RandomPicture(3, 2, 8, 3).Bmp();
    platform::WriteLE16(&trueColour[28], 24);
    const Bytes plain = BlackAndWhite().Bmp();
    const Bytes bare(plain.begin() + 14, plain.end());  // an info header without "BM" in front
    Bytes truncated = plain;
    truncated.resize(truncated.size() - 3);
    const Picture twoBit{4, 1, 2, {kBlack, kWhite, kBlack, kWhite}, {0, 1, 2, 3}};
    const Picture wide{65536, 1, 1, {kBlack, kWhite}, Bytes(65536, 1)};
    const Picture tall{1, 65536, 1, {kBlack, kWhite}, Bytes(65536, 1)};

    for (const Bytes& file : {trueColour, bare, truncated, twoBit.Bmp(), wide.Bmp(), tall.Bmp(), Bytes{'B'}, Bytes{}}) {
        auto picture = ReadSourcePicture(file);
        ASSERT_FALSE(picture) << file.size() << " bytes";
        ExpectUnsupportedFormat(picture.error());
    }
}

TEST(BuildPalmBitmap, RefusesRowsBeyondTheRowBytesField) {
    // 65,535 pixels fit the width field, but not a row of 65,536 bytes at 8 bits.
    const Bytes widest = Picture{65535, 1, 8, {kBlack}, Bytes(65535, 0)}.Bmp();
    auto map = Convert(widest, 8, false);
    ASSERT_FALSE(map);
    ExpectUnsupportedFormat(map.error());
    map = Convert(widest, 4, false);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->rowBytes, 32768);
    EXPECT_EQ(map->width, 65535);
}

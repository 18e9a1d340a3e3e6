#include <gtest/gtest.h>

#include "palm/PalmBitmap.h"
#include "palm/PixelOps.h"
#include "PalmFixtures.h"
#include "view/MapDisplay.h"

using namespace palm;
using namespace palm_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

Rgb Grey(std::uint8_t level) {
    return {level, level, level};
}

// The 8-bit picture of 4 × 2 pixels whose stored rows are 1 1 0 0 (bottom) and 0 1 0 1 (top).
Picture BlackAndWhite() {
    return Picture{4, 2, 8, {kBlack, kWhite}, {0, 1, 0, 1, 1, 1, 0, 0}};
}

class BuildPalmBitmapTest : public ::testing::Test, public testing_support::WithScriptedUi {};

}  // namespace

TEST_F(BuildPalmBitmapTest, WorkedExampleWithAndWithoutColourTable) {
    const Bytes file = BlackAndWhite().Bmp(Picture::Layout::kBottomUp, 2);

    auto map = Convert(ui, file, 1, false);
    EXPECT_EQ(map.width, 4);
    EXPECT_EQ(map.height, 2);
    EXPECT_EQ(map.rowBytes, 2);
    EXPECT_EQ(map.pixelSize, 1);
    EXPECT_EQ(map.version, 2);
    EXPECT_EQ(map.flags, 0);
    EXPECT_EQ(*map.data, (Bytes{0xA0, 0x00, 0x30, 0x00}));

    map = Convert(ui, file, 2, false);
    EXPECT_EQ(*map.data, (Bytes{0xCC, 0x00, 0x0F, 0x00}));

    map = Convert(ui, file, 1, true, true);
    EXPECT_EQ(map.flags, mapdb::kHasColorTable | mapdb::kCompressed);
    EXPECT_EQ(*map.data, (Bytes{0, 2, 0, 0, 0, 0, 0, 255, 255, 255, 0x50, 0x00, 0xC0, 0x00}));
    EXPECT_EQ(ui.dialogs, (std::vector<int>(3, CColorDepthDlg::kTemplateId)));
}

TEST_F(BuildPalmBitmapTest, DialogShowsEstimatesAndStartsAtOneBitWithNothingTicked) {
    std::vector<std::string> shown;
    ui.answer = [&](platform::CDialog& dialog) {
        auto& depth = dynamic_cast<CColorDepthDlg&>(dialog);
        for (float kb : depth.sizeEstimates) {
            shown.push_back(view::FormatFloat(kb));
        }
        EXPECT_EQ(depth.depthChoice, 0);
        EXPECT_FALSE(depth.compress);
        EXPECT_FALSE(depth.includeColorTable);
        EXPECT_EQ(depth.sourceDepth, 4);
    };
    const Bytes file = RandomPicture(100, 100, 4, 1).Bmp();
    mapdb::MapRecord map;
    BuildPalmBitmap(map, file.data(), file.size());
    EXPECT_EQ(shown, (std::vector<std::string>{"1.41016", "2.58203", "4.92578", "9.80859"}));
    // Left as it was (closed with Esc): 1 bit, uncompressed, no colour table.
    EXPECT_EQ(map.pixelSize, 1);
    EXPECT_EQ(map.rowBytes, 14);
    EXPECT_EQ(map.flags, 0);
    EXPECT_EQ(map.data->size(), 1400u);

    for (float kb : SizeEstimates(1, 1)) {
        EXPECT_EQ(view::FormatFloat(kb), "0.0449219");
    }
}

TEST(PixelOps, RowSizesAtWidthSeventeen) {
    EXPECT_EQ(AlignedRowBytes(17, 1, 16), 4u);
    EXPECT_EQ(AlignedRowBytes(17, 2, 16), 6u);
    EXPECT_EQ(AlignedRowBytes(17, 4, 16), 10u);
    EXPECT_EQ(AlignedRowBytes(17, 8, 16), 18u);
    EXPECT_EQ(AlignedRowBytes(17, 4, 32), 12u);
}

TEST(DestinationTable, GreyLevelsAndTheirBounds) {
    // Luminance 128 and 240 exactly, one step above each, white and black.
    const std::vector<Rgb> colors{Grey(128), Grey(129), Grey(240), Grey(241), kWhite, kBlack, {0, 0, 255}};
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
    std::vector<Rgb> colors(256, kBlack);
    for (unsigned i = 0; i < 16; ++i) {
        colors[i] = Rgb{static_cast<std::uint8_t>(16 * i), 0, static_cast<std::uint8_t>(255 - 16 * i)};
    }
    colors[200] = Rgb{80, 3, 175};  // nearest to entry 5 (80, 0, 175)
    colors[201] = Rgb{255, 255, 255};
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

TEST_F(BuildPalmBitmapTest, ColourTableKeepsTheEntriesTheDepthCanAddressAndBlackForMissingOnes) {
    Picture picture = RandomPicture(5, 3, 8, 7);
    picture.indices[0] = 200;
    picture.colors[200] = picture.colors[9];
    auto map = Convert(ui, picture.Bmp(), 4, true);
    const platform::ByteBlock& data = *map.data;
    ASSERT_EQ(data.size(), 2 + 4 * 16 + 3 * 4u);
    EXPECT_EQ(platform::ReadBE16(data.data()), 16);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(data[2 + 4 * i], 0);
        EXPECT_EQ((Rgb{data[3 + 4 * i], data[4 + 4 * i], data[5 + 4 * i]}), picture.colors[i]);
    }
    EXPECT_EQ(data[66] >> 4, 9);  // the index that did not fit is the entry of the same colour

    // A file table of two colours: the other entries and the colours of the indices beyond are black.
    Picture shortTable{4, 1, 8, {kWhite, kWhite}, {0, 1, 2, 3}};
    map = Convert(ui, shortTable.Bmp(Picture::Layout::kBottomUp, 2), 8, true);
    ASSERT_EQ(map.data->size(), 2 + 4 * 256 + 4u);
    EXPECT_EQ((Bytes(map.data->begin() + 6, map.data->begin() + 14)), (Bytes{0, 255, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(PixelRows(map), (Bytes{0, 1, 2, 3}));
    map = Convert(ui, shortTable.Bmp(Picture::Layout::kBottomUp, 2), 1, false);
    EXPECT_EQ(PixelRows(map), (Bytes{0x30, 0}));
}

// Every layout the bitmap reader knows gives the record of the plain bottom-up file.
TEST_F(BuildPalmBitmapTest, FileLayoutsConvertAlike) {
    for (unsigned bits : {1u, 4u, 8u}) {
        const Picture picture = RandomPicture(19, 6, bits, bits);
        for (unsigned depth : {1u, 2u, 4u, 8u}) {
            for (bool table : {false, true}) {
                const auto expected = Convert(ui, picture.Bmp(), depth, table);
                std::vector<Picture::Layout> layouts{Picture::Layout::kTopDown, Picture::Layout::kCore,
                                                     Picture::Layout::kV4, Picture::Layout::kV5};
                if (bits != 1) {
                    layouts.push_back(Picture::Layout::kRle);
                }
                for (auto layout : layouts) {
                    auto map = Convert(ui, picture.Bmp(layout), depth, table);
                    ASSERT_TRUE(map.data) << bits << " bits, layout " << static_cast<int>(layout);
                    EXPECT_EQ(*map.data, *expected.data) << bits << " to " << depth << ", " << static_cast<int>(layout);
                }
            }
        }
    }
    EXPECT_TRUE(ui.notices.empty());
}

// The row-at-a-time conversion agrees with the per-pixel definition at every
// pair of depths and at widths that end anywhere in a byte.
TEST_F(BuildPalmBitmapTest, RowConversionMatchesPixelByPixelDefinition) {
    for (unsigned bits : {1u, 4u, 8u}) {
        for (std::uint32_t width : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 17u, 30u, 33u, 64u, 71u, 130u}) {
            const Picture picture = RandomPicture(width, 5, bits, width * bits);
            const Bytes file = picture.Bmp();
            const Bytes stored = picture.Rows(false);
            for (unsigned depth : {1u, 2u, 4u, 8u}) {
                for (bool table : {false, true}) {
                    const auto lookup = DestinationTable(picture.colors, depth, table);
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
                    auto map = Convert(ui, file, depth, table);
                    EXPECT_EQ(PixelRows(map), expected) << bits << " to " << depth << " bits, width " << width;
                }
            }
        }
    }
}

TEST_F(BuildPalmBitmapTest, RefusedPicturesLeaveTheRecordAsItWas) {
    Picture deep = RandomPicture(3, 2, 8, 3);
    Bytes trueColour = deep.Bmp();
    platform::WriteLE16(&trueColour[28], 24);
    const Bytes plain = BlackAndWhite().Bmp();
    Bytes bare(plain.begin() + 14, plain.end());  // an info header without "BM" in front
    Bytes truncated = plain;
    truncated.resize(truncated.size() - 3);
    Picture twoBit{4, 1, 2, {kBlack, kWhite, kBlack, kWhite}, {0, 1, 2, 3}};
    Picture wide{65536, 1, 1, {kBlack, kWhite}, Bytes(65536, 1)};

    for (const Bytes& file : {trueColour, bare, truncated, twoBit.Bmp(), wide.Bmp(), Bytes{'B'}}) {
        ui.dialogs.clear();
        mapdb::MapRecord map;
        map.SetName("Keep");
        BuildPalmBitmap(map, file.data(), file.size());
        EXPECT_FALSE(map.data);
        EXPECT_EQ(map.GetName(), "Keep");
        EXPECT_EQ(map.width, 0);
        EXPECT_EQ(ui.dialogs, std::vector<int>{CUnsupportedFormatDlg::kTemplateId});
    }
    mapdb::MapRecord map;
    BuildPalmBitmap(map, nullptr, 0);
    EXPECT_FALSE(map.data);

    // 65,535 pixels fit the width field, but not a row of 65,536 bytes at 8 bits.
    Picture widest{65535, 1, 8, {kBlack}, Bytes(65535, 0)};
    ui.dialogs.clear();
    map = Convert(ui, widest.Bmp(), 8, false);
    EXPECT_FALSE(map.data);
    EXPECT_EQ(ui.dialogs, (std::vector<int>{CColorDepthDlg::kTemplateId, CUnsupportedFormatDlg::kTemplateId}));
    map = Convert(ui, widest.Bmp(), 4, false);
    EXPECT_EQ(map.rowBytes, 32768);
    EXPECT_EQ(map.width, 65535);
}

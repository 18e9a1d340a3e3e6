#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "image/BmpImageImpl.h"
#include "palm/MapColors.h"
#include "palm/PalmBitmap.h"
#include "palm/PixelOps.h"
#include "platform/Memory.h"
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

std::size_t DistinctColors(const Picture& picture) {
    std::vector<Color> distinct;
    for (unsigned s : picture.indices) {
        if (std::find(distinct.begin(), distinct.end(), picture.colors[s]) == distinct.end()) {
            distinct.push_back(picture.colors[s]);
        }
    }
    return distinct.size();
}

// The notice's title and text, and after them the reason, when there is one, on a line of its own.
void ExpectUnsupportedFormat(const platform::Error& error, const std::string& reason = {}) {
    EXPECT_EQ(error.title, kUnsupportedFormatTitle);
    EXPECT_EQ(error.message, reason.empty() ? kUnsupportedFormatText : kUnsupportedFormatText + ("\n" + reason));
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
    EXPECT_EQ(eight[201], 0);  // white is the first colour of the system palette
}

TEST(BuildPalmBitmap, ColourTableKeepsTheEntriesTheDepthCanAddressAndBlackForMissingOnes) {
    // More colours than 4 bits hold.
    Picture picture = RandomPicture(9, 3, 8, 7);
    picture.indices[0] = 200;
    picture.colors[200] = picture.colors[9];
    auto map = Convert(picture.Bmp(), 4, true);
    ASSERT_TRUE(map);
    const Bytes& data = map->data;
    ASSERT_EQ(data.size(), 2 + 4 * 16 + 3 * 6u);
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
                    if (table && depth < 8 && DistinctColors(picture) <= (1u << depth)) {
                        continue;  // a table of just the colours used: ColourTableOfTheColoursUsed
                    }
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
    ExpectUnsupportedFormat(map.error(), "A row of 65535 pixels at 8 bits is more than a map's row can hold.");
    map = Convert(widest, 4, false);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->rowBytes, 32768);
    EXPECT_EQ(map->width, 65535);
}

// Below 8 bits a table holds just the colours the pixels use, in the order of
// their lowest index, when the depth has room for them; otherwise the first
// colours of the picture's table, and the nearest of them.
TEST(BuildPalmBitmap, ColourTableOfTheColoursUsed) {
    std::vector<Color> layout(256, Color{128, 0, 0});
    layout[0] = kBlack;
    layout[7] = {0, 0, 255};
    layout[9] = {0, 0, 255};  // the same colour twice
    layout[20] = {0, 255, 0};
    layout[255] = kWhite;
    struct Case {
        const char* what;
        Bytes indices;
        unsigned depth;
        std::vector<Color> table;
        Bytes rows;
    };
    const Case cases[] = {
        {"black and white at high and low indices", {255, 0, 255, 255, 0}, 1, {kBlack, kWhite}, {0xB0, 0}},
        {"the same, 4 bits", {255, 0, 255, 255, 0}, 4, {kBlack, kWhite}, {0x10, 0x11, 0x00, 0}},
        {"one colour at two indices", {9, 7, 255, 0, 7}, 2, {kBlack, {0, 0, 255}, kWhite}, {0x58, 0x40}},
        {"more colours than fit: the first four, and the nearest", {20, 7, 255, 1, 0}, 2,
         {kBlack, layout[1], layout[2], layout[3]}, {0x05, 0x00}},
    };
    for (const Case& c : cases) {
        const Picture picture{5, 1, 8, layout, c.indices};
        auto map = Convert(picture.Bmp(), c.depth, true);
        ASSERT_TRUE(map) << c.what;
        EXPECT_EQ(ReadPalmColorTable(map->data, 256).Colors(), c.table) << c.what;
        EXPECT_EQ(PixelRows(*map), c.rows) << c.what;
    }
}

// Error diffusion mixes the levels or palette colours around a colour in
// proportion; without it every pixel of one colour takes one value.
TEST(BuildPalmBitmap, DitheringMixesLevelsInProportion) {
    constexpr std::uint32_t kSide = 32;
    auto flat = [](Color c) { return Picture{kSide, kSide, 8, {c}, Bytes(kSide * kSide, 0)}.Bmp(); };
    auto values = [](const mapdb::MapRecord& map) {
        std::map<unsigned, std::size_t> counts;
        const Bytes rows = PixelRows(map);
        for (std::uint32_t y = 0; y < map.height; ++y) {
            for (std::uint32_t x = 0; x < map.width; ++x) {
                const unsigned bit = x * map.pixelSize;
                ++counts[(rows[y * map.rowBytes + bit / 8] >> (8 - map.pixelSize - bit % 8)) & ((1u << map.pixelSize) - 1)];
            }
        }
        return counts;
    };
    // Mid grey at 1 bit: all black, or half black.
    auto plain = Convert(flat(Grey(128)), ConversionOptions{1, false, false, false});
    auto dithered = Convert(flat(Grey(128)), ConversionOptions{1, false, false, true});
    ASSERT_TRUE(plain && dithered);
    EXPECT_EQ(values(*plain), (std::map<unsigned, std::size_t>{{1, kSide * kSide}}));
    EXPECT_NEAR(static_cast<double>(values(*dithered)[1]) / (kSide * kSide), 0.5, 0.02);

    // A colour between the system palette's: one colour, or the colours around it.
    const Color between{25, 230, 77};
    plain = Convert(flat(between), ConversionOptions{8, false, false, false});
    dithered = Convert(flat(between), ConversionOptions{8, false, false, true});
    ASSERT_TRUE(plain && dithered);
    EXPECT_EQ(values(*plain).size(), 1u);
    double mean[3]{};
    for (const auto& [value, count] : values(*dithered)) {
        const Color c = SystemPalette().At(value);
        mean[0] += c.red * static_cast<double>(count);
        mean[1] += c.green * static_cast<double>(count);
        mean[2] += c.blue * static_cast<double>(count);
    }
    EXPECT_GT(values(*dithered).size(), 1u);
    EXPECT_NEAR(mean[0] / (kSide * kSide), between.red, 3);
    EXPECT_NEAR(mean[1] / (kSide * kSide), between.green, 3);
    EXPECT_NEAR(mean[2] / (kSide * kSide), between.blue, 3);

    // A picture drawn in the system palette is not dithered.
    const Picture inPalette{3, 1, 8, SystemPalette().Colors(), {5, 100, 229}};
    dithered = Convert(inPalette.Bmp(), ConversionOptions{8, false, false, true});
    ASSERT_TRUE(dithered);
    EXPECT_EQ(PixelRows(*dithered), (Bytes{5, 100, 229, 0}));
}

// A picture of the image library converts as the same picture read from its file.
TEST(TakeSourcePicture, ConvertsAsTheFileOfThePicture) {
    for (unsigned bits : {1u, 4u, 8u}) {
        const Picture picture = RandomPicture(13, 4, bits, bits + 40);
        for (unsigned depth : {1u, 2u, 4u, 8u}) {
            for (bool table : {false, true}) {
                image::CBmpImageImpl decoded("");
                ASSERT_TRUE(decoded.ReadImageBytes(picture.Bmp()));
                auto source = TakeSourcePicture(decoded);
                ASSERT_TRUE(source);
                EXPECT_FALSE(decoded.HasPicture());
                auto map = BuildPalmBitmap(*source, ConversionOptions{depth, false, table});
                auto fromFile = Convert(picture.Bmp(), depth, table);
                ASSERT_TRUE(map && fromFile);
                EXPECT_EQ(map->data, fromFile->data) << bits << " to " << depth << ", table " << table;
            }
        }
    }
    // 2 bits, which no bitmap file of ours holds: as the 4-bit picture of the same indices.
    image::CImageImpl twoBit;
    ASSERT_NE(twoBit.Create(5, 2, 2, -1), 0);
    twoBit.SetPaletteObject(std::make_unique<image::CImagePalette>(std::vector<Color>{kWhite, Grey(100), kBlack, Grey(200)}));
    Picture fourBit{5, 2, 4, {kWhite, Grey(100), kBlack, Grey(200)}, {0, 1, 2, 3, 2, 3, 3, 1, 0, 0}};
    fourBit.colors.resize(16);
    for (std::uint32_t i = 0; i < fourBit.indices.size(); ++i) {
        twoBit.SetPixelIndex(static_cast<int>(i % 5), static_cast<int>(1 - i / 5), fourBit.indices[i]);
    }
    auto source = TakeSourcePicture(twoBit);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->bitCount, 2u);
    auto map = BuildPalmBitmap(*source, ConversionOptions{2, false, false});
    auto expected = Convert(fourBit.Bmp(), 2, false);
    ASSERT_TRUE(map);
    ASSERT_TRUE(expected) << expected.error().message;
    EXPECT_EQ(map->data, expected->data);

    image::CImageImpl trueColour;
    ASSERT_NE(trueColour.Create(2, 2, 24, -1), 0);
    auto refused = TakeSourcePicture(trueColour);
    ASSERT_FALSE(refused);
    ExpectUnsupportedFormat(refused.error());
}

// Rows given back read as zeros: every page wholly within the rows released so
// far, none that holds a row still to be read, whichever end of the block the
// top row lies at and however the rows and pages are cut; nothing at all when
// the picture's memory is not its own to give.
TEST(SourcePicture, ReleasedRowsGiveBackTheirWholePagesAndNoOther) {
    const std::size_t page = platform::PageSize();
    for (bool topDown : {true, false}) {
        for (bool releasable : {true, false}) {
            std::vector<std::uint8_t> block(40 * page, 0xAB);
            SourcePicture picture;
            picture.firstRow = block.data() + 100;
            picture.stride = page / 3 + 5;
            picture.height = static_cast<std::uint32_t>((block.size() - 200) / picture.stride);
            picture.topDown = topDown;
            picture.releasable = releasable;
            const auto pageOf = [&](const std::uint8_t* p) { return reinterpret_cast<std::uintptr_t>(p) / page; };
            for (std::uint32_t y : {1u, 4u, 5u, 17u, 40u, picture.height}) {
                picture.ReleaseRowsAbove(y);
                // The released rows lie from `low` to `high`.
                const std::uint8_t* rowsEnd = picture.firstRow + picture.stride * picture.height;
                const std::uint8_t* low = topDown ? picture.firstRow : rowsEnd - picture.stride * y;
                const std::uint8_t* high = topDown ? picture.firstRow + picture.stride * y : rowsEnd;
                for (const std::uint8_t* p = block.data(); p < block.data() + block.size(); ++p) {
                    const bool wholePageReleased = pageOf(p) > pageOf(low - 1) && pageOf(p) < pageOf(high);
                    const std::uint8_t expected = releasable && wholePageReleased ? 0 : 0xAB;
                    if (*p != expected) {
                        ADD_FAILURE() << (topDown ? "top-down" : "bottom-up") << ", rows above " << y << ": byte "
                                      << (p - block.data()) << " is " << int{*p};
                        break;
                    }
                }
            }
        }
    }
}

// Checks the Palm bitmaps we build with netpbm's palmtopnm, a decoder written
// elsewhere: each must decode to the picture that the conversion rules predict.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

#include "palm/MapColors.h"
#include "palm/ScanLines.h"
#include "PalmFixtures.h"
#include "support/RunCommand.h"
#include "support/TempFolder.h"

using namespace palm;
using namespace palm_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Decoded {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Color> pixels;
};

// A PBM, PGM or PPM file in raw form, as 8-bit colours (PBM 1 is black).
std::optional<Decoded> ReadPnm(const std::string& text) {
    std::istringstream in(text);
    std::string magic;
    Decoded image;
    unsigned maxval = 1;
    in >> magic >> image.width >> image.height;
    if (magic != "P4") {
        in >> maxval;
    }
    in.get();
    if (!in || (magic != "P4" && magic != "P5" && magic != "P6") || maxval == 0 || maxval > 255) {
        return std::nullopt;
    }
    std::string raster((std::istreambuf_iterator<char>(in)), {});
    auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(raster.at(i)); };
    auto scale = [&](unsigned v) { return static_cast<std::uint8_t>(v * 255 / maxval); };
    const std::size_t pbmRow = (image.width + 7) / 8;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::size_t i = std::size_t{y} * image.width + x;
            if (magic == "P4") {
                std::uint8_t v = (at(y * pbmRow + x / 8) >> (7 - x % 8)) & 1 ? 0 : 255;
                image.pixels.push_back({v, v, v});
            } else if (magic == "P5") {
                std::uint8_t v = scale(at(i));
                image.pixels.push_back({v, v, v});
            } else {
                image.pixels.push_back({scale(at(3 * i)), scale(at(3 * i + 1)), scale(at(3 * i + 2))});
            }
        }
    }
    return image;
}

// The colour map that palmtopnm uses for a bitmap without one, from its histogram lines "NNN -> r,g,b: count".
std::map<unsigned, Color> DefaultColours(const std::string& histogram) {
    std::map<unsigned, Color> colours;
    std::istringstream in(histogram);
    std::string line;
    while (std::getline(in, line)) {
        unsigned index, r, g, b;
        auto colon = line.find(": ");
        if (colon != std::string::npos &&
            std::sscanf(line.c_str() + colon + 2, "%u -> %u,%u,%u", &index, &r, &g, &b) == 4) {
            colours[index] = Color{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
        }
    }
    return colours;
}

// Inverted grey level of a colour, from the weighted sum 256 × luminance.
unsigned ExpectedLevel(const Color& c, unsigned depth) {
    const unsigned sum = 77u * c.red + 151u * c.green + 28u * c.blue;
    const unsigned steps = (1u << depth);  // bands of 65536 / steps, bounds inclusive
    const unsigned band = 65536 / steps;
    const unsigned k = (sum + band - 1) / band;
    return k == 0 ? steps - 1 : steps - k;
}

// The record from its width field on, with the colour-table index bytes numbered 0, 1, 2 …,
// since palmtopnm finds a pixel's colour by that byte.
Bytes PalmBitmapFile(const mapdb::MapRecord& map) {
    Bytes record = mapdb::EncodeMapRecord(map);
    Bytes bitmap(record.begin() + 28, record.end());
    if (map.HasColorTable()) {
        for (std::size_t i = 0; i < platform::ReadBE16(&bitmap[16]); ++i) {
            bitmap[18 + 4 * i] = static_cast<std::uint8_t>(i);
        }
    }
    return bitmap;
}

// A picture whose rows often repeat the row above, so compression has work to do.
Picture MapLikePicture(unsigned bits, unsigned maxIndex, unsigned seed) {
    Picture picture = RandomPicture(37, 11, bits, seed, maxIndex);
    for (std::uint32_t i = picture.width; i < picture.indices.size(); ++i) {
        if (i % 3 != 0) {
            picture.indices[i] = picture.indices[i - picture.width];
        }
    }
    return picture;
}

}  // namespace

TEST(PalmtopnmTest, DecodesEveryDepthWithAndWithoutTableAndCompression) {
    testing_support::TempFolder folder;
    for (unsigned bits : {1u, 4u, 8u}) {
        for (unsigned depth : {1u, 2u, 4u, 8u}) {
            for (bool table : {false, true}) {
                // Indices that the table keeps at 2 and 4 bits.
                unsigned maxIndex = table && (depth == 2 || depth == 4) ? (1u << depth) - 1 : 255;
                const Picture picture = MapLikePicture(bits, maxIndex, bits * 100 + depth * 10 + table);
                for (bool compress : {false, true}) {
                    SCOPED_TRACE(testing::Message() << bits << " to " << depth << " bits, table " << table
                                                    << ", compressed " << compress);
                    auto map = Convert(picture.Bmp(), depth, table);
                    ASSERT_TRUE(map);
                    if (compress) {
                        CompressScanLines(*map);
                    }
                    const std::string path = folder / "map.palm";
                    testing_support::WriteFileBytes(path, PalmBitmapFile(*map));
                    auto result = testing_support::RunShell("palmtopnm -verbose -showhist " + testing_support::ShellQuote(path), folder);
                    ASSERT_EQ(result.status, 0) << result.err;
                    EXPECT_NE(result.err.find("Version 2"), std::string::npos) << result.err;
                    EXPECT_NE(result.err.find(compress ? "Compression type: scanline" : "Compression type: none"),
                              std::string::npos) << result.err;
                    auto decoded = ReadPnm(result.out);
                    ASSERT_TRUE(decoded);
                    ASSERT_EQ(decoded->width, picture.width);
                    ASSERT_EQ(decoded->height, picture.height);

                    for (std::uint32_t y = 0; y < picture.height; ++y) {
                        for (std::uint32_t x = 0; x < picture.width; ++x) {
                            const unsigned s = picture.At(x, y);
                            const Color& colour = picture.colors[s];
                            Color expected;
                            if (table) {
                                expected = picture.colors[depth == 1 ? (s != 0 ? 1 : 0) : s];
                            } else if (depth == 8) {
                                expected = SystemPalette().At(static_cast<std::size_t>(
                                    SystemPalette().NearestIndex(colour.red, colour.green, colour.blue)));
                            } else {
                                auto v = static_cast<std::uint8_t>(255 - ExpectedLevel(colour, depth) * (255 / ((1u << depth) - 1)));
                                expected = Color{v, v, v};
                            }
                            const Color& got = decoded->pixels[y * picture.width + x];
                            ASSERT_EQ(got, expected) << "pixel " << x << ", " << y;
                        }
                    }
                }
            }
        }
    }
}

// A picture drawn in the handheld's own palette keeps its indices, and
// palmtopnm shows each in the colour of our system palette. Its colours end at 230.
TEST(PalmtopnmTest, SystemPaletteIsTheHandheldsOwn) {
    testing_support::TempFolder folder;
    Picture picture{232, 1, 8, SystemPalette().Colors(), {}};
    for (unsigned i = 0; i < 232; ++i) {
        picture.indices.push_back(static_cast<std::uint8_t>(std::min(i, 230u)));
    }
    auto map = Convert(picture.Bmp(), 8, false);
    ASSERT_TRUE(map);
    EXPECT_EQ(PixelRows(*map), picture.indices);
    const std::string path = folder / "map.palm";
    testing_support::WriteFileBytes(path, PalmBitmapFile(*map));
    auto result = testing_support::RunShell("palmtopnm -showhist " + testing_support::ShellQuote(path), folder);
    ASSERT_EQ(result.status, 0) << result.err;
    const auto defaults = DefaultColours(result.err);
    ASSERT_GE(defaults.size(), 231u) << result.err;
    for (const auto& [index, colour] : defaults) {
        EXPECT_EQ(colour, SystemPalette().At(index)) << index;
    }
}

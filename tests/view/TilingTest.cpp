#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mapdb/PDBDoc.h"
#include "palm/ScanLines.h"
#include "support/BmpFixture.h"
#include "support/TempFolder.h"
#include "view/ImportFlow.h"
#include "view/ImportTestSupport.h"
#include "view/RecordCheck.h"

using mapdb::MapRecord;
using view::CutIntoTiles;

namespace {

// A working map of the given size and depth with uncompressed rows whose byte
// at (row, column byte) is (row * 7 + byte) & 0xFF.
MapRecord Working(int width, int height, int bits, bool table) {
    MapRecord map;
    map.SetName("Amsterdam");
    map.width = static_cast<std::uint16_t>(width);
    map.height = static_cast<std::uint16_t>(height);
    map.pixelSize = static_cast<std::uint8_t>(bits);
    map.rowBytes = static_cast<std::uint16_t>(((width * bits + 15) & ~15) / 8);
    std::size_t tableSize = table ? 2 + 4 * std::size_t{1u << bits} : 0;
    auto& data = map.data;
    data.assign(tableSize + std::size_t{map.rowBytes} * map.height, 0);
    if (table) {
        map.SetFlag(mapdb::kHasColorTable, true);
        data[0] = static_cast<std::uint8_t>((1u << bits) >> 8);
        data[1] = static_cast<std::uint8_t>(1u << bits);
        for (std::size_t i = 2; i < tableSize; ++i) {
            data[i] = static_cast<std::uint8_t>(i);
        }
    }
    for (std::size_t r = 0; r < map.height; ++r) {
        for (std::size_t b = 0; b < map.rowBytes; ++b) {
            data[tableSize + r * map.rowBytes + b] = static_cast<std::uint8_t>(r * 7 + b);
        }
    }
    return map;
}

struct Span {
    std::int32_t from, to;
};

}  // namespace

TEST(Tiling, SevenHundredByFiveHundredIsCutThreeByThreeInRowOrder) {
    MapRecord working = Working(700, 500, 8, true);
    auto tiles = CutIntoTiles(working, false);
    ASSERT_EQ(tiles.size(), 9u);
    const char* names[] = {"Amster0-0", "Amster1-0", "Amster2-0", "Amster0-1", "Amster1-1",
                           "Amster2-1", "Amster0-2", "Amster1-2", "Amster2-2"};
    const int widths[] = {256, 256, 188};
    const int heights[] = {240, 240, 20};
    for (std::size_t k = 0; k < tiles.size(); ++k) {
        const auto& tile = tiles[k];
        EXPECT_EQ(tile.GetName(), names[k]);
        EXPECT_EQ(tile.width, widths[k % 3]);
        EXPECT_EQ(tile.height, heights[k / 3]);
        EXPECT_EQ(tile.rowBytes, widths[k % 3]);
        EXPECT_TRUE(tile.HasColorTable());
        ASSERT_EQ(mapdb::GetColorTableSize(tile), 1026u);
        EXPECT_TRUE(std::equal(tile.data.begin(), tile.data.begin() + 1026, working.data.begin()));
        // The first row of the tile is its own columns of the picture's row.
        std::size_t row = k / 3 * 240;
        std::size_t column = k % 3 * 256;
        EXPECT_EQ(tile.data[1026], working.data[1026 + row * 700 + column]);
        EXPECT_EQ(tile.data.size(), 1026u + std::size_t{tile.rowBytes} * tile.height);
    }
    EXPECT_EQ(CutIntoTiles(Working(700, 500, 4, false), false)[2].rowBytes, 94);
    EXPECT_EQ(CutIntoTiles(Working(700, 500, 1, false), false)[2].rowBytes, 24);
}

TEST(Tiling, CornersFollowTheFloatStepsWithExactSteps) {
    MapRecord working = Working(700, 500, 8, false);
    working.topLeftLat = 180000000;
    working.bottomRightLat = 179000000;
    working.topLeftLon = 8000000;
    working.bottomRightLon = 9400000;
    auto tiles = CutIntoTiles(working, false);
    const Span lat[] = {{180000000, 179520000}, {179520000, 179040000}, {179040000, 179000000}};
    const Span lon[] = {{8000000, 8512000}, {8512000, 9024000}, {9024000, 9400000}};
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(tiles[k].topLeftLat, lat[k / 3].from);
        EXPECT_EQ(tiles[k].bottomRightLat, lat[k / 3].to);
        EXPECT_EQ(tiles[k].topLeftLon, lon[k % 3].from);
        EXPECT_EQ(tiles[k].bottomRightLon, lon[k % 3].to);
    }
}

TEST(Tiling, CornersTruncateTowardZeroWithRoundedSteps) {
    MapRecord working = Working(600, 481, 4, false);
    working.topLeftLat = 175000000;
    working.bottomRightLat = 174000000;
    working.topLeftLon = -5000000;
    working.bottomRightLon = -4000000;
    auto tiles = CutIntoTiles(working, false);
    ASSERT_EQ(tiles.size(), 9u);
    const Span lat[] = {{175000000, 174501039}, {174501039, 174002078}, {174002078, 173999998}};
    const Span lon[] = {{-5000000, -4573333}, {-4573333, -4146666}, {-4146666, -3999999}};
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(tiles[k].topLeftLat, lat[k / 3].from) << k;
        EXPECT_EQ(tiles[k].bottomRightLat, lat[k / 3].to) << k;
        EXPECT_EQ(tiles[k].topLeftLon, lon[k % 3].from) << k;
        EXPECT_EQ(tiles[k].bottomRightLon, lon[k % 3].to) << k;
    }
    EXPECT_EQ(tiles[2].width, 88);
    EXPECT_EQ(tiles[2].rowBytes, 44);
    EXPECT_EQ(tiles[6].height, 1);
}

TEST(Tiling, NeighbouringTileRowsNeedNotShareAnEdge) {
    MapRecord working = Working(256, 1208, 1, false);
    working.topLeftLat = 231969374;
    working.bottomRightLat = 228197770;
    auto tiles = CutIntoTiles(working, false);
    EXPECT_EQ(tiles[1].topLeftLat, 231220048);
    EXPECT_EQ(tiles[1].bottomRightLat, 230470722);
    EXPECT_EQ(tiles[2].topLeftLat, 230470723);
}

TEST(Tiling, NamesKeepTheirWholeSuffix) {
    EXPECT_EQ(view::TileName("Amsterdam", 1, 0), "Amster1-0");
    EXPECT_EQ(view::TileName("Rome", 0, 0), "Rome0-0");
    EXPECT_EQ(view::TileName("Amsterdam", 12, 34), "Amster12-34");
    EXPECT_EQ(view::TileName("Amsterdam", 123, 45), "Amste123-45");
    EXPECT_EQ(view::TileName("Amsterdam", 255, 273), "Amst255-273");
}

TEST(Tiling, CompressedTilesAreCompressedOnTheirOwnUnlessTheyWouldNotFit) {
    MapRecord flat = Working(300, 250, 8, false);
    std::fill(flat.data.begin(), flat.data.end(), 0);
    auto tiles = CutIntoTiles(flat, true);
    ASSERT_EQ(tiles.size(), 4u);
    for (const auto& tile : tiles) {
        EXPECT_TRUE(tile.IsCompressed());
        EXPECT_LT(mapdb::GetRecordSize(tile), 44u + 2u + 256u * 240u);
    }
    // Every byte differs from the one above: 2 + 240 * 288 bytes do not fit the size word.
    MapRecord noisy = Working(256, 480, 8, false);
    for (std::size_t r = 0; r < noisy.height; ++r) {
        for (std::size_t b = 0; b < noisy.rowBytes; ++b) {
            noisy.data[r * noisy.rowBytes + b] = static_cast<std::uint8_t>(r % 2 == 0 ? b : b + 1);
        }
    }
    auto stored = CutIntoTiles(noisy, true);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_FALSE(stored[0].IsCompressed());
    EXPECT_EQ(mapdb::GetRecordSize(stored[0]), 44u + 256u * 240u);

    // With a 256-colour table and one byte in sixteen like the one above, the
    // compressed rows fit the size word (65,298 bytes) but not the record limit.
    MapRecord tabled = Working(256, 480, 8, true);
    const std::size_t table = mapdb::GetColorTableSize(tabled);
    for (std::size_t r = 0; r < tabled.height; ++r) {
        for (std::size_t b = 0; b < tabled.rowBytes; ++b) {
            tabled.data[table + r * tabled.rowBytes + b] = static_cast<std::uint8_t>(b % 16 == 0 ? 0 : r + b);
        }
    }
    stored = CutIntoTiles(tabled, true);
    ASSERT_EQ(stored.size(), 2u);
    MapRecord compressed = stored[0];
    ASSERT_FALSE(compressed.IsCompressed());
    EXPECT_EQ(palm::CompressScanLines(compressed), 65298u);
    EXPECT_EQ(mapdb::GetRecordSize(stored[0]), 44u + 1026u + 256u * 240u);
}

// Compressing straight from the map's rows gives each tile exactly what
// compressing the uncompressed tile on its own gives, at every depth, with
// and without a colour table, at the right and bottom edges too.
TEST(Tiling, CompressedTilesEqualTheUncompressedOnesCompressed) {
    for (int bits : {1, 2, 4, 8}) {
        for (bool table : {false, true}) {
            MapRecord working = Working(700, 500, bits, table);
            // Rows that mostly repeat the one above, as on a map.
            for (std::size_t i = 0; i < working.data.size(); ++i) {
                if ((i * 2654435761u) % 5 != 0) {
                    working.data[i] = static_cast<std::uint8_t>(i / 4096);
                }
            }
            auto plain = CutIntoTiles(working, false);
            auto compressed = CutIntoTiles(working, true);
            ASSERT_EQ(plain.size(), compressed.size());
            for (std::size_t t = 0; t < plain.size(); ++t) {
                MapRecord expected = plain[t];
                palm::CompressScanLines(expected);
                if (mapdb::GetRecordSize(expected) > view::kRecordLimit) {
                    expected = plain[t];
                }
                EXPECT_EQ(compressed[t].flags, expected.flags) << bits << " bits, tile " << t;
                EXPECT_EQ(compressed[t].data, expected.data) << bits << " bits, tile " << t;
                EXPECT_EQ(compressed[t].GetName(), expected.GetName());
            }
        }
    }
}

// A map whose data stops short (or is empty) is cut as if the rest were zeros.
TEST(Tiling, MissingRowsAreCutAsZeros) {
    for (bool compress : {false, true}) {
        MapRecord whole = Working(300, 250, 4, true);
        MapRecord cut = Working(300, 250, 4, true);
        const std::size_t half = whole.data.size() / 2;
        cut.data.resize(half);
        std::fill(whole.data.begin() + static_cast<std::ptrdiff_t>(half), whole.data.end(), 0);
        auto expected = CutIntoTiles(whole, compress);
        auto tiles = CutIntoTiles(cut, compress);
        ASSERT_EQ(tiles.size(), expected.size());
        for (std::size_t t = 0; t < tiles.size(); ++t) {
            EXPECT_EQ(tiles[t].data, expected[t].data) << t;
        }
        MapRecord none = Working(300, 250, 8, false);
        none.data.clear();
        for (const auto& tile : CutIntoTiles(none, compress)) {
            const auto expanded = palm::ExpandScanLines(tile);
            ASSERT_TRUE(expanded);
            EXPECT_EQ(*expanded, std::vector<std::uint8_t>(std::size_t{tile.rowBytes} * tile.height, 0));
        }
    }
}

TEST(Tiling, CategoryIsTheLowestFreeOneAndNoneWhenAllAreTaken) {
    mapdb::CPDBDoc doc;
    doc.AddMap(MapRecord{}, mapdb::RecordEntry{});
    EXPECT_EQ(view::FreeCategory(doc), 1);
    doc.AddMap(MapRecord{}, mapdb::RecordEntry{0, 0x11, {}});
    doc.AddMap(MapRecord{}, mapdb::RecordEntry{0, 2, {}});
    EXPECT_EQ(view::FreeCategory(doc), 3);
    for (std::uint8_t c = 3; c < 16; ++c) {
        doc.AddMap(MapRecord{}, mapdb::RecordEntry{0, c, {}});
    }
    EXPECT_EQ(view::FreeCategory(doc), std::nullopt);
}

// The handheld draws in signed 16-bit coordinates: a map wider or higher than
// 32,767 pixels is tiled even when its record would fit.
TEST(Tiling, SidesBeyondWhatTheHandheldDrawsAreTiled) {
    struct Case {
        int width;
        int height;
        std::size_t maps;
    };
    const Case cases[] = {{32767, 1, 1}, {32768, 1, 128}, {1, 32768, 137}};
    for (const Case& c : cases) {
        mapdb::CPDBDoc doc;
        doc.OnNewDocument();
        const auto bmp = testing_support::IndexedBmpBytes(c.width, c.height, 1, testing_support::GreyPalette(1),
                                                          [](int, int) { return 0; });
        view_test::ScriptedAnswers answers;
        auto added = view::ImportPictureBytes(doc, nullptr, "Long.bmp", bmp, "1,1\n0,2", answers.Answers());
        ASSERT_TRUE(added) << added.error().message;
        EXPECT_EQ(added->size(), c.maps) << c.width << " x " << c.height;
        for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
            EXPECT_TRUE(view::RecordProblems(doc.GetMap(i)).empty());
        }
    }
    MapRecord wide = Working(32768, 1, 1, false);
    EXPECT_EQ(view::RecordProblems(wide),
              std::vector<std::string>{"32768 x 1 pixels: the handheld cannot draw a side over 32767"});
    MapRecord large = Working(256, 300, 8, false);
    EXPECT_EQ(view::RecordProblems(large),
              std::vector<std::string>{"the record of 76844 bytes is larger than the 65536 a map may take"});
}

// A picture too large for one record is converted and cut a band of rows at a
// time: it is stored as the whole map would be, whatever the depth, colour
// table, dithering and compression, and whichever way its rows lie.
TEST(Tiling, TilesCutWhileConvertingEqualThoseOfTheWholeMap) {
    constexpr int kWidth = 1040;  // four whole tile columns and a narrow one
    constexpr int kHeight = 1250;  // five whole bands and a short one
    const auto pixel = [](int x, int y) { return ((x / 9) * 7 + (y / 5) * 3 + (x * y) % 11) % 200; };
    std::vector<testing_support::Rgb> palette(256);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i)};
    }
    auto bottomUp = testing_support::IndexedBmpBytes(kWidth, kHeight, 8, palette, pixel);
    auto topDown = bottomUp;
    // The same picture stored top row first: a negative height, rows in the other order.
    const std::int32_t negative = -kHeight;
    std::memcpy(topDown.data() + 22, &negative, 4);
    const std::size_t offBits = 14 + 40 + 4 * palette.size();
    for (std::size_t y = 0; y < kHeight; ++y) {
        std::memcpy(topDown.data() + offBits + kWidth * y, bottomUp.data() + offBits + kWidth * (kHeight - 1 - y), kWidth);
    }
    for (unsigned depth : {1u, 4u, 8u}) {
        for (int variant = 0; variant < 4; ++variant) {
            palm::ConversionOptions options{depth, variant == 3, variant == 1, variant == 2};
            for (const auto* bytes : {&bottomUp, &topDown}) {
                auto source = palm::ReadSourcePicture(*bytes);
                ASSERT_TRUE(source);
                auto whole = palm::BuildPalmBitmap(*source, options);
                ASSERT_TRUE(whole);
                whole->SetName("Banded");
                palm::PlaceMap(*whole, palm::ReadSideText("1,1\n0,2"));
                MapRecord single = *whole;
                if (options.compress) {
                    palm::CompressScanLines(single);
                }
                const auto expected = mapdb::GetRecordSize(single) <= view::kRecordLimit
                                          ? std::vector<MapRecord>{single}
                                          : CutIntoTiles(*whole, options.compress);

                // From a file, whose rows the import gives back as it converts them.
                testing_support::TempFolder folder;
                testing_support::WriteFileBytes(folder / "Banded.bmp", *bytes);
                const std::string side = "1,1\n0,2";
                testing_support::WriteFileBytes(folder / "Banded.txt", {side.begin(), side.end()});
                mapdb::CPDBDoc doc;
                doc.OnNewDocument();
                view_test::ScriptedAnswers answers;
                answers.options = options;
                auto added = view::ImportPicture(doc, nullptr, folder / "Banded.bmp", view::Handover::kAddButton,
                                                 answers.Answers());
                ASSERT_TRUE(added) << added.error().message;
                ASSERT_EQ(doc.GetMapCount(), expected.size()) << depth << " bits, variant " << variant;
                for (std::size_t t = 0; t < expected.size(); ++t) {
                    EXPECT_EQ(mapdb::EncodeMapRecord(doc.GetMap(t)), mapdb::EncodeMapRecord(expected[t]))
                        << depth << " bits, variant " << variant << ", tile " << t;
                }
            }
        }
    }
}

// A tiled import tells its progress band by band: never backwards, and all
// of it by the time the last tile is cut.
TEST(Tiling, ProgressRisesWithEveryBandToTheEnd) {
    const auto bmp = testing_support::IndexedBmpBytes(600, 1000, 8, testing_support::GreyPalette(8),
                                                      [](int x, int y) { return (x ^ y) & 0xFF; });
    view_test::ScriptedAnswers scripted;
    scripted.options.depth = 8;
    view::ImportAnswers answers = scripted.Answers();
    std::vector<double> told;
    answers.stage = [&](view::ImportStage stage, double done) { told.push_back(view::ImportDone(stage, done)); };
    mapdb::CPDBDoc doc;
    doc.OnNewDocument();
    ASSERT_TRUE(view::ImportPictureBytes(doc, nullptr, "Bands.bmp", bmp, "1,1\n0,2", answers));
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(std::count_if(told.begin(), told.end(), [](double d) { return d > view::ImportDone(view::ImportStage::kTiling); }),
              5);  // 1000 rows: five bands
    EXPECT_EQ(told.back(), 1.0);
}

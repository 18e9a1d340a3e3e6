#include <gtest/gtest.h>

#include <random>

#include "palm/PixelOps.h"
#include "palm/ScanLines.h"

using namespace palm;
using Bytes = std::vector<std::uint8_t>;

namespace {

mapdb::MapRecord Map(std::uint16_t rowBytes, std::uint16_t height, Bytes data, bool table = false) {
    mapdb::MapRecord map;
    map.rowBytes = rowBytes;
    map.height = height;
    map.SetFlag(mapdb::kHasColorTable, table);
    map.data = std::move(data);
    return map;
}

const Bytes kTwoColourTable{0, 2, 0, 0, 0, 0, 0, 255, 255, 255};

}  // namespace

TEST(CompressScanLines, EighteenByteExample) {
    Bytes rows(20, 0);
    rows[13] = 0xFF;
    rows[19] = 0x01;
    auto map = Map(10, 2, rows);
    EXPECT_EQ(CompressScanLines(map), 18u);
    EXPECT_TRUE(map.IsCompressed());
    EXPECT_EQ(*map.data, (Bytes{0x00, 0x12, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0x10, 0xFF, 0x40, 0x01}));
    EXPECT_EQ(mapdb::GetBitmapDataSize(map), 18u);
    EXPECT_EQ(ExpandScanLines(map), rows);
}

TEST(CompressScanLines, ColourTableStaysInFrontAndIsNotCounted) {
    auto empty = Map(4, 0, kTwoColourTable, true);
    EXPECT_EQ(CompressScanLines(empty), 2u);
    Bytes expected = kTwoColourTable;
    expected.insert(expected.end(), {0x00, 0x02});
    EXPECT_EQ(*empty.data, expected);

    // Equal rows cost one zero byte per group; the two-byte row has one flag with bits 5-0 clear.
    Bytes rows = kTwoColourTable;
    for (int r = 0; r < 3; ++r) {
        rows.insert(rows.end(), {0xAB, 0xCD});
    }
    auto map = Map(2, 3, rows, true);
    CompressScanLines(map);
    expected = kTwoColourTable;
    expected.insert(expected.end(), {0x00, 0x07, 0xC0, 0xAB, 0xCD, 0x00, 0x00});
    EXPECT_EQ(*map.data, expected);
    EXPECT_EQ(mapdb::GetBitmapDataSize(map), 10u + 7u);
    EXPECT_EQ(ExpandScanLines(map), rows);
}

TEST(CompressScanLines, WorstCaseTileKeepsEverythingButCapsTheSizeWord) {
    Bytes rows(256 * 240);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i] = static_cast<std::uint8_t>(i / 256 % 2 == 0 ? 0x55 : 0xAA);
    }
    auto map = Map(256, 240, rows);
    EXPECT_EQ(CompressScanLines(map), 69122u);
    ASSERT_EQ(map.data->size(), 69122u);
    EXPECT_EQ((*map.data)[0], 0xFF);
    EXPECT_EQ((*map.data)[1], 0xFF);
    EXPECT_EQ(ExpandScanLines(map), rows);
}

// Compressing then expanding gives back every row, at every depth and at widths ending anywhere in a group.
TEST(CompressScanLines, ExpandsBackToTheRowsAtEveryDepthAndWidth) {
    std::mt19937 random(6);
    for (unsigned depth : {1u, 2u, 4u, 8u}) {
        for (std::size_t width : {1u, 15u, 16u, 17u, 64u, 65u, 100u, 257u}) {
            const auto rowBytes = static_cast<std::uint16_t>(AlignedRowBytes(width, depth, 16));
            for (bool table : {false, true}) {
                Bytes data = table ? kTwoColourTable : Bytes{};
                for (int r = 0; r < 9; ++r) {
                    for (std::size_t k = 0; k < rowBytes; ++k) {
                        // Mostly like the row above, as maps are.
                        bool same = r > 0 && random() % 4 != 0;
                        data.push_back(same ? data[data.size() - rowBytes] : static_cast<std::uint8_t>(random() % 3));
                    }
                }
                auto map = Map(rowBytes, 9, data, table);
                CompressScanLines(map);
                EXPECT_EQ(ExpandScanLines(map), data) << depth << " bits, width " << width;
            }
        }
    }
}

TEST(CompressScanLines, MissingBytesCompressAsZeros) {
    auto map = Map(2, 2, Bytes{7});
    CompressScanLines(map);
    EXPECT_EQ(*map.data, (Bytes{0, 7, 0xC0, 7, 0, 0x80, 0}));
}

TEST(ExpandScanLines, RefusesRowsThatDoNotExpandExactly) {
    const Bytes good{0x00, 0x12, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0x10, 0xFF, 0x40, 0x01};
    auto compressed = [](Bytes data) {
        auto map = Map(10, 2, std::move(data));
        map.SetFlag(mapdb::kCompressed, true);
        return map;
    };
    ASSERT_TRUE(ExpandScanLines(compressed(good)));

    Bytes shortened = good;
    shortened.pop_back();
    Bytes sizeTooLarge = good;
    sizeTooLarge[1] = 0x13;
    sizeTooLarge.push_back(0);
    Bytes sizeTooSmall = good;
    sizeTooSmall[1] = 0x11;
    Bytes beyondRow = good;
    beyondRow[16] = 0x60;  // marks byte 10 of a 10-byte row
    for (const Bytes& data : {shortened, sizeTooLarge, sizeTooSmall, beyondRow, Bytes{0x00}}) {
        EXPECT_FALSE(ExpandScanLines(compressed(data)));
    }
    auto noData = compressed({});
    noData.data.reset();
    EXPECT_FALSE(ExpandScanLines(noData));

    // An uncompressed map comes back as its block, padded with zeros where it is short.
    auto plain = Map(2, 2, Bytes{1, 2, 3});
    EXPECT_EQ(ExpandScanLines(plain), (Bytes{1, 2, 3, 0}));
}

TEST(ExpandScanLines, RowsTheDataCannotHoldAreRefusedBeforeAllocating) {
    // 65,535 rows of 65,535 bytes would be 4 GiB; each row needs 8192 flag bytes at least.
    auto huge = Map(0xFFFF, 0xFFFF, Bytes{0x00, 0x06, 0xFF, 0, 0, 0});
    huge.SetFlag(mapdb::kCompressed, true);
    EXPECT_FALSE(ExpandScanLines(huge));
    // A capped size word does not lift the check: the data held is what counts.
    huge.data = Bytes(4096, 0);
    (*huge.data)[0] = (*huge.data)[1] = 0xFF;
    EXPECT_FALSE(ExpandScanLines(huge));
}

TEST(ExpandScanLines, RowsWithoutBytesExpandToTheColourTableAlone) {
    // Found by fuzzing: rows of 0 bytes used to copy from a block that has no storage.
    auto empty = Map(0, 3, Bytes{0x00, 0x02});
    empty.SetFlag(mapdb::kCompressed, true);
    EXPECT_EQ(ExpandScanLines(empty), Bytes{});
    auto withTable = Map(0, 3, kTwoColourTable, true);
    withTable.data->insert(withTable.data->end(), {0x00, 0x02});
    withTable.SetFlag(mapdb::kCompressed, true);
    EXPECT_EQ(ExpandScanLines(withTable), kTwoColourTable);
}

TEST(ScanLines, AColourTableCountCutShortIsReadAsTheSizeRulesReadIt) {
    // Found by fuzzing: with only the count's first byte held, the size rules read
    // a count of 0x0100 while the scan-line code read 0, and the two disagreed on
    // where the rows start.
    auto plain = Map(2, 1, Bytes{0x01}, true);
    ASSERT_EQ(mapdb::GetColorTableSize(plain), 2u + 4u * 256u);
    auto expanded = ExpandScanLines(plain);
    ASSERT_TRUE(expanded);
    EXPECT_EQ(expanded->size(), mapdb::GetColorTableSize(plain) + 2);
    auto compressed = plain;
    CompressScanLines(compressed);
    EXPECT_EQ(mapdb::GetColorTableSize(compressed), mapdb::GetColorTableSize(plain));
    EXPECT_EQ(ExpandScanLines(compressed), expanded);
}

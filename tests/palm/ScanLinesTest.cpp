#include <gtest/gtest.h>

#include <optional>
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

// The expanded block, none when the rows do not expand.
std::optional<Bytes> Expanded(const mapdb::MapRecord& map) {
    auto block = ExpandScanLines(map);
    return block ? std::optional(*block) : std::nullopt;
}

}  // namespace

TEST(CompressScanLines, EighteenByteExample) {
    Bytes rows(20, 0);
    rows[13] = 0xFF;
    rows[19] = 0x01;
    auto map = Map(10, 2, rows);
    EXPECT_EQ(CompressScanLines(map), 18u);
    EXPECT_TRUE(map.IsCompressed());
    EXPECT_EQ(map.data, (Bytes{0x00, 0x12, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0x10, 0xFF, 0x40, 0x01}));
    EXPECT_EQ(mapdb::GetBitmapDataSize(map), 18u);
    EXPECT_EQ(Expanded(map), rows);
}

TEST(CompressScanLines, ColourTableStaysInFrontAndIsNotCounted) {
    auto empty = Map(4, 0, kTwoColourTable, true);
    EXPECT_EQ(CompressScanLines(empty), 2u);
    Bytes expected = kTwoColourTable;
    expected.insert(expected.end(), {0x00, 0x02});
    EXPECT_EQ(empty.data, expected);

    // Equal rows cost one zero byte per group; the two-byte row has one flag with bits 5-0 clear.
    Bytes rows = kTwoColourTable;
    for (int r = 0; r < 3; ++r) {
        rows.insert(rows.end(), {0xAB, 0xCD});
    }
    auto map = Map(2, 3, rows, true);
    CompressScanLines(map);
    expected = kTwoColourTable;
    expected.insert(expected.end(), {0x00, 0x07, 0xC0, 0xAB, 0xCD, 0x00, 0x00});
    EXPECT_EQ(map.data, expected);
    EXPECT_EQ(mapdb::GetBitmapDataSize(map), 10u + 7u);
    EXPECT_EQ(Expanded(map), rows);
}

TEST(CompressScanLines, WorstCaseTileKeepsEverythingButCapsTheSizeWord) {
    Bytes rows(256 * 240);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i] = static_cast<std::uint8_t>(i / 256 % 2 == 0 ? 0x55 : 0xAA);
    }
    auto map = Map(256, 240, rows);
    EXPECT_EQ(CompressScanLines(map), 69122u);
    ASSERT_EQ(map.data.size(), 69122u);
    EXPECT_EQ(map.data[0], 0xFF);
    EXPECT_EQ(map.data[1], 0xFF);
    EXPECT_EQ(Expanded(map), rows);
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
                EXPECT_EQ(Expanded(map), data) << depth << " bits, width " << width;
            }
        }
    }
}

namespace {

// The compressed rows byte by byte as the format defines them, for comparison
// with the word-at-a-time encoder.
Bytes ReferenceCompression(const Bytes& rows, std::size_t rowBytes, std::size_t height) {
    Bytes out{0, 0};
    for (std::size_t r = 0; r < height; ++r) {
        for (std::size_t k = 0; k < rowBytes; k += 8) {
            std::size_t flagAt = out.size();
            out.push_back(0);
            for (std::size_t j = 0; j < 8 && k + j < rowBytes; ++j) {
                std::uint8_t byte = rows[r * rowBytes + k + j];
                if (r == 0 || byte != rows[(r - 1) * rowBytes + k + j]) {
                    out[flagAt] = static_cast<std::uint8_t>(out[flagAt] | (0x80u >> j));
                    out.push_back(byte);
                }
            }
        }
    }
    std::size_t size = std::min<std::size_t>(out.size(), 0xFFFF);
    out[0] = static_cast<std::uint8_t>(size >> 8);
    out[1] = static_cast<std::uint8_t>(size);
    return out;
}

}  // namespace

TEST(CompressScanLines, MatchesTheBytewiseDefinitionAtEveryWidthAndDensity) {
    std::mt19937 random(11);
    std::vector<std::size_t> widths;
    for (std::size_t rowBytes = 1; rowBytes <= 41; ++rowBytes) {
        widths.push_back(rowBytes);
    }
    widths.insert(widths.end(), {63, 64, 65, 72, 127, 128, 136, 200, 257});
    for (std::size_t rowBytes : widths) {
        // From rows that repeat the one above almost everywhere to rows of noise.
        for (unsigned changeOneIn : {1u, 2u, 5u, 50u}) {
            const std::size_t height = 7;
            Bytes rows;
            for (std::size_t i = 0; i < rowBytes * height; ++i) {
                bool change = i < rowBytes || random() % changeOneIn == 0;
                rows.push_back(change ? static_cast<std::uint8_t>(random()) : rows[i - rowBytes]);
            }
            auto map = Map(static_cast<std::uint16_t>(rowBytes), height, rows);
            std::size_t size = CompressScanLines(map);
            EXPECT_EQ(map.data, ReferenceCompression(rows, rowBytes, height)) << rowBytes << " bytes a row";
            EXPECT_EQ(size, map.data.size());
        }
    }
}

TEST(CompressRows, ReadsRowsOfALargerPictureInPlace) {
    std::mt19937 random(12);
    const std::size_t stride = 37;
    const std::size_t height = 9;
    Bytes picture(stride * height);
    for (auto& byte : picture) {
        byte = static_cast<std::uint8_t>(random() % 3);
    }
    // A window 20 bytes wide from column 5 compresses as the same rows cut out.
    Bytes window;
    for (std::size_t r = 0; r < height; ++r) {
        window.insert(window.end(), picture.begin() + static_cast<std::ptrdiff_t>(r * stride + 5),
                      picture.begin() + static_cast<std::ptrdiff_t>(r * stride + 25));
    }
    Bytes out(CompressedBound(20, height));
    std::size_t size = CompressRows(picture.data() + 5, stride, 20, height, out.data());
    out.resize(size);
    EXPECT_EQ(out, ReferenceCompression(window, 20, height));
}

TEST(CompressScanLines, MissingBytesCompressAsZeros) {
    auto map = Map(2, 2, Bytes{7});
    CompressScanLines(map);
    EXPECT_EQ(map.data, (Bytes{0, 7, 0xC0, 7, 0, 0x80, 0}));
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
    for (const Bytes& data : {shortened, sizeTooLarge, sizeTooSmall, beyondRow, Bytes{0x00}, Bytes{}}) {
        auto block = ExpandScanLines(compressed(data));
        ASSERT_FALSE(block) << data.size() << " bytes";
        EXPECT_EQ(block.error().message, "The compressed rows of the map are damaged");
    }

    // An uncompressed map comes back as its block, padded with zeros where it is short.
    EXPECT_EQ(Expanded(Map(2, 2, Bytes{1, 2, 3})), (Bytes{1, 2, 3, 0}));
}

TEST(ExpandScanLines, RowsTheDataCannotHoldAreRefusedBeforeAllocating) {
    // 65,535 rows of 65,535 bytes would be 4 GiB; each row needs 8192 flag bytes at least.
    auto huge = Map(0xFFFF, 0xFFFF, Bytes{0x00, 0x06, 0xFF, 0, 0, 0});
    huge.SetFlag(mapdb::kCompressed, true);
    EXPECT_FALSE(ExpandScanLines(huge));
    // A capped size word does not lift the check: the data held is what counts.
    huge.data = Bytes(4096, 0);
    huge.data[0] = huge.data[1] = 0xFF;
    EXPECT_FALSE(ExpandScanLines(huge));
}

TEST(ExpandScanLines, RowsWithoutBytesExpandToTheColourTableAlone) {
    // Found by fuzzing: rows of 0 bytes used to copy from a block that has no storage.
    auto empty = Map(0, 3, Bytes{0x00, 0x02});
    empty.SetFlag(mapdb::kCompressed, true);
    EXPECT_EQ(Expanded(empty), Bytes{});
    auto withTable = Map(0, 3, kTwoColourTable, true);
    withTable.data.insert(withTable.data.end(), {0x00, 0x02});
    withTable.SetFlag(mapdb::kCompressed, true);
    EXPECT_EQ(Expanded(withTable), kTwoColourTable);
}

TEST(ScanLines, AColourTableCountCutShortIsReadAsTheSizeRulesReadIt) {
    // Found by fuzzing: with only the count's first byte held, the size rules read
    // a count of 0x0100 while the scan-line code read 0, and the two disagreed on
    // where the rows start.
    auto plain = Map(2, 1, Bytes{0x01}, true);
    ASSERT_EQ(mapdb::GetColorTableSize(plain), 2u + 4u * 256u);
    auto expanded = Expanded(plain);
    ASSERT_TRUE(expanded);
    EXPECT_EQ(expanded->size(), mapdb::GetColorTableSize(plain) + 2);
    auto compressed = plain;
    CompressScanLines(compressed);
    EXPECT_EQ(mapdb::GetColorTableSize(compressed), mapdb::GetColorTableSize(plain));
    EXPECT_EQ(Expanded(compressed), expanded);
}

#include <gtest/gtest.h>

#include <filesystem>

#include "palm/MapExport.h"
#include "palm/PixelOps.h"
#include "palm/MapColors.h"
#include "palm/ScanLines.h"
#include "support/RunCommand.h"
#include "PalmFixtures.h"
#include "support/TempFolder.h"

using namespace palm;
using namespace palm_test;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using Bytes = std::vector<std::uint8_t>;

namespace {

class ExportAsBmpTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder / "Essai.bmp";
};

mapdb::MapRecord Map(std::uint16_t width, std::uint16_t height, std::uint8_t depth, Bytes data) {
    mapdb::MapRecord map;
    map.width = width;
    map.height = height;
    map.pixelSize = depth;
    map.rowBytes = static_cast<std::uint16_t>(palm::AlignedRowBytes(width, depth, 16));
    map.data = std::move(data);
    return map;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

}  // namespace

TEST_F(ExportAsBmpTest, OneBitMapWithGreyRampAndPaddedRowsBottomFirst) {
    ASSERT_TRUE(ExportAsBmp(Map(10, 3, 1, {0x11, 0x12, 0x21, 0x22, 0x31, 0x32}), path));
    const Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 74u);
    EXPECT_EQ(Slice(file, 0, 2), (Bytes{'B', 'M'}));
    EXPECT_EQ(platform::ReadLE32(&file[2]), 74u);
    EXPECT_EQ(platform::ReadLE32(&file[10]), 62u);
    EXPECT_EQ(platform::ReadLE32(&file[14]), 40u);
    EXPECT_EQ(platform::ReadLE32(&file[18]), 10u);
    EXPECT_EQ(platform::ReadLE32(&file[22]), 3u);
    EXPECT_EQ(platform::ReadLE16(&file[26]), 1u);
    EXPECT_EQ(platform::ReadLE16(&file[28]), 1u);
    EXPECT_EQ(platform::ReadLE32(&file[30]), 0u);
    EXPECT_EQ(platform::ReadLE32(&file[34]), 12u);
    EXPECT_EQ(platform::ReadLE32(&file[46]), 2u);
    EXPECT_EQ(platform::ReadLE32(&file[50]), 2u);
    EXPECT_EQ(Slice(file, 54, 8), (Bytes{255, 255, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(file, 62, 12), (Bytes{0x31, 0x32, 0, 0, 0x21, 0x22, 0, 0, 0x11, 0x12, 0, 0}));
}

TEST_F(ExportAsBmpTest, ColourTablesSystemPaletteAndGreyLevels) {
    // 8 bits without a table: the handheld's system palette.
    ASSERT_TRUE(ExportAsBmp(Map(4, 1, 8, {1, 2, 3, 4}), path));
    Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 54u + 1024u + 4u);
    for (std::size_t i = 0; i < 256; ++i) {
        const Color c = SystemPalette().At(i);
        EXPECT_EQ(Slice(file, 54 + 4 * i, 4), (Bytes{c.blue, c.green, c.red, 0})) << i;
    }
    EXPECT_EQ(Slice(file, 1078, 4), (Bytes{1, 2, 3, 4}));

    // 2 bits: a 4-bit bitmap of the four grey levels, then black.
    ASSERT_TRUE(ExportAsBmp(Map(3, 1, 2, {0x1B, 0}), path));
    file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 54u + 64u + 4u);
    EXPECT_EQ(platform::ReadLE16(&file[28]), 4u);
    EXPECT_EQ(Slice(file, 54, 20),
              (Bytes{255, 255, 255, 0, 170, 170, 170, 0, 85, 85, 85, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(file, 118, 4), (Bytes{0x01, 0x23, 0, 0}));
    ASSERT_TRUE(ExportAsBmp(Map(3, 1, 4, {}), path));
    EXPECT_EQ(ReadFileBytes(path)[54 + 4 * 14], 17);

    // A two-entry table in a 4-bit map: its colours, then black; index bytes are not used.
    auto map = Map(3, 1, 4, {0, 2, 9, 10, 20, 30, 9, 40, 50, 60, 0x01, 0x10});
    map.SetFlag(mapdb::kHasColorTable, true);
    ASSERT_TRUE(ExportAsBmp(map, path));
    file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 54u + 64u + 4u);
    EXPECT_EQ(Slice(file, 54, 12), (Bytes{30, 20, 10, 0, 60, 50, 40, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Slice(file, 118, 4), (Bytes{0x01, 0x10, 0, 0}));

    ASSERT_TRUE(ExportAsBmp(Map(5, 0, 1, {}), path));
    EXPECT_EQ(ReadFileBytes(path).size(), 62u);
}

TEST_F(ExportAsBmpTest, CompressedMapIsExpandedFirst) {
    Bytes rows(8 * 5);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i] = static_cast<std::uint8_t>(i % 8 < 3 ? 0x5A : i);
    }
    auto map = Map(8, 5, 8, rows);
    ASSERT_TRUE(ExportAsBmp(map, path));
    const Bytes plain = ReadFileBytes(path);
    CompressScanLines(map);
    ASSERT_TRUE(ExportAsBmp(map, path));
    EXPECT_EQ(ReadFileBytes(path), plain);
}

// A map that cannot be written leaves no file behind, and the error says why.
TEST_F(ExportAsBmpTest, RefusedMapsAndFilesAreToldWhy) {
    auto damaged = Map(8, 5, 8, Bytes(40, 7));
    CompressScanLines(damaged);
    damaged.data.pop_back();
    struct Case {
        mapdb::MapRecord map;
        std::string path;
        std::string message;
    };
    const std::string unwritable = folder / "missing/Essai.bmp";
    const Case cases[] = {
        {damaged, path, "The compressed rows of the map are damaged: no picture was written."},
        {Map(8, 1, 3, Bytes(4, 0)), path, "The map cannot be written as a picture: it has 3 bits per pixel, not 1, 2, 4 or 8."},
        {Map(4, 1, 8, {1, 2, 3, 4}), unwritable, "Cannot create the file " + unwritable + ":\n"},
    };
    for (const Case& c : cases) {
        auto written = ExportAsBmp(c.map, c.path);
        ASSERT_FALSE(written) << c.message;
        EXPECT_EQ(written.error().message.substr(0, c.message.size()), c.message);
        EXPECT_FALSE(std::filesystem::exists(c.path));
    }
}

// Exported and converted again at the same depth and table choice, a map keeps its rows.
TEST_F(ExportAsBmpTest, RoundTripThroughTheConversion) {
    for (unsigned depth : {1u, 2u, 4u, 8u}) {
        for (bool table : {false, true}) {
            // With a table, no more colours than the depth holds: a table of just those comes back.
            const Picture picture = RandomPicture(21, 7, 8, depth * 10, table ? (1u << depth) - 1 : 255);
            auto map = Convert(picture.Bmp(), depth, table);
            ASSERT_TRUE(map);
            ASSERT_TRUE(ExportAsBmp(*map, path));
            auto again = Convert(ReadFileBytes(path), depth, table);
            ASSERT_TRUE(again);
            EXPECT_EQ(again->data, map->data) << depth << " bits, table " << table;
        }
    }
}

// Other formats through the image library, read back by ImageMagick in the map's colours.
TEST_F(ExportAsBmpTest, ThePictureFormatIsTheExtensionsAndAnUnknownOneIsRefused) {
    auto map = Map(3, 2, 2, {0x1B, 0, 0xE4, 0});
    for (const std::string extension : {"png", "gif", "PNG"}) {
        const std::string out = folder / ("Essai." + extension);
        ASSERT_TRUE(ExportAsPicture(map, out)) << extension;
        auto decoded = testing_support::RunShell("convert " + out + " -depth 8 rgb:-", folder);
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const std::string expected{"\xFF\xFF\xFF\xAA\xAA\xAA\x55\x55\x55"
                                   "\x00\x00\x00\x55\x55\x55\xAA\xAA\xAA", 18};
        EXPECT_EQ(decoded.out, expected) << extension;
    }
    ASSERT_TRUE(ExportAsPicture(map, folder / "Essai.jpg"));
    EXPECT_EQ(testing_support::RunShell("identify -format %m " + folder / "Essai.jpg", folder).out, "JPEG");

    const std::string unknown = folder / "Essai.tif";
    auto written = ExportAsPicture(map, unknown);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().message, "Cannot write " + unknown + ": name it .bmp, .gif, .jpg or .png for the kind of picture to write.");
    EXPECT_FALSE(std::filesystem::exists(unknown));
}

#include <gtest/gtest.h>

#include "mapdb/MapRecord.h"

using namespace mapdb;

TEST(MapRecord, NewRecordIsZeroButVersionTwo) {
    MapRecord map;
    EXPECT_EQ(map.version, 2);
    EXPECT_EQ(map.name[0], '\0');
    EXPECT_EQ(map.flags, 0);
    EXPECT_TRUE(map.data.empty());
}

TEST(MapRecord, NamesKeepElevenCharacters) {
    MapRecord map;
    map.SetName("Mountainside_north");
    EXPECT_EQ(map.GetName(), "Mountainsid");
    map.SetName("Dot");
    EXPECT_EQ(map.GetName(), "Dot");
    EXPECT_EQ(map.name[3], '\0');
}

TEST(SizeRules, PlainCompressedAndColourTableMaps) {
    MapRecord map;
    map.width = 16;
    map.height = 16;
    map.rowBytes = 2;
    map.data.assign(32, 0);
    EXPECT_EQ(GetColorTableSize(map), 0u);
    EXPECT_EQ(GetBitmapDataSize(map), 32u);
    EXPECT_EQ(GetRecordSize(map), 76u);

    // Two-colour table, then a compressed block of size word 0x0123.
    map.flags = kCompressed | kHasColorTable;
    map.data = std::vector<std::uint8_t>{0, 2, 0, 0, 0, 0, 0, 255, 255, 255, 0x01, 0x23};
    EXPECT_EQ(GetColorTableSize(map), 10u);
    EXPECT_EQ(GetBitmapDataSize(map), 10u + 0x123u);
    EXPECT_EQ(GetRecordSize(map), 44u + 10u + 0x123u);
}

TEST(SizeRules, MissingDataBytesCountAsZero) {
    MapRecord map;
    map.flags = kCompressed | kHasColorTable;
    EXPECT_EQ(GetBitmapDataSize(map), 2u);
    map.data = std::vector<std::uint8_t>{0};
    EXPECT_EQ(GetBitmapDataSize(map), 2u);
}

TEST(EncodeMapRecord, FieldsAreBigEndianAndShortDataIsPaddedNeverOverread) {
    MapRecord map;
    map.SetName("Dot");
    map.topLeftLat = 36000000;
    map.topLeftLon = -36000000;
    map.width = 16;
    map.height = 2;
    map.rowBytes = 2;
    map.pixelSize = 1;
    map.flags = kHasColorTable;
    map.data = std::vector<std::uint8_t>{0, 0, 0xAB};  // a table of no entries, then one of four pixel bytes
    auto bytes = EncodeMapRecord(map);
    ASSERT_EQ(bytes.size(), 44u + 2u + 4u);
    EXPECT_EQ(bytes[12], 0x02);
    EXPECT_EQ(bytes[15], 0x00);
    EXPECT_EQ(bytes[16], 0xFD);
    EXPECT_EQ(bytes[34], 0x40);
    EXPECT_EQ(bytes[35], 0x00);
    EXPECT_EQ(bytes[37], 2);
    EXPECT_EQ(bytes[46], 0xAB);
    EXPECT_EQ(bytes[47], 0);
    EXPECT_EQ(bytes[49], 0);

    MapRecord back;
    platform::ByteReader reader(bytes, platform::Endian::kBig);
    MapRecord::Fields(reader, back);
    EXPECT_EQ(back.GetName(), "Dot");
    EXPECT_EQ(back.topLeftLon, -36000000);
    EXPECT_EQ(back.flags, kHasColorTable);
}

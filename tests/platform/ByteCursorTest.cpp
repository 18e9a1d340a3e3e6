#include <gtest/gtest.h>

#include "platform/ByteCursor.h"

using platform::ByteReader;
using platform::ByteWriter;
using platform::Endian;

namespace {

struct Sample {
    std::array<char, 3> tag{};
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    std::int32_t signedLong = 0;

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& s) {
        c(s.tag, s.byte, s.word, s.signedLong);
    }
};

}  // namespace

TEST(ByteCursor, WritesAndReadsTheSameFieldsInEitherOrder) {
    const Sample sample{{'a', 'b', 'c'}, 0x7F, 0x1234, -2};
    for (auto [order, expected] : {std::pair{Endian::kBig, std::vector<std::uint8_t>{'a', 'b', 'c', 0x7F, 0x12, 0x34,
                                                                                        0xFF, 0xFF, 0xFF, 0xFE}},
                                   std::pair{Endian::kLittle, std::vector<std::uint8_t>{'a', 'b', 'c', 0x7F, 0x34, 0x12,
                                                                                           0xFE, 0xFF, 0xFF, 0xFF}}}) {
        std::vector<std::uint8_t> bytes;
        ByteWriter writer(bytes, order);
        Sample::Fields(writer, sample);
        EXPECT_EQ(bytes, expected);

        Sample read;
        ByteReader reader(bytes, order);
        Sample::Fields(reader, read);
        ASSERT_TRUE(reader);
        EXPECT_EQ(read.tag, sample.tag);
        EXPECT_EQ(read.word, sample.word);
        EXPECT_EQ(read.signedLong, sample.signedLong);
        EXPECT_EQ(reader.Remaining(), 0u);
    }
}

TEST(ByteCursor, AReaderThatRunsOutReadsZerosAndStaysFailed) {
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    ByteReader reader(bytes, Endian::kBig);
    std::uint16_t word = 0;
    std::uint32_t tooLong = 99;
    EXPECT_TRUE(reader(word));
    EXPECT_EQ(word, 0x0102);
    EXPECT_FALSE(reader(tooLong));
    EXPECT_EQ(tooLong, 0u);
    std::uint8_t last = 99;
    EXPECT_FALSE(reader(last));  // the byte is there, but the reader has failed
    EXPECT_EQ(last, 0);

    ByteReader again(bytes, Endian::kBig);
    EXPECT_TRUE(again.Take(4).empty());
    EXPECT_FALSE(again);
    ByteReader seeking(bytes, Endian::kBig);
    EXPECT_TRUE(seeking.Seek(3));
    EXPECT_FALSE(seeking.Seek(4));
}

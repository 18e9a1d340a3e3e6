#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <random>

#include "BmpBytes.h"
#include "image/Dib.h"
#include "support/TempFolder.h"

using image::BitmapInfoHeader;
using image::DibBlock;
using image_test::Append;
using image_test::Bytes;
using image_test::GreyTable;
using image_test::InfoFields;
using image_test::InfoHeader;
using image_test::Put32;
using image_test::WithFileHeader;
using platform::ReadLE32;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

std::optional<DibBlock> Load(const Bytes& bytes) {
    return image::LoadBmpFromMemory(bytes.data(), bytes.size());
}

Bytes PixelsOf(const DibBlock& block) {
    return Bytes(block.begin() + static_cast<std::ptrdiff_t>(image::DibPixelOffset(block)), block.end());
}

// 8 bits, 5 × 3 pixels (rows of 8 bytes), a 4-entry grey table; pixel (x, y) = (x + y) % 4.
struct EightBitPicture {
    InfoFields fields{.size = 40, .width = 5, .height = 3, .bitCount = 8, .clrUsed = 4};
    Bytes table = GreyTable(4, 80);
    Bytes bottomUp;
    Bytes topDown;

    EightBitPicture() {
        for (int y = 0; y < 3; ++y) {
            Bytes row(8, 0);
            for (int x = 0; x < 5; ++x) {
                row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((x + y) % 4);
            }
            Append(bottomUp, row);
            topDown.insert(topDown.begin(), row.begin(), row.end());
        }
    }
    Bytes File(std::uint32_t headerSize = 40) const {
        InfoFields f = fields;
        f.size = headerSize;
        Bytes rest = InfoHeader(f);
        Append(rest, table);
        Append(rest, bottomUp);
        return WithFileHeader(rest, 14 + headerSize + 16);
    }
};

}  // namespace

TEST(LoadBmp, BareDibHasItsPixelsBehindTheTable) {
    EightBitPicture picture;
    Bytes bare = InfoHeader(picture.fields);
    Append(bare, picture.table);
    Append(bare, picture.bottomUp);
    auto block = Load(bare);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 40u + 16u + 24u);
    EXPECT_EQ(Bytes(block->begin() + 40, block->begin() + 56), picture.table);
    EXPECT_EQ(PixelsOf(*block), picture.bottomUp);
}

TEST(LoadBmp, FileHeaderOffsetFindsPixelsBehindAGap) {
    EightBitPicture picture;
    Bytes rest = InfoHeader(picture.fields);
    Append(rest, picture.table);
    Append(rest, Bytes(7, 0xEE));
    Append(rest, picture.bottomUp);
    auto block = Load(WithFileHeader(rest, 14 + 40 + 16 + 7));
    ASSERT_TRUE(block);
    EXPECT_EQ(PixelsOf(*block), picture.bottomUp);
}

TEST(LoadBmp, TopDownAndBottomUpGiveTheSameBlock) {
    EightBitPicture picture;
    auto bottomUp = Load(picture.File());
    picture.fields.height = -3;
    std::swap(picture.bottomUp, picture.topDown);
    auto topDown = Load(picture.File());
    ASSERT_TRUE(bottomUp);
    ASSERT_TRUE(topDown);
    EXPECT_EQ(BitmapInfoHeader::Read(*topDown).biHeight, 3);
    EXPECT_EQ(*topDown, *bottomUp);
}

TEST(LoadBmp, LongInfoHeadersKeepTheirTableAndBecomeFortyBytes) {
    EightBitPicture picture;
    auto reference = Load(picture.File());
    ASSERT_TRUE(reference);
    for (std::uint32_t size : {52u, 56u, 108u, 124u}) {
        auto block = Load(picture.File(size));
        ASSERT_TRUE(block) << size;
        EXPECT_EQ(BitmapInfoHeader::Read(*block).biSize, 40u);
        EXPECT_EQ(*block, *reference) << size;
    }
    EXPECT_FALSE(Load(picture.File(64)));  // a header size no writer here uses
}

TEST(LoadBmp, CoreHeaderIsWidenedToAFortyByteHeaderAndFourByteEntries) {
    Bytes rest;
    Put32(rest, 12);
    image_test::Put16(rest, 3);  // width
    image_test::Put16(rest, 2);  // height
    image_test::Put16(rest, 1);
    image_test::Put16(rest, 4);
    for (std::uint8_t i = 0; i < 16; ++i) {
        rest.insert(rest.end(), {i, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 2)});
    }
    Bytes pixels = {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0};
    Append(rest, pixels);
    auto block = Load(WithFileHeader(rest, 14 + 12 + 48));
    ASSERT_TRUE(block);
    BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 3);
    EXPECT_EQ(header.biHeight, 2);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biClrUsed, 16u);
    EXPECT_EQ(header.biCompression, 0u);
    EXPECT_EQ(header.biSizeImage, 8u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ((*block)[40 + 4 * i], i);
        EXPECT_EQ((*block)[40 + 4 * i + 1], i + 1);
        EXPECT_EQ((*block)[40 + 4 * i + 2], i + 2);
        EXPECT_EQ((*block)[40 + 4 * i + 3], 0);
    }
    EXPECT_EQ(PixelsOf(*block), pixels);
}

TEST(LoadBmp, ZeroSizeImageIsComputedFromTheRows) {
    EightBitPicture picture;
    picture.fields.width = 10;
    picture.fields.sizeImage = 0;
    picture.bottomUp.assign(36, 7);
    auto block = Load(picture.File());
    ASSERT_TRUE(block);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biSizeImage, 36u);

    InfoFields one{.width = 33, .height = 2, .bitCount = 1};
    Bytes rest = InfoHeader(one);
    Append(rest, GreyTable(2, 255));
    Append(rest, Bytes(16, 0xA5));
    auto oneBit = Load(WithFileHeader(rest, 14 + 40 + 8));
    ASSERT_TRUE(oneBit);
    EXPECT_EQ(BitmapInfoHeader::Read(*oneBit).biSizeImage, 16u);  // 8 bytes per row
    EXPECT_EQ(BitmapInfoHeader::Read(*oneBit).biClrUsed, 2u);
}

TEST(LoadBmp, TwentyFourBitsHaveNoTableEvenWhenTheFileHasOne) {
    InfoFields fields{.width = 2, .height = 1, .bitCount = 24};
    Bytes pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    Bytes rest = InfoHeader(fields);
    Append(rest, pixels);
    auto block = Load(WithFileHeader(rest, 54));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 40u + 8u);
    EXPECT_FALSE(image::PaletteFromDib(*block, 0));

    fields.clrUsed = 2;  // an optional table of hints
    rest = InfoHeader(fields);
    Append(rest, GreyTable(2, 1));
    Append(rest, pixels);
    auto hinted = Load(rest);  // bare: the pixels follow the table
    ASSERT_TRUE(hinted);
    EXPECT_EQ(BitmapInfoHeader::Read(*hinted).biClrUsed, 0u);
    EXPECT_EQ(PixelsOf(*hinted), pixels);
}

TEST(LoadBmp, BitFieldMasksFollowAShortHeaderOrComeFromALongOne) {
    InfoFields fields{.width = 2, .height = 1, .bitCount = 16, .compression = image::kBiBitFields};
    Bytes masks;
    Put32(masks, 0xF800);
    Put32(masks, 0x07E0);
    Put32(masks, 0x001F);
    Bytes pixels = {0x00, 0xF8, 0x1F, 0x00};
    Bytes rest = InfoHeader(fields);
    Append(rest, masks);
    Append(rest, pixels);
    auto block = Load(WithFileHeader(rest, 14 + 40 + 12));
    ASSERT_TRUE(block);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biCompression, image::kBiBitFields);
    EXPECT_EQ(image::DibPixelOffset(*block), 52u);
    EXPECT_EQ(Bytes(block->begin() + 40, block->begin() + 52), masks);
    EXPECT_EQ(PixelsOf(*block), pixels);

    fields.size = 124;
    Bytes header = InfoHeader(fields);
    std::copy(masks.begin(), masks.end(), header.begin() + 40);
    rest = header;
    Append(rest, pixels);
    auto longBlock = Load(WithFileHeader(rest, 14 + 124));
    ASSERT_TRUE(longBlock);
    EXPECT_EQ(*longBlock, *block);
}

TEST(LoadBmp, RunLengthEightBitsDecodesRunsLiteralsMovesAndRowEnds) {
    InfoFields fields{.width = 6, .height = 3, .bitCount = 8, .compression = image::kBiRle8, .clrUsed = 16};
    Bytes data = {
        3, 9, 0, 3, 1, 2, 3, 0,  // row 0: 9 9 9 then literal 1 2 3 (padded)
        0, 0,                    // end of row
        0, 2, 2, 1,              // move 2 right, 1 up: to (2, 2) — row 1 stays 0
        8, 5,                    // run past the right edge is cut at x = 5
        0, 1,                    // end of picture
    };
    Bytes rest = InfoHeader(fields);
    Append(rest, GreyTable(16, 1));
    Append(rest, data);
    auto block = Load(WithFileHeader(rest, 14 + 40 + 64));
    ASSERT_TRUE(block);
    BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
    EXPECT_EQ(header.biCompression, 0u);
    EXPECT_EQ(header.biSizeImage, 24u);
    Bytes expected = {9, 9, 9, 1, 2, 3, 0, 0,  //
                      0, 0, 0, 0, 0, 0, 0, 0,  //
                      0, 0, 5, 5, 5, 5, 0, 0};
    EXPECT_EQ(PixelsOf(*block), expected);
}

TEST(LoadBmp, RunLengthFourBitsAlternatesNibbles) {
    InfoFields fields{.width = 5, .height = 2, .bitCount = 4, .compression = image::kBiRle4};
    Bytes data = {
        5, 0x1A,           // 1 A 1 A 1
        0, 0,              //
        0, 3, 0x23, 0x40,  // literal 2 3 4, two bytes: no padding
        0, 0,              //
    };  // the last row end finishes the picture without an end mark
    Bytes rest = InfoHeader(fields);
    Append(rest, GreyTable(16, 1));
    Append(rest, data);
    auto block = Load(WithFileHeader(rest, 14 + 40 + 64));
    ASSERT_TRUE(block);
    Bytes expected = {0x1A, 0x1A, 0x10, 0, 0x23, 0x40, 0, 0};
    EXPECT_EQ(PixelsOf(*block), expected);
}

TEST(LoadBmp, RefusesPicturesItCannotMakeABlockFor) {
    EightBitPicture good;
    ASSERT_TRUE(Load(good.File()));
    auto refused = [&](auto change) {
        EightBitPicture picture;
        change(picture.fields);
        return !Load(picture.File());
    };
    EXPECT_TRUE(refused([](InfoFields& f) { f.width = 0; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.width = -5; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.height = 0; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.height = INT32_MIN; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.width = 0x7FFFFFFF; }));  // rows overflow 32 bits
    EXPECT_TRUE(refused([](InfoFields& f) { f.width = 65536, f.height = 65536; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.bitCount = 3; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.bitCount = 0; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.compression = 4; }));  // embedded JPEG
    EXPECT_TRUE(refused([](InfoFields& f) { f.compression = image::kBiRle4; }));  // on 8 bits
    EXPECT_TRUE(refused([](InfoFields& f) { f.compression = image::kBiRle8, f.height = -3; }));
    EXPECT_TRUE(refused([](InfoFields& f) { f.compression = image::kBiBitFields; }));  // on 8 bits
    EXPECT_TRUE(refused([](InfoFields& f) { f.clrUsed = 0x40000000; }));  // a table the file does not hold
}

TEST(LoadBmp, RefusesOffsetsIntoTheHeaders) {
    EightBitPicture picture;
    Bytes file = picture.File();
    file[10] = 20;  // bfOffBits inside the info header
    file[11] = file[12] = file[13] = 0;
    EXPECT_FALSE(Load(file));
}

TEST(LoadBmp, CorruptedBytesNeverReadOutsideTheFile) {
    EightBitPicture picture;
    InfoFields rle{.width = 7, .height = 3, .bitCount = 4, .compression = image::kBiRle4};
    Bytes rleFile = InfoHeader(rle);
    Append(rleFile, GreyTable(16, 17));
    // No end mark: a damaged height that asks for more rows runs out of data.
    Append(rleFile, Bytes{7, 0x12, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 0, 2, 3, 0, 2, 0x33, 0, 0});
    rleFile = WithFileHeader(rleFile, 14 + 40 + 64);
    ASSERT_TRUE(Load(rleFile));
    std::mt19937 random(1234);
    int loaded = 0;
    int refused = 0;
    for (const Bytes& original : {picture.File(), picture.File(124), rleFile}) {
        for (int round = 0; round < 3000; ++round) {
            Bytes file = original;
            int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                // Width and height stay: a damaged one can ask for a legal
                // picture of a gigabyte, which only makes the test slow.
                std::size_t at = random() % file.size();
                if (at < 18 || at >= 26) {
                    file[at] = static_cast<std::uint8_t>(random());
                }
            }
            auto block = Load(file);
            ++(block ? loaded : refused);
            if (block) {
                BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
                EXPECT_EQ(block->size(), image::DibPixelOffset(*block) + header.biSizeImage);
            }
        }
    }
    EXPECT_GT(loaded, 1000);  // most damage leaves a picture that can still be read
    EXPECT_GT(refused, 1000);
}

TEST(LoadBmpFile, MissingFilesAndFoldersGiveNoBlock) {
    TempFolder folder;
    EXPECT_FALSE(image::LoadBmpFile(folder / "missing.bmp"));
    EXPECT_FALSE(image::LoadBmpFile(folder.path.string()));
    WriteFileBytes(folder / "short.bmp", {'B', 'M', 1, 2});
    EXPECT_FALSE(image::LoadBmpFile(folder / "short.bmp"));
}

// Files are read in pieces when they are plain, and whole otherwise; either
// way the block is the one their bytes give in memory, damaged or not.
TEST(LoadBmpFile, GivesTheBlockOfTheFilesBytesInEveryLayout) {
    // 8 bits, 3000 × 4 pixels: rows well past the first bytes read.
    InfoFields wide{.width = 3000, .height = 4, .bitCount = 8, .clrUsed = 256};
    Bytes rows(3000 * 4);
    std::mt19937 random(77);
    for (auto& byte : rows) {
        byte = static_cast<std::uint8_t>(random());
    }
    auto file = [&](std::int32_t height, std::size_t gap) {
        InfoFields fields = wide;
        fields.height = height;
        Bytes rest = InfoHeader(fields);
        Append(rest, GreyTable(256, 1));
        rest.resize(rest.size() + gap, 0xEE);
        Append(rest, rows);
        return WithFileHeader(rest, static_cast<std::uint32_t>(14 + 40 + 1024 + gap));
    };
    Bytes truncated = file(4, 0);
    truncated.pop_back();
    Bytes trailing = file(4, 0);
    trailing.resize(trailing.size() + 100, 7);
    const Bytes plain = file(4, 0);
    const Bytes bare(plain.begin() + 14, plain.end());
    std::vector<Bytes> files{plain, file(4, 5000), file(-4, 0), truncated, trailing, bare, EightBitPicture().File()};
    for (int round = 0; round < 200; ++round) {
        Bytes damaged = file(4, round % 2 == 0 ? 0 : 3000);
        for (int i = 0; i < 3; ++i) {
            std::size_t at = random() % 1200;
            if (at < 18 || at >= 26) {
                damaged[at] = static_cast<std::uint8_t>(random());
            }
        }
        files.push_back(damaged);
    }
    TempFolder folder;
    int loaded = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        WriteFileBytes(folder / "p.bmp", files[i]);
        auto fromFile = image::LoadBmpFile(folder / "p.bmp");
        auto fromMemory = Load(files[i]);
        EXPECT_EQ(fromFile, fromMemory) << "file " << i;
        loaded += fromFile ? 1 : 0;
    }
    EXPECT_GT(loaded, 100);
    EXPECT_FALSE(Load(truncated));
}

TEST(SaveBmpFile, WritesTheFileHeaderAndTheBlock) {
    TempFolder folder;
    auto block = image::NewDib(8, 10, 3);
    ASSERT_TRUE(block);
    (*block)[40 + 1024 + 5] = 42;
    ASSERT_EQ(image::SaveBmpFile(folder / "a.bmp", &*block), 1);
    Bytes file = ReadFileBytes(folder / "a.bmp");
    ASSERT_EQ(file.size(), 1114u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(ReadLE32(file.data() + 2), 1114u);
    EXPECT_EQ(ReadLE32(file.data() + 6), 0u);
    EXPECT_EQ(ReadLE32(file.data() + 10), 1078u);
    EXPECT_EQ(Bytes(file.begin() + 14, file.end()), *block);
    auto again = image::LoadBmpFile(folder / "a.bmp");
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *block);
}

TEST(SaveBmpFile, BitFieldBlocksKeepTheirMasks) {
    TempFolder folder;
    InfoFields fields{.width = 1, .height = 1, .bitCount = 32, .compression = image::kBiBitFields};
    Bytes rest = InfoHeader(fields);
    for (std::uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu}) {
        Put32(rest, mask);
    }
    Append(rest, Bytes{1, 2, 3, 4});
    auto block = Load(rest);
    ASSERT_TRUE(block);
    ASSERT_EQ(image::SaveBmpFile(folder / "m.bmp", &*block), 1);
    Bytes file = ReadFileBytes(folder / "m.bmp");
    EXPECT_EQ(ReadLE32(file.data() + 10), 14u + 40u + 12u);
    auto again = image::LoadBmpFile(folder / "m.bmp");
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *block);
}

TEST(SaveBmpFile, ReportsAMissingBlockAFileItCannotMakeAndAShortBlock) {
    TempFolder folder;
    EXPECT_EQ(image::SaveBmpFile(folder / "a.bmp", nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "a.bmp"));
    auto block = image::NewDib(8, 4, 4);
    ASSERT_TRUE(block);
    EXPECT_EQ(image::SaveBmpFile(folder / "no/such/folder/a.bmp", &*block), 0);
    block->resize(block->size() - 1);
    EXPECT_EQ(image::SaveBmpFile(folder / "b.bmp", &*block), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "b.bmp"));
}

TEST(SaveBmpFile, AFailedWriteIsAFailureAndLeavesNoFile) {
    TempFolder folder;
    auto block = image::NewDib(8, 200, 200);
    ASSERT_TRUE(block);
    // A file-size limit makes the write fail part-way, like a full disk.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = image::SaveBmpFile(folder / "big.bmp", &*block);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "big.bmp"));
}

namespace {

// A stream that records the size of every write it is given; it accepts at most `limit` bytes in all.
struct PieceRecorder {
    std::vector<std::size_t> pieces;
    std::size_t limit = SIZE_MAX;
    std::size_t total = 0;

    static ssize_t Write(void* cookie, const char*, std::size_t size) {
        auto* self = static_cast<PieceRecorder*>(cookie);
        std::size_t taken = std::min(size, self->limit - self->total);
        self->total += taken;
        self->pieces.push_back(size);
        return taken == 0 ? -1 : static_cast<ssize_t>(taken);
    }

    std::FILE* Open() {
        cookie_io_functions_t functions{nullptr, &PieceRecorder::Write, nullptr, nullptr};
        std::FILE* file = fopencookie(this, "w", functions);
        std::setvbuf(file, nullptr, _IONBF, 0);  // each fwrite reaches Write as it is
        return file;
    }
};

}  // namespace

TEST(WriteInChunks, WritesPiecesOfAtMost32768Bytes) {
    std::vector<std::uint8_t> buffer(100000, 1);
    PieceRecorder recorder;
    std::FILE* file = recorder.Open();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(image::WriteInChunks(file, buffer.data(), 100000), 100000u);
    std::fclose(file);
    EXPECT_EQ(recorder.pieces, (std::vector<std::size_t>{32768, 32768, 32768, 1696}));
}

TEST(WriteInChunks, AShortWriteGivesZero) {
    std::vector<std::uint8_t> buffer(100000, 1);
    PieceRecorder recorder;
    recorder.limit = 40000;
    std::FILE* file = recorder.Open();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(image::WriteInChunks(file, buffer.data(), 100000), 0u);
    std::fclose(file);
    EXPECT_LE(recorder.total, 40000u);
}

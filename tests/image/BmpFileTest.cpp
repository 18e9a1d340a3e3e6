#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <random>
#include <tuple>

#include "BmpBytes.h"
#include "image/BmpImageImpl.h"
#include "image/Dib.h"
#include "support/TempFolder.h"

using image::BitmapInfoHeader;
using image::DibBlock;
using image_test::Append;
using image_test::Bytes;
using image_test::GreyTable;
using image_test::InfoFields;
using image_test::InfoHeader;
using image_test::Put16;
using image_test::Put32;
using image_test::WithFileHeader;
using platform::ReadLE32;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

platform::Result<DibBlock> Load(const Bytes& bytes) {
    return image::LoadBmpFromMemory(bytes);
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
    // The info header, the table, `gap` bytes and the rows; with a file header unless bare.
    Bytes File(std::uint32_t headerSize = 40, std::size_t gap = 0, bool bare = false) const {
        InfoFields f = fields;
        f.size = headerSize;
        Bytes rest = InfoHeader(f);
        Append(rest, table);
        rest.resize(rest.size() + gap, 0xEE);
        Append(rest, f.height < 0 ? topDown : bottomUp);
        return bare ? rest : WithFileHeader(rest, static_cast<std::uint32_t>(14 + headerSize + 16 + gap));
    }
};

}  // namespace

TEST(LoadBmp, EveryLayoutOfAPictureGivesTheSameBlock) {
    EightBitPicture picture;
    auto reference = Load(picture.File());
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->size(), 40u + 16u + 24u);
    EXPECT_EQ(BitmapInfoHeader::Read(*reference).biSizeImage, 24u);  // computed from the rows
    EXPECT_EQ(Bytes(reference->begin() + 40, reference->begin() + 56), picture.table);
    EXPECT_EQ(PixelsOf(*reference), picture.bottomUp);

    EightBitPicture topDown;
    topDown.fields.height = -3;
    EightBitPicture stated;
    stated.fields.sizeImage = 24;
    Bytes trailing = picture.File();
    trailing.resize(trailing.size() + 100, 7);
    const std::pair<const char*, Bytes> layouts[] = {
        {"bare, without file header", picture.File(40, 0, true)},
        {"pixels behind a gap", picture.File(40, 7)},
        {"top-down rows", topDown.File()},
        {"stated image size", stated.File()},
        {"trailing bytes", trailing},
        {"52-byte header", picture.File(52)},
        {"56-byte header", picture.File(56)},
        {"108-byte header", picture.File(108)},
        {"124-byte header", picture.File(124)},
    };
    for (const auto& [name, file] : layouts) {
        auto block = Load(file);
        ASSERT_TRUE(block) << name;
        EXPECT_EQ(*block, *reference) << name;
    }
}

TEST(LoadBmp, CoreHeaderIsWidenedToAFortyByteHeaderAndFourByteEntries) {
    Bytes rest;
    Put32(rest, 12);
    Put16(rest, 3);  // width
    Put16(rest, 2);  // height
    Put16(rest, 1);
    Put16(rest, 4);
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
        EXPECT_EQ(ReadLE32(block->data() + 40 + 4 * i), (i + 2) << 16 | (i + 1) << 8 | i) << i;
    }
    EXPECT_EQ(PixelsOf(*block), pixels);
}

TEST(LoadBmp, DeepPicturesKeepNoTableButTheirMasks) {
    // 24 bits: no table, not even the optional one of hints.
    InfoFields fields{.width = 2, .height = 1, .bitCount = 24, .clrUsed = 2};
    Bytes pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    Bytes rest = InfoHeader(fields);
    Append(rest, GreyTable(2, 1));
    Append(rest, pixels);
    auto hinted = Load(rest);  // bare: the pixels follow the table
    ASSERT_TRUE(hinted);
    EXPECT_EQ(hinted->size(), 40u + 8u);
    EXPECT_EQ(BitmapInfoHeader::Read(*hinted).biClrUsed, 0u);
    EXPECT_EQ(PixelsOf(*hinted), pixels);

    // Bit-field masks follow a 40-byte header, or lie inside a longer one.
    InfoFields masked{.width = 2, .height = 1, .bitCount = 16, .compression = image::kBiBitFields};
    Bytes masks;
    for (std::uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        Put32(masks, mask);
    }
    Bytes rgb565 = {0x00, 0xF8, 0x1F, 0x00};
    rest = InfoHeader(masked);
    Append(rest, masks);
    Append(rest, rgb565);
    auto block = Load(WithFileHeader(rest, 14 + 40 + 12));
    ASSERT_TRUE(block);
    EXPECT_EQ(BitmapInfoHeader::Read(*block).biCompression, image::kBiBitFields);
    EXPECT_EQ(Bytes(block->begin() + 40, block->begin() + 52), masks);
    EXPECT_EQ(PixelsOf(*block), rgb565);

    masked.size = 124;
    rest = InfoHeader(masked);
    std::copy(masks.begin(), masks.end(), rest.begin() + 40);
    Append(rest, rgb565);
    auto inHeader = Load(WithFileHeader(rest, 14 + 124));
    ASSERT_TRUE(inHeader);
    EXPECT_EQ(*inHeader, *block);
}

TEST(LoadBmp, RunLengthDataDecodesRunsLiteralsMovesAndRowEnds) {
    struct Case {
        const char* name;
        InfoFields fields;
        Bytes data;
        Bytes pixels;  // the block's rows, bottom row first
    };
    const Case cases[] = {
        {"8 bits",
         {.width = 6, .height = 3, .bitCount = 8, .compression = image::kBiRle8},
         {
             3, 9, 0, 3, 1, 2, 3, 0,  // row 0: 9 9 9 then literal 1 2 3 (padded)
             0, 0,                    // end of row
             0, 2, 2, 1,              // move 2 right, 1 up: to (2, 2) — row 1 stays 0
             8, 5,                    // a run past the right edge is cut at x = 5
             0, 1,                    // end of picture
         },
         {9, 9, 9, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 0, 0}},
        {"4 bits",
         {.width = 5, .height = 3, .bitCount = 4, .compression = image::kBiRle4},
         {
             5, 0x1A,                       // 1 A 1 A 1: the nibbles alternate
             0, 0,                          //
             0, 5, 0x23, 0x45, 0x60, 0,     // literal 2 3 4 5 6, three bytes padded to four
             0, 0,                          //
             0, 3, 0x78, 0x90,              // literal 7 8 9, two bytes: no padding
             0, 0,                          // the last row's end finishes the picture without an end mark
         },
         {0x1A, 0x1A, 0x10, 0, 0x23, 0x45, 0x60, 0, 0x78, 0x90, 0, 0}},
    };
    for (const Case& c : cases) {
        Bytes rest = InfoHeader(c.fields);
        const std::uint32_t colours = 1u << c.fields.bitCount;
        Append(rest, GreyTable(colours, 1));
        Append(rest, c.data);
        auto block = Load(WithFileHeader(rest, 14 + 40 + 4 * colours));
        ASSERT_TRUE(block) << c.name;
        BitmapInfoHeader header = BitmapInfoHeader::Read(*block);
        EXPECT_EQ(header.biCompression, 0u) << c.name;
        EXPECT_EQ(header.biSizeImage, c.pixels.size()) << c.name;
        EXPECT_EQ(PixelsOf(*block), c.pixels) << c.name;
    }
}

TEST(LoadBmp, RefusesPicturesItCannotMakeABlockForAndSaysWhy) {
    const std::tuple<const char*, std::function<void(InfoFields&)>, std::string> changes[] = {
        {"no width", [](InfoFields& f) { f.width = 0; }, "damaged BMP (a picture of 0 x 3 pixels)"},
        {"negative width", [](InfoFields& f) { f.width = -5; }, "damaged BMP (a picture of -5 x 3 pixels)"},
        {"no height", [](InfoFields& f) { f.height = 0; }, "damaged BMP (a picture of 5 x 0 pixels)"},
        {"height INT32_MIN", [](InfoFields& f) { f.height = INT32_MIN; },
         "damaged BMP (a picture of 5 x -2147483648 pixels)"},
        {"rows beyond 32 bits", [](InfoFields& f) { f.width = 0x7FFFFFFF; }, "the BMP picture is too large"},
        {"65536 x 65536", [](InfoFields& f) { f.width = 65536, f.height = 65536; }, "the BMP picture is too large"},
        {"3 bits", [](InfoFields& f) { f.bitCount = 3; }, "damaged BMP (3 bits per pixel)"},
        {"0 bits", [](InfoFields& f) { f.bitCount = 0; }, "damaged BMP (0 bits per pixel)"},
        {"embedded JPEG", [](InfoFields& f) { f.compression = 4; }, "a BMP holding a JPEG or PNG picture cannot be read"},
        {"unknown compression", [](InfoFields& f) { f.compression = 9; }, "damaged BMP (compression 9)"},
        {"4-bit runs on 8 bits", [](InfoFields& f) { f.compression = image::kBiRle4; },
         "damaged BMP (run-length coding of 8-bit pixels)"},
        {"top-down runs", [](InfoFields& f) { f.compression = image::kBiRle8, f.height = -3; },
         "damaged BMP (run-length coded rows from the top)"},
        {"masks on 8 bits", [](InfoFields& f) { f.compression = image::kBiBitFields; },
         "damaged BMP (colour masks for 8-bit pixels)"},
        {"a table the file does not hold", [](InfoFields& f) { f.clrUsed = 0x40000000; },
         "damaged BMP (the file ends inside its colour table)"},
    };
    for (const auto& [name, change, reason] : changes) {
        EightBitPicture picture;
        change(picture.fields);
        auto block = Load(picture.File());
        ASSERT_FALSE(block) << name;
        EXPECT_EQ(block.error().message, reason) << name;
    }
    EightBitPicture picture;
    Bytes intoHeaders = picture.File();
    intoHeaders[10] = 20;  // bfOffBits inside the info header
    Bytes truncated = picture.File();
    truncated.pop_back();
    Bytes masksCut = WithFileHeader(InfoHeader({.width = 1, .height = 1, .bitCount = 16, .compression = 3}), 0);
    const std::pair<Bytes, std::string> files[] = {
        {intoHeaders, "damaged BMP (the pixels start inside the headers)"},
        {truncated, "damaged BMP (the file ends inside the pixels)"},
        {picture.File(64), "damaged BMP (a header of 64 bytes)"},
        {masksCut, "damaged BMP (the file ends inside its colour masks)"},
        {Bytes{'B', 'M', 1, 2}, "damaged BMP (the file ends inside its headers)"},
        {picture.File(124, 0, true), ""},
        {picture.File(64, 0, true), "not a BMP file"},
        {Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, "not a BMP file"},
        {Bytes{}, "not a BMP file"},
    };
    for (const auto& [file, reason] : files) {
        auto block = Load(file);
        EXPECT_EQ(block ? "" : block.error().message, reason) << file.size();
    }
}

TEST(LoadBmp, AlphaDeclaredByAMaskIsCompositedOverWhite) {
    using Rgb = std::array<std::uint8_t, 3>;
    struct Case {
        const char* name;
        std::uint32_t headerSize;
        std::uint16_t bits;
        std::uint32_t compression;
        std::array<std::uint32_t, 4> masks;  // red, green, blue, alpha
        std::array<std::uint32_t, 3> pixels;
        int blockBits;
        std::array<Rgb, 3> colours;
    };
    constexpr std::array<std::uint32_t, 4> kArgb = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    // Transparent, a quarter opaque, opaque. Composited samples are rounded
    // to the nearest: 30 at alpha 64 is 198.53 on white.
    constexpr std::array<std::uint32_t, 3> kPixels = {0x00C86432, 0x401E0AC8, 0xFF0A141E};
    constexpr std::array<Rgb, 3> kOnWhite = {Rgb{255, 255, 255}, Rgb{199, 194, 241}, Rgb{10, 20, 30}};
    constexpr std::array<Rgb, 3> kOpaque = {Rgb{200, 100, 50}, Rgb{30, 10, 200}, Rgb{10, 20, 30}};
    const Case cases[] = {
        {"56-byte header", 56, 32, image::kBiBitFields, kArgb, kPixels, 24, kOnWhite},
        {"108-byte header", 108, 32, image::kBiBitFields, kArgb, kPixels, 24, kOnWhite},
        {"124-byte header", 124, 32, image::kBiBitFields, kArgb, kPixels, 24, kOnWhite},
        {"16 bits, 4 of them alpha", 124, 16, image::kBiBitFields, {0x0F00, 0x00F0, 0x000F, 0xF000},
         {0x0F80, 0x8F80, 0xF123}, 24, {Rgb{255, 255, 255}, Rgb{255, 192, 119}, Rgb{17, 34, 51}}},
        // Writers that declare alpha and leave it 0 everywhere mean no transparency.
        {"a mask no pixel uses", 124, 32, image::kBiBitFields, kArgb, {0x00C86432, 0x001E0AC8, 0x000A141E}, 32,
         kOpaque},
        {"no alpha mask", 124, 32, image::kBiBitFields, {0xFF0000, 0xFF00, 0xFF, 0}, kPixels, 32, kOpaque},
        {"52-byte header: colour masks only", 52, 32, image::kBiBitFields, kArgb, kPixels, 32, kOpaque},
        // Uncompressed 32-bit pixels: the fourth byte is often garbage.
        {"uncompressed", 124, 32, image::kBiRgb, kArgb, kPixels, 32, kOpaque},
    };
    for (const Case& c : cases) {
        Bytes rest = InfoHeader({.size = c.headerSize, .width = 3, .height = 1, .bitCount = c.bits,
                                 .compression = c.compression});
        for (std::size_t i = 0; i < 4 && 40 + 4 * i < c.headerSize; ++i) {
            platform::WriteLE32(rest.data() + 40 + 4 * i, c.masks[i]);
        }
        for (std::uint32_t pixel : c.pixels) {
            c.bits == 16 ? Put16(rest, pixel) : Put32(rest, pixel);
        }
        rest.resize((rest.size() + 3) / 4 * 4, 0);
        image::CBmpImageImpl picture("");
        ASSERT_TRUE(picture.ReadImageBytes(WithFileHeader(rest, 14 + c.headerSize))) << c.name;
        EXPECT_EQ(picture.imageBitCount, c.blockBits) << c.name;
        for (int x = 0; x < 3; ++x) {
            Rgb colour{};
            ASSERT_EQ(picture.GetPixelRGB(x, 0, colour[0], colour[1], colour[2]), 1);
            EXPECT_EQ(colour, c.colours[static_cast<std::size_t>(x)]) << c.name << ", pixel " << x;
        }
    }
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

TEST(LoadBmpFile, ReadsTheFilesBytesOrSaysWhyNot) {
    TempFolder folder;
    const Bytes file = EightBitPicture().File();
    WriteFileBytes(folder / "p.bmp", file);
    auto block = image::LoadBmpFile(folder / "p.bmp");
    ASSERT_TRUE(block);
    EXPECT_EQ(*block, *Load(file));
    EXPECT_EQ(image::LoadBmpFile(folder / "missing.bmp").error().code, ENOENT);
    EXPECT_EQ(image::LoadBmpFile(folder.path.string()).error().code, EISDIR);
    WriteFileBytes(folder / "short.bmp", {'B', 'M', 1, 2});
    EXPECT_EQ(image::LoadBmpFile(folder / "short.bmp").error().message, "damaged BMP (the file ends inside its headers)");
}

TEST(ViewBmpInMemory, GivesTheBlocksHeaderAndTheRowsWhereTheyLie) {
    EightBitPicture bottomUp;
    EightBitPicture topDown;
    topDown.fields.height = -3;
    for (const EightBitPicture& picture : {bottomUp, topDown}) {
        const Bytes file = picture.File(40, 5);
        auto view = image::ViewBmpInMemory(file);
        ASSERT_TRUE(view);
        auto block = Load(file);
        EXPECT_EQ(view->header, DibBlock(block->begin(), block->begin() + 56));
        EXPECT_EQ(view->rows, file.data() + 14 + 40 + 16 + 5);
        EXPECT_EQ(view->topDown, picture.fields.height < 0);
    }
    InfoFields rle{.width = 1, .height = 1, .bitCount = 8, .compression = image::kBiRle8, .clrUsed = 2};
    Bytes encoded = InfoHeader(rle);
    Append(encoded, GreyTable(2, 255));
    Append(encoded, Bytes{1, 1, 0, 1});
    ASSERT_TRUE(Load(encoded));
    EXPECT_FALSE(image::ViewBmpInMemory(encoded));
    EXPECT_FALSE(image::ViewBmpInMemory(Bytes{'B', 'M'}));
}

TEST(SaveBmpFile, WritesTheFileHeaderAndTheBlock) {
    InfoFields fields{.width = 1, .height = 1, .bitCount = 32, .compression = image::kBiBitFields};
    Bytes rest = InfoHeader(fields);
    for (std::uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu}) {
        Put32(rest, mask);
    }
    Append(rest, Bytes{1, 2, 3, 4});
    auto masked = Load(rest);
    ASSERT_TRUE(masked);
    auto eight = image::NewDib(8, 10, 3);
    ASSERT_TRUE(eight);
    (*eight)[40 + 1024 + 5] = 42;
    TempFolder folder;
    for (const auto& [block, offBits] : {std::pair{*eight, 14u + 40u + 1024u}, std::pair{*masked, 14u + 40u + 12u}}) {
        ASSERT_TRUE(image::SaveBmpFile(folder / "a.bmp", block));
        Bytes file = ReadFileBytes(folder / "a.bmp");
        ASSERT_EQ(file.size(), 14 + block.size());
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(ReadLE32(file.data() + 2), file.size());
        EXPECT_EQ(ReadLE32(file.data() + 6), 0u);  // reserved
        EXPECT_EQ(ReadLE32(file.data() + 10), offBits);
        EXPECT_EQ(Bytes(file.begin() + 14, file.end()), block);
        auto again = image::LoadBmpFile(folder / "a.bmp");
        ASSERT_TRUE(again);
        EXPECT_EQ(*again, block);
    }
}

TEST(SaveBmpFile, RefusesBlocksThatDoNotHoldTheirPictureAndNamesAFileItCannotMake) {
    TempFolder folder;
    auto block = image::NewDib(8, 4, 4);
    ASSERT_TRUE(block);
    DibBlock cut = *block;
    cut.pop_back();
    EXPECT_EQ(image::SaveBmpFile(folder / "a.bmp", DibBlock(20, 0)).error().message, "there is no picture to write");
    EXPECT_EQ(image::SaveBmpFile(folder / "a.bmp", cut).error().message,
              "the picture does not hold what its header describes");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path));
    const std::string nowhere = folder / "no/such/folder/a.bmp";
    EXPECT_EQ(image::SaveBmpFile(nowhere, *block).error().message.rfind("Cannot create the file " + nowhere, 0), 0u);
}

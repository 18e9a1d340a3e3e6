// `plandrel convert` on .bmp files that ImageMagick writes (or that are made
// from them), checked by ImageMagick: the pixels it reads back from our file
// must be the pixels it reads from the original.
#include <gtest/gtest.h>

#include <filesystem>

#include "BmpBytes.h"
#include "image/Dib.h"
#include "platform/ByteOrder.h"
#include "support/RunCommand.h"

using image_test::Bytes;
using platform::ReadLE16;
using platform::ReadLE32;
using platform::WriteLE32;
using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::RunShell;
using testing_support::ShellQuote;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

std::string Magick(const std::string& tool) {
    std::string installed = "/usr/bin/" + tool;
    return std::filesystem::exists(installed) ? installed : tool;
}

// The sources: 37 × 23 pixels, so that every depth has padded rows.
std::string SourceOf(int depth) {
    switch (depth) {
    case 1:
        return "-size 37x23 pattern:checkerboard -monochrome";
    case 4:
        return "-size 37x23 gradient:red-blue -colors 16 -type Palette";
    case 8:
        return "-seed 3 -size 37x23 plasma:fractal -colors 200";
    default:
        return "-seed 3 -size 37x23 plasma:fractal -type TrueColor";
    }
}

struct Header {
    std::uint32_t offBits, size;
    std::int32_t width, height;
    std::uint16_t bits;
    std::uint32_t compression;
};

Header ReadHeader(const Bytes& file) {
    return {ReadLE32(file.data() + 10), ReadLE32(file.data() + 14),
            static_cast<std::int32_t>(ReadLE32(file.data() + 18)),
            static_cast<std::int32_t>(ReadLE32(file.data() + 22)), ReadLE16(file.data() + 28),
            ReadLE32(file.data() + 30)};
}

std::size_t RowBytes(const Header& h) {
    return (static_cast<std::size_t>(h.bits) * static_cast<std::size_t>(h.width) + 31) / 32 * 4;
}

// The same 24-bit picture stored with 32 bits per pixel, uncompressed.
Bytes As32Bits(const Bytes& file) {
    Header h = ReadHeader(file);
    std::size_t inRow = RowBytes(h);
    Bytes out(file.begin(), file.begin() + h.offBits);
    for (std::int32_t row = 0; row < h.height; ++row) {
        for (std::int32_t x = 0; x < h.width; ++x) {
            std::size_t at = h.offBits + inRow * static_cast<std::size_t>(row) + 3 * static_cast<std::size_t>(x);
            out.insert(out.end(), {file[at], file[at + 1], file[at + 2], 0});
        }
    }
    out[28] = 32;
    WriteLE32(out.data() + 2, static_cast<std::uint32_t>(out.size()));
    WriteLE32(out.data() + 34, static_cast<std::uint32_t>(out.size() - h.offBits));
    return out;
}

enum class Kind { BottomUp, Core, Rle, Header124 };

struct Case {
    int depth;
    Kind kind;
};

std::string Name(const testing::TestParamInfo<Case>& info) {
    static const char* kinds[] = {"BottomUp", "CoreHeader", "RunLength", "Header124"};
    return kinds[static_cast<int>(info.param.kind)] + std::string("_") + std::to_string(info.param.depth) + "bit";
}

class ConvertDeep : public testing::Test {
protected:
    TempFolder folder;

    void Magick(const std::string& arguments, const std::string& out) {
        auto result = RunShell(::Magick("convert") + " " + arguments + " " + ShellQuote(out), folder);
        ASSERT_EQ(result.status, 0) << result.err;
    }

    // Makes the fixture and returns its path.
    std::string MakeFixture(const Case& c) {
        std::string source = SourceOf(c.depth);
        std::string path = folder / "in.bmp";
        switch (c.kind) {
        case Kind::Core:
            Magick(source, "BMP2:" + path);
            break;
        case Kind::Header124:
            // Grey pictures get the 108-byte header unless they are called sRGB.
            Magick(source + " -compress None -set colorspace sRGB", "BMP:" + path);
            break;
        case Kind::Rle:
            Magick(source + " -compress RLE", "BMP3:" + path);
            break;
        case Kind::BottomUp:
            Magick(source + " -compress None", "BMP3:" + path);
            break;
        }
        return path;
    }

    void ExpectSamePixels(const std::string& a, const std::string& b) {
        auto result = RunShell(::Magick("compare") + " -metric AE " + ShellQuote(a) + " " + ShellQuote(b) + " null:",
                               folder);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "0") << "pixels that differ";
    }

    // A cut file loads as the whole one (only trailing bytes, or the end mark
    // of a run-length file, were lost) or not at all.
    static void ExpectCutFilesAreWholeOrRefused(const Bytes& file) {
        auto whole = image::LoadBmpFromMemory(file);
        ASSERT_TRUE(whole);
        for (std::size_t size = 0; size < file.size(); ++size) {
            auto block = image::LoadBmpFromMemory(std::span(file).first(size));
            if (block) {
                EXPECT_EQ(*block, *whole) << size;
            }
        }
    }
};

class ConvertPeer : public ConvertDeep, public testing::WithParamInterface<Case> {};

}  // namespace

TEST_P(ConvertPeer, ImageMagickFindsThePixelsUnchanged) {
    const Case& c = GetParam();
    std::string in = MakeFixture(c);
    Bytes fixture = ReadFileBytes(in);
    ASSERT_GT(fixture.size(), 30u);
    if (c.kind != Kind::Core) {
        Header h = ReadHeader(fixture);
        ASSERT_EQ(h.bits, c.depth) << "ImageMagick chose another depth";
        ASSERT_EQ(h.compression, c.kind == Kind::Rle ? 1u : 0u);
        ASSERT_EQ(h.size, c.kind == Kind::Header124 ? 124u : 40u);
    } else {
        ASSERT_EQ(ReadLE32(fixture.data() + 14), 12u);
    }
    std::string out = folder / "out.bmp";
    auto result = RunCli({"convert", in, out}, folder);
    ASSERT_EQ(result.status, 0) << result.err;
    Header written = ReadHeader(ReadFileBytes(out));
    EXPECT_EQ(written.size, 40u);
    EXPECT_EQ(written.compression, 0u);
    EXPECT_GT(written.height, 0);
    ExpectSamePixels(in, out);
    ExpectCutFilesAreWholeOrRefused(fixture);
}

// Top-down rows and the 52- to 108-byte headers give the same blocks as these
// files; 4-bit runs are decoded by hand-made files (see the block tests).
INSTANTIATE_TEST_SUITE_P(Bmp, ConvertPeer,
                         testing::Values(Case{1, Kind::BottomUp}, Case{4, Kind::BottomUp}, Case{8, Kind::BottomUp},
                                         Case{24, Kind::BottomUp}, Case{1, Kind::Core}, Case{4, Kind::Core},
                                         Case{8, Kind::Core}, Case{24, Kind::Core}, Case{8, Kind::Rle},
                                         Case{1, Kind::Header124}, Case{4, Kind::Header124},
                                         Case{8, Kind::Header124}, Case{24, Kind::Header124}),
                         Name);

TEST_F(ConvertDeep, SixteenBitMasksAndThirtyTwoBitsKeepTheirColours) {
    std::string source = SourceOf(24);
    Magick(source + " -define bmp:subtype=RGB565", "BMP:" + (folder / "in16.bmp"));
    Magick(source + " -compress None", "BMP3:" + (folder / "in24.bmp"));
    WriteFileBytes(folder / "in32.bmp", As32Bits(ReadFileBytes(folder / "in24.bmp")));
    ASSERT_EQ(ReadHeader(ReadFileBytes(folder / "in16.bmp")).compression, 3u);
    for (const char* name : {"in16.bmp", "in32.bmp"}) {
        std::string out = folder / (std::string("out-") + name);
        auto result = RunCli({"convert", folder / name, out}, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        ExpectSamePixels(folder / name, out);
    }
}

TEST(ConvertCommand, FailuresNameTheFileAndExitWithOne) {
    TempFolder folder;
    auto missing = RunCli({"convert", folder / "missing.bmp", folder / "out.bmp"}, folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("plandrel: "), std::string::npos);
    EXPECT_NE(missing.err.find("missing.bmp: cannot read"), std::string::npos) << missing.err;

    WriteFileBytes(folder / "broken.bmp", {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 40, 0});
    auto broken = RunCli({"convert", folder / "broken.bmp", folder / "out.bmp"}, folder);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("broken.bmp: cannot read"), std::string::npos) << broken.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "out.bmp"));

    auto unknown = RunCli({"convert", folder / "broken.bmp", folder / "out.tif"}, folder);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("out.tif: unknown picture type"), std::string::npos) << unknown.err;

    auto usage = RunCli({"convert", folder / "broken.bmp"}, folder);
    EXPECT_NE(usage.status, 0);
}

TEST(ConvertCommand, WritingToAFolderThatIsNotThereFails) {
    TempFolder folder;
    WriteFileBytes(folder / "in.bmp", image_test::WithFileHeader([] {
                       Bytes rest = image_test::InfoHeader({.width = 1, .height = 1, .bitCount = 24});
                       rest.insert(rest.end(), {1, 2, 3, 0});
                       return rest;
                   }(),
                                                                 54));
    auto result = RunCli({"convert", folder / "in.bmp", folder / "no/out.bmp"}, folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "plandrel: Cannot create the file " + folder / "no/out.bmp" + ": No such file or directory\n");
    ASSERT_EQ(RunCli({"convert", folder / "in.bmp", folder / "out.BMP"}, folder).status, 0);
}

// Our GIF codec against two independent ones: giflib both ways, and files
// written by ImageMagick.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include <gif_lib.h>

#include "gif/GifTestSupport.h"
#include "support/GiflibMemory.h"
#include "support/RunCommand.h"
#include "support/TempFolder.h"

using gif_test::Bytes;

namespace {

struct Decoded {
    int width = 0;
    int height = 0;
    Bytes pixels;  // top row first
    Bytes rgb;     // the colour table that applies
    int transparent = -1;
};

Decoded GiflibDecode(const Bytes& file) {
    testing_support::GifMemoryReader reader{&file};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, testing_support::ReadGifFromMemory, &error);
    EXPECT_NE(gif, nullptr);
    Decoded d;
    if (gif == nullptr) {
        return d;
    }
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);  // puts interlaced rows in order
    if (gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        d.width = image.ImageDesc.Width;
        d.height = image.ImageDesc.Height;
        d.pixels.assign(image.RasterBits, image.RasterBits + d.width * d.height);
        ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
            d.rgb.insert(d.rgb.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
        }
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK) {
            d.transparent = control.TransparentColor;
        }
    }
    DGifCloseFile(gif, &error);
    return d;
}

Bytes GiflibEncode(int w, int h, const Bytes& pixels, const Bytes& rgb, bool interlaced) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, testing_support::WriteGifToMemory, &error);
    int count = static_cast<int>(rgb.size() / 3);
    ColorMapObject* map = GifMakeMapObject(count, reinterpret_cast<const GifColorType*>(rgb.data()));
    EXPECT_EQ(EGifPutScreenDesc(gif, w, h, 8, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, w, h, interlaced, nullptr), GIF_OK);
    std::vector<int> order;
    for (auto [start, step] : interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                         : std::vector<std::pair<int, int>>{{0, 1}}) {
        for (int y = start; y < h; y += step) {
            order.push_back(y);
        }
    }
    for (int y : order) {
        auto* line = const_cast<GifPixelType*>(pixels.data() + static_cast<std::ptrdiff_t>(y) * w);
        EXPECT_EQ(EGifPutLine(gif, line, w), GIF_OK);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct Case {
    int width;
    int colors;
    bool flat;
};

// Widths from 1 to 5000, 2 to 256 colours, noise and flat areas.
const Case kCases[] = {{1, 2, false},   {2, 3, true},     {3, 256, false},  {7, 5, false},   {64, 16, true},
                       {255, 255, false}, {256, 4, true}, {333, 128, false}, {1000, 2, true}, {1000, 256, true},
                       {2500, 64, false}, {5000, 7, true}, {5000, 256, false}};

int HeightFor(int width) { return std::max(1, std::min(150, 60000 / width)); }

Bytes PaddedTable(const Bytes& rgb) {
    std::size_t entries = 2;
    while (entries * 3 < rgb.size()) {
        entries *= 2;
    }
    auto table = rgb;
    table.resize(entries * 3, 0);
    return table;
}

TEST(GifPeers, GiflibDecodesWhatWeWrite) {
    std::uint32_t seed = 1;
    for (const Case& c : kCases) {
        int h = HeightFor(c.width);
        auto pixels = gif_test::MakePixels(c.width, h, c.colors, c.flat, ++seed);
        auto rgb = gif_test::RgbTable(c.colors, seed);
        Decoded d = GiflibDecode(gif_test::Encode(*gif_test::MakePicture(c.width, h, pixels, 8, rgb)));
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.pixels, pixels) << c.width << " " << c.colors;
        ASSERT_EQ(d.rgb.size(), 768u);
        EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), d.rgb.begin()));
    }
}

TEST(GifPeers, WeDecodeWhatGiflibWrites) {
    std::uint32_t seed = 100;
    for (const Case& c : kCases) {
        for (bool interlaced : {false, true}) {
            int h = HeightFor(c.width);
            auto pixels = gif_test::MakePixels(c.width, h, c.colors, c.flat, ++seed);
            auto rgb = PaddedTable(gif_test::RgbTable(c.colors, seed));
            image::CImageImpl read;
            ASSERT_TRUE(image::ReadGif(GiflibEncode(c.width, h, pixels, rgb, interlaced), read));
            EXPECT_EQ(gif_test::TopDownIndices(read), pixels) << c.width << " " << c.colors << " " << interlaced;
            EXPECT_EQ(read.imagePalette->Colors(), gif_test::Colors(rgb));
        }
    }
}

TEST(GifPeers, WeDecodeWhatImageMagickWrites) {
    testing_support::TempFolder folder;
    struct Job {
        int width, height, colors;
        bool flat;
        std::string options;
    };
    const Job jobs[] = {{1, 1, 2, false, ""},
                        {300, 200, 200, false, ""},
                        {517, 233, 12, true, "-interlace GIF"},
                        {64, 64, 4, true, "-transparent 'rgb(0,0,0)'"}};
    std::uint32_t seed = 50;
    for (const Job& job : jobs) {
        // A PPM picture whose colours are all distinct, so no colour is merged.
        auto pixels = gif_test::MakePixels(job.width, job.height, job.colors, job.flat, ++seed);
        std::ofstream ppm(folder / "in.ppm", std::ios::binary);
        ppm << "P6\n" << job.width << " " << job.height << "\n255\n";
        for (auto v : pixels) {
            ppm.put(static_cast<char>(v)).put(static_cast<char>(255 - v)).put(static_cast<char>(v * 7));
        }
        ppm.close();
        auto result = testing_support::RunShell(
            "convert " + testing_support::ShellQuote(folder / "in.ppm") + " " + job.options + " " +
                testing_support::ShellQuote(folder / "out.gif"),
            folder);
        ASSERT_EQ(result.status, 0) << result.err;
        auto file = testing_support::ReadFileBytes(folder / "out.gif");
        Decoded peer = GiflibDecode(file);
        image::CImageImpl read;
        ASSERT_TRUE(image::ReadGif(file, read));
        EXPECT_EQ(read.imageWidth, peer.width);
        EXPECT_EQ(gif_test::TopDownIndices(read), peer.pixels) << job.options;
        EXPECT_EQ(read.imageTransparent, peer.transparent);
        // The file's colours, the transparent one white.
        auto expected = gif_test::Colors(peer.rgb);
        if (peer.transparent >= 0) {
            expected[static_cast<std::size_t>(peer.transparent)] = image::Color{255, 255, 255};
        }
        EXPECT_EQ(read.imagePalette->Colors(), expected) << job.options;
    }
}

TEST(GifPeers, WeDecodeCodeStreamsAsGiflibDoes) {
    // Streams of every minimum code size, with and without a leading clear
    // code, cleared now and then or left to fill the table. giflib reads
    // sizes 1 to 8; above, the roots up to 255 are pixels.
    struct Stream {
        int codeSize;
        bool leadingClear;
        int clearEvery;
        int width, height;
        bool interlaced;
    };
    const Stream streams[] = {
        {1, false, 0, 61, 23, false},  {1, true, 7, 61, 23, true},    {2, false, 0, 300, 200, false},
        {3, true, 0, 61, 23, false},   {4, false, 100, 80, 60, true}, {5, false, 0, 61, 23, false},
        {6, true, 50, 61, 23, false},  {7, false, 7, 61, 23, false},  {8, false, 0, 300, 200, true},
        {8, true, 1000, 300, 200, false}, {9, false, 0, 90, 70, false}, {10, true, 300, 90, 70, true},
        {11, false, 0, 90, 70, false},
    };
    std::uint32_t seed = 200;
    for (const Stream& s : streams) {
        const int colors = 1 << std::min(s.codeSize, 8);
        auto pixels = gif_test::MakePixels(s.width, s.height, colors, s.codeSize > 8, ++seed);
        // Interlaced lines are sent in pass order.
        gif_test::Bytes lines;
        for (auto [start, step] : s.interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                               : std::vector<std::pair<int, int>>{{0, 1}}) {
            for (int y = start; y < s.height; y += step) {
                auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y) * s.width;
                lines.insert(lines.end(), row, row + s.width);
            }
        }
        auto stream = gif_test::LzwStream(lines, s.codeSize, s.leadingClear, s.clearEvery);
        auto file = gif_test::GifBuilder(s.width, s.height, PaddedTable(gif_test::RgbTable(colors, seed)))
                        .Image(s.width, s.height, gif_test::ImageData(s.codeSize, stream), s.interlaced)
                        .Trailer();
        if (s.codeSize <= 8) {
            ASSERT_EQ(GiflibDecode(file).pixels, pixels) << s.codeSize << " " << s.leadingClear;
        }
        image::CImageImpl read;
        ASSERT_TRUE(image::ReadGif(file, read)) << s.codeSize << " " << s.leadingClear;
        EXPECT_EQ(gif_test::TopDownIndices(read), pixels) << s.codeSize << " " << s.leadingClear;
    }
}

}  // namespace

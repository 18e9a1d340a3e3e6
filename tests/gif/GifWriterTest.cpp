#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "gif/GifTestSupport.h"
#include "support/TempFolder.h"

using gif_test::Bytes;
using gif_test::Encode;
using gif_test::MakePicture;

namespace {

TEST(GifWriter, LaysOutTheFileByteForByte) {
    Bytes rgb;
    for (int i = 0; i < 16; ++i) {
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                               static_cast<std::uint8_t>(255 - i)});
    }
    auto file = Encode(*MakePicture(1, 1, {5}, 8, rgb));
    ASSERT_EQ(file.size(), 13u + 768 + 10 + 1 + 5 + 1 + 1);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 13), (Bytes{'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0xF7, 0, 0}));
    // The palette, then black up to 256 entries.
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 13 + 48), rgb);
    EXPECT_EQ(Bytes(file.begin() + 13 + 48, file.begin() + 781), Bytes(768 - 48, 0));
    EXPECT_EQ(Bytes(file.begin() + 781, file.end()),
              (Bytes{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8, 4, 0x00, 0x0B, 0x04, 0x04, 0, 0x3B}));
}

TEST(GifWriter, PicturesOfEveryDepthWithoutPaletteGetAGreyRamp) {
    for (int depth : {1, 2, 4, 8}) {
        int colors = 1 << depth;
        auto pixels = gif_test::MakePixels(37, 11, colors, false, static_cast<std::uint32_t>(depth));
        image::CImageImpl read;
        ASSERT_TRUE(image::ReadGif(Encode(*MakePicture(37, 11, pixels, depth)), read)) << depth;
        EXPECT_EQ(gif_test::TopDownIndices(read), pixels) << depth;
        // Black to white over the depth's indices, then black entries.
        const auto& palette = *read.imagePalette;
        EXPECT_EQ(palette.At(static_cast<std::size_t>(colors - 1)), (image::Color{255, 255, 255})) << depth;
        EXPECT_EQ(palette.At(1).green, 255 / (colors - 1)) << depth;
        EXPECT_EQ(palette.At(static_cast<std::size_t>(colors)), image::Color{}) << depth;
    }
}

TEST(GifWriter, RefusesWhatItCannotWriteAndLeavesNoFile) {
    testing_support::TempFolder folder;
    auto picture = MakePicture(4, 4, Bytes(16, 1));
    image::CImageImpl deep;
    deep.Create(4, 4, 24, -1);
    image::CImageImpl wide;
    wide.Create(70000, 1, 8, -1);
    image::CImageImpl empty;
    struct Case {
        const char* name;
        const image::CImageImpl& picture;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"24 bits", deep, folder / "deep.gif", image::kGifTooDeepMessage},
        {"70000 wide", wide, folder / "wide.gif", image::kGifTooLargeMessage},
        {"no picture", empty, folder / "empty.gif", "there is no picture to write"},
        {"no folder", *picture, folder / "missing/x.gif", image::kGifCannotOpenMessage},
        {"a full disk", *picture, "/dev/full", image::kGifWriteErrorMessage},
    };
    for (const Case& c : cases) {
        auto written = image::WriteGifFile(c.path, c.picture);
        ASSERT_FALSE(written) << c.name;
        EXPECT_EQ(written.error().message, c.message) << c.name;
        EXPECT_TRUE(written.error().title.empty()) << c.name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path));

    ASSERT_TRUE(image::WriteGifFile(folder / "ok.gif", *picture));
    EXPECT_EQ(testing_support::ReadFileBytes(folder / "ok.gif"), Encode(*picture));
}

TEST(GifCodec, ReadsAndWritesAtTheSameTimeKeepApart) {
    // Each codec keeps its tables in its own objects: four threads at once
    // give what each gives alone.
    std::vector<Bytes> pixels;
    std::vector<std::unique_ptr<image::CImageImpl>> pictures;
    std::vector<Bytes> alone;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        pixels.push_back(gif_test::MakePixels(211, 150, 64 * static_cast<int>(seed), seed % 2, seed));
        pictures.push_back(MakePicture(211, 150, pixels.back()));
        alone.push_back(Encode(*pictures.back()));
    }
    std::vector<Bytes> written(4), decoded(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                written[i] = *image::WriteGifStream(*pictures[i]);
                image::CImageImpl read;
                (void)image::ReadGif(alone[i], read);
                decoded[i] = gif_test::TopDownIndices(read);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(written[i], alone[i]);
        EXPECT_EQ(decoded[i], pixels[i]);
    }
}

}  // namespace

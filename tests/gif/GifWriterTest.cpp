#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/resource.h>

#include "gif/GifTestSupport.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

using gif_test::MemoryPicture;
using gif_test::SourcePicture;

namespace {

std::vector<platform::PaletteEntry> Palette(int count) {
    std::vector<platform::PaletteEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                           static_cast<std::uint8_t>(255 - i), 0});
    }
    return entries;
}

TEST(GifWriter, LaysOutTheFileByteForByte) {
    SourcePicture picture(1, 1, {5});
    picture.SetPalette(Palette(16));
    auto file = picture.Encode();
    ASSERT_EQ(file.size(), 13u + 768 + 10 + 1 + 5 + 1 + 1);
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 13),
              (std::vector<std::uint8_t>{'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0xF7, 0, 0}));
    for (int i = 0; i < 256; ++i) {
        auto at = static_cast<std::size_t>(13 + 3 * i);
        std::vector<std::uint8_t> expected{0, 0, 0};
        if (i < 16) {
            expected = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                        static_cast<std::uint8_t>(255 - i)};
        }
        ASSERT_EQ(std::vector<std::uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(at),
                                            file.begin() + static_cast<std::ptrdiff_t>(at + 3)),
                  expected)
            << i;
    }
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 781, file.end()),
              (std::vector<std::uint8_t>{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8, 4, 0x00, 0x0B, 0x04, 0x04, 0, 0x3B}));
}

TEST(GifWriter, SmallDepthsAndPicturesWithoutPalette) {
    for (int depth : {1, 2, 4, 8}) {
        int colors = 1 << depth;
        auto pixels = gif_test::MakePixels(37, 11, colors, false, static_cast<std::uint32_t>(depth));
        SourcePicture picture(37, 11, pixels, depth);
        auto file = picture.Encode();
        MemoryPicture read;
        int transparent = -1;
        ASSERT_EQ(image::ReadGif(file, read, transparent), 1);
        EXPECT_EQ(read.Pixels(), pixels) << depth;
        // A grey ramp of the depth, black to white, then black entries.
        EXPECT_EQ(read.palette->red[static_cast<std::size_t>(colors - 1)], 255) << depth;
        EXPECT_EQ(read.palette->green[1], 255 / (colors - 1)) << depth;
        if (colors < 256) {
            EXPECT_EQ(read.palette->blue[static_cast<std::size_t>(colors)], 0) << depth;
        }
    }
}

TEST(GifWriter, TellsTheUserWhatWentWrong) {
    testing_support::TempFolder folder;
    testing_support::WithScriptedUi scripted;
    auto& notices = scripted.ui.notices;
    SourcePicture picture(4, 4, std::vector<std::uint8_t>(16, 1));

    auto deep = picture.view;
    deep.bitCount = 24;
    EXPECT_EQ(image::WriteGifFile(folder / "deep.gif", deep), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "deep.gif"));
    EXPECT_EQ(image::WriteGifFile(folder / "missing/x.gif", picture.view), 0);
    {
        // A file that may not grow past 500 bytes fails while being written.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 500;
        setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_EQ(image::WriteGifFile(folder / "full.gif", picture.view), 0);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    auto wide = picture.view;
    wide.width = 70000;
    EXPECT_EQ(image::WriteGifFile(folder / "wide.gif", wide), 0);
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[0].text, "GIF Images must be 8 bit or less");
    EXPECT_EQ(notices[1].text, "Can't open GIF for writing");
    EXPECT_EQ(notices[2].text, "Write Error in GIF file");
    EXPECT_EQ(notices[3].text, "GIF Images must be at most 65535 pixels wide and high");
    EXPECT_EQ(notices[0].title, "");

    EXPECT_EQ(image::WriteGifFile(folder / "ok.gif", picture.view), 1);
    EXPECT_EQ(testing_support::ReadFileBytes(folder / "ok.gif"), picture.Encode());
    EXPECT_EQ(notices.size(), 4u);
}

TEST(GifCodec, ReadsAndWritesAtTheSameTimeKeepApart) {
    // Each codec keeps its tables in its own objects: four threads at once
    // give what each gives alone.
    std::vector<SourcePicture> pictures;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        pictures.emplace_back(211, 150, gif_test::MakePixels(211, 150, 64 * static_cast<int>(seed), seed % 2, seed));
    }
    std::vector<std::vector<std::uint8_t>> alone;
    for (const auto& p : pictures) {
        alone.push_back(p.Encode());
    }
    std::vector<std::vector<std::uint8_t>> written(4), decoded(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                written[i] = pictures[i].Encode();
                MemoryPicture read;
                int transparent = -1;
                image::ReadGif(alone[i], read, transparent);
                decoded[i] = read.Pixels();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(written[i], alone[i]);
        EXPECT_EQ(decoded[i], gif_test::MakePixels(211, 150, 64 * static_cast<int>(i + 1), (i + 1) % 2,
                                                    static_cast<std::uint32_t>(i + 1)));
    }
}

}  // namespace

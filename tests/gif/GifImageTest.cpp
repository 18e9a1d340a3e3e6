// The GIF codec behind the image library: CGifImageImpl, CPicture and
// `plandrel convert`.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "gif/GifTestSupport.h"
#include "image/BmpImageImpl.h"
#include "image/GifImageImpl.h"
#include "image/Picture.h"
#include "support/RunCommand.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

using gif_test::GifBuilder;
using testing_support::TempFolder;

namespace {

std::vector<std::uint8_t> DataFor(int w, int h, const std::vector<std::uint8_t>& pixels) {
    auto file = gif_test::SourcePicture(w, h, pixels).Encode();
    return {file.begin() + 791, file.end() - 1};
}

TEST(CGifImageImpl, ReadsPixelsPaletteAndTransparency) {
    TempFolder folder;
    auto rgb = gif_test::RgbTable(4, 1);
    testing_support::WriteFileBytes(
        folder / "t.gif", GifBuilder(3, 2, rgb).Transparency(2).Image(3, 2, DataFor(3, 2, {0, 1, 2, 3, 2, 1})).Trailer());
    testing_support::WriteFileBytes(folder / "plain.gif",
                                    GifBuilder(1, 1, rgb).Image(1, 1, DataFor(1, 1, {3})).Trailer());

    image::CGifImageImpl gif(folder / "t.gif");
    ASSERT_EQ(gif.ReadImage(""), 1);
    EXPECT_EQ(gif.imageBitCount, 8);
    EXPECT_EQ(gif.imageFlags, 3);
    EXPECT_EQ(gif.imageTransparent, 2);
    EXPECT_EQ(gif.GetPixelIndex(0, 1), 0);  // top row
    EXPECT_EQ(gif.GetPixelIndex(2, 0), 1);  // bottom row
    ASSERT_EQ(gif.imagePalette->GetEntryCount(), 256u);
    std::uint8_t r = 0, g = 0, b = 0;
    gif.GetPixelRGB(1, 1, r, g, b);
    EXPECT_EQ(std::vector<int>({r, g, b}), std::vector<int>({rgb[3], rgb[4], rgb[5]}));

    // The next read into the same object starts without a transparent index.
    ASSERT_EQ(gif.ReadImage(folder / "plain.gif"), 1);
    EXPECT_EQ(gif.imageFileName, folder / "plain.gif");
    EXPECT_EQ(gif.imageTransparent, -1);
    EXPECT_EQ(gif.imagePalette->GetEntryCount(), 4u);

    EXPECT_EQ(gif.ReadImage(folder / "missing.gif"), 0);
    EXPECT_EQ(gif.imageWidth, 1);
}

TEST(CGifImageImpl, WritesEveryDepthUpTo8AndRefusesMore) {
    TempFolder folder;
    testing_support::WithScriptedUi scripted;
    for (int depth : {1, 2, 4, 8}) {
        image::CGifImageImpl gif("");
        ASSERT_GT(gif.Create(13, 5, depth, -1), 0);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                gif.SetPixelIndex(x, y, (x + 3 * y) % (1 << depth));
            }
        }
        std::string name = folder / ("d" + std::to_string(depth) + ".gif");
        ASSERT_EQ(gif.WriteImage(name), 1);
        image::CGifImageImpl back(name);
        ASSERT_EQ(back.ReadImage(""), 1);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(back.GetPixelIndex(x, y), (x + 3 * y) % (1 << depth)) << depth;
            }
        }
    }
    image::CGifImageImpl deep("");
    deep.Create(4, 4, 24, -1);
    EXPECT_EQ(deep.WriteImage(folder / "deep.gif"), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "deep.gif"));
    ASSERT_EQ(scripted.ui.notices.size(), 1u);
    EXPECT_EQ(scripted.ui.notices[0].text, "GIF Images must be 8 bit or less");

    image::CGifImageImpl empty("");
    EXPECT_EQ(empty.WriteImage(folder / "empty.gif"), 0);
}

TEST(CGifImageImpl, SavedAsBmpKeepsPictureAndTransparency) {
    TempFolder folder;
    auto rgb = gif_test::RgbTable(16, 3);
    auto pixels = gif_test::MakePixels(10, 7, 16, false, 3);
    testing_support::WriteFileBytes(
        folder / "map.gif", GifBuilder(10, 7, rgb).Transparency(5).Image(10, 7, DataFor(10, 7, pixels)).Trailer());
    image::CPicture picture;
    ASSERT_EQ(picture.Load(folder / "map.gif"), 1);
    ASSERT_EQ(picture.Save(folder / "map.bmp"), 1);
    auto* bmp = dynamic_cast<image::CBmpImageImpl*>(picture.GetImpl());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->imageTransparent, 5);
    EXPECT_EQ(bmp->imageFlags, 3);
    EXPECT_EQ(picture.GetPixelIndex(4, 6), pixels[4]);

    image::CPicture again;
    ASSERT_EQ(again.Load(folder / "map.bmp"), 1);
    ASSERT_EQ(again.Save(folder / "again.gif"), 1);
    image::CPicture gif;
    ASSERT_EQ(gif.Load(folder / "again.gif"), 1);
    for (int i = 0; i < 70; ++i) {
        ASSERT_EQ(gif.GetPixelIndex(i % 10, 6 - i / 10), pixels[static_cast<std::size_t>(i)]);
    }
}

TEST(PlandrelConvert, ReadsAndWritesGif) {
    TempFolder folder;
    auto made = testing_support::RunShell(
        "convert -size 90x40 gradient:red-blue -colors 30 " + testing_support::ShellQuote(folder / "in.gif"), folder);
    ASSERT_EQ(made.status, 0) << made.err;
    auto plandrelConvert = [&](const std::string& in, const std::string& out) {
        std::string line = testing_support::ShellQuote(std::getenv("PLANDREL_CLI"));
        line.append(" convert ").append(testing_support::ShellQuote(in));
        line.append(" ").append(testing_support::ShellQuote(out));
        return testing_support::RunShell(line, folder);
    };
    auto toBmp = plandrelConvert(folder / "in.gif", folder / "mid.bmp");
    ASSERT_EQ(toBmp.status, 0) << toBmp.err;
    auto toGif = plandrelConvert(folder / "mid.bmp", folder / "out.gif");
    ASSERT_EQ(toGif.status, 0) << toGif.err;
    auto same = testing_support::RunShell("compare -metric AE " + testing_support::ShellQuote(folder / "in.gif") +
                                              " " + testing_support::ShellQuote(folder / "out.gif") + " null:",
                                          folder);
    EXPECT_EQ(same.err, "0");
}

}  // namespace

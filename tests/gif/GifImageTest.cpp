// The GIF codec behind the image library: CGifImageImpl, CPicture and
// `plandrel convert`.
#include <gtest/gtest.h>

#include "gif/GifTestSupport.h"
#include "image/BmpImageImpl.h"
#include "image/GifImageImpl.h"
#include "image/Picture.h"
#include "support/RunCommand.h"
#include "support/TempFolder.h"

using gif_test::DataFor;
using gif_test::GifBuilder;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

TEST(CGifImageImpl, ReadsAndWritesUnderItsOwnName) {
    TempFolder folder;
    auto rgb = gif_test::RgbTable(4, 1);
    WriteFileBytes(folder / "t.gif",
                   GifBuilder(3, 2, rgb).Transparency(2).Image(3, 2, DataFor(3, 2, {0, 1, 2, 3, 2, 1})).Trailer());
    WriteFileBytes(folder / "plain.gif", GifBuilder(1, 1, rgb).Image(1, 1, DataFor(1, 1, {3})).Trailer());

    image::CGifImageImpl gif(folder / "t.gif");
    ASSERT_TRUE(gif.ReadImage(""));
    EXPECT_EQ(gif.imageFlags, 3);
    EXPECT_EQ(gif.imageTransparent, 2);
    EXPECT_EQ(gif_test::TopDownIndices(gif), (gif_test::Bytes{0, 1, 2, 3, 2, 1}));
    ASSERT_EQ(gif.imagePalette->Size(), 4u);
    // Opaque pixels keep their colour, transparent ones are white.
    std::uint8_t r = 0, g = 0, b = 0;
    gif.GetPixelRGB(1, 1, r, g, b);
    EXPECT_EQ((image::Color{r, g, b}), (image::Color{rgb[3], rgb[4], rgb[5]}));
    gif.GetPixelRGB(2, 1, r, g, b);
    EXPECT_EQ((image::Color{r, g, b}), (image::Color{255, 255, 255}));

    // The next read into the same object starts without a transparent index.
    ASSERT_TRUE(gif.ReadImage(folder / "plain.gif"));
    EXPECT_EQ(gif.imageFileName, folder / "plain.gif");
    EXPECT_EQ(gif.imageTransparent, -1);
    EXPECT_EQ(gif.imagePalette->Size(), 4u);

    // A failed read keeps the picture.
    EXPECT_FALSE(gif.ReadImage(folder / "missing.gif"));
    EXPECT_EQ(gif.imageWidth, 1);

    gif.SetPixelIndex(0, 0, 1);
    ASSERT_TRUE(gif.WriteImage(folder / "out.gif"));
    image::CGifImageImpl back(folder / "out.gif");
    ASSERT_TRUE(back.ReadImage(""));
    EXPECT_EQ(back.GetPixelIndex(0, 0), 1);
}

TEST(CGifImageImpl, SavedAsBmpKeepsPictureAndTransparency) {
    TempFolder folder;
    auto rgb = gif_test::RgbTable(16, 3);
    auto pixels = gif_test::MakePixels(10, 7, 16, false, 3);
    WriteFileBytes(folder / "map.gif",
                   GifBuilder(10, 7, rgb).Transparency(5).Image(10, 7, DataFor(10, 7, pixels)).Trailer());
    image::CPicture picture;
    ASSERT_TRUE(picture.Load(folder / "map.gif"));
    ASSERT_TRUE(picture.Save(folder / "map.bmp"));
    auto* bmp = dynamic_cast<image::CBmpImageImpl*>(picture.GetImpl());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->imageTransparent, 5);
    EXPECT_EQ(bmp->imageFlags, 3);

    image::CPicture again;
    ASSERT_TRUE(again.Load(folder / "map.bmp"));
    ASSERT_TRUE(again.Save(folder / "again.gif"));
    image::CPicture gif;
    ASSERT_TRUE(gif.Load(folder / "again.gif"));
    EXPECT_EQ(gif_test::TopDownIndices(*gif.GetImpl()), pixels);
}

TEST(PlandrelConvert, ReadsAndWritesGif) {
    TempFolder folder;
    using testing_support::RunCli;
    using testing_support::ShellQuote;
    auto made = testing_support::RunShell("convert -size 90x40 gradient:red-blue -colors 30 " +
                                              ShellQuote(folder / "in.gif"), folder);
    ASSERT_EQ(made.status, 0) << made.err;
    auto toBmp = RunCli({"convert", folder / "in.gif", folder / "mid.bmp"}, folder);
    ASSERT_EQ(toBmp.status, 0) << toBmp.err;
    auto toGif = RunCli({"convert", folder / "mid.bmp", folder / "out.gif"}, folder);
    ASSERT_EQ(toGif.status, 0) << toGif.err;
    auto same = testing_support::RunShell(
        "compare -metric AE " + ShellQuote(folder / "in.gif") + " " + ShellQuote(folder / "out.gif") + " null:",
        folder);
    EXPECT_EQ(same.err, "0");
}

}  // namespace

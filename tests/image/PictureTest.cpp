#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "image/BmpImageImpl.h"
#include "image/GifImageImpl.h"
#include "image/JpgImageImpl.h"
#include "image/Picture.h"
#include "image/PngImageImpl.h"
#include "platform/ByteOrder.h"
#include "support/TempFolder.h"

using image::CPicture;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

TEST(PictureType, ComesFromTheExtensionWithoutRegardToCase) {
    struct Case {
        const char* path;
        const char* extension;
        int type;
    };
    const Case cases[] = {
        {"map.gif", "gif", image::IMAGE_GIF}, {"MAP.Gif", "Gif", image::IMAGE_GIF},
        {"a.BMP", "BMP", image::IMAGE_BMP},   {"a.b.jpg", "jpg", image::IMAGE_JPG},
        {"x.PnG", "PnG", image::IMAGE_PNG},   {"map.xpm", "xpm", image::IMAGE_XPM},
        {"map.jpeg", "jpeg", image::IMAGE_JPG}, {"map.JPE", "JPE", image::IMAGE_JPG},
        {"map.jfif", "jfif", image::IMAGE_JPG}, {"map.tif", "tif", -1},
        {"map.", "", -1},                     {"map", "", -1},
        {"dir.v2/map", "v2/map", -1},         {".bmp", "bmp", image::IMAGE_BMP},
        {"a.aaa", "aaa", -1},                 {"a.zzz", "zzz", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image::FindExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(image::TypeFromExtension(image::FindExtension(c.path)), c.type) << c.path;
    }
}

TEST(CPicture, LoadChoosesTheImplementationByContent) {
    TempFolder folder;
    // One small picture in each format, written by the program's own writers.
    CPicture source;
    ASSERT_GT(source.Create(3, 2, 8), 0);
    std::uint8_t grey[] = {0, 128, 255};
    source.SetPaletteRGB(3, grey, nullptr, nullptr);
    std::map<std::string, std::vector<std::uint8_t>> bytes;
    for (const char* format : {"gif", "png", "jpg", "bmp"}) {
        ASSERT_TRUE(source.Save(folder / (std::string("source.") + format))) << format;
        bytes[format] = ReadFileBytes(folder / (std::string("source.") + format));
    }
    bytes["dib"] = std::vector<std::uint8_t>(bytes["bmp"].begin() + 14, bytes["bmp"].end());
    bytes["text"] = {'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
    struct Case {
        const char* content;
        const char* name;
        int type;  // of the implementation made; IMAGE_UNKNOWN: none
        const char* reason;
    };
    const Case cases[] = {
        {"gif", "a.png", image::IMAGE_GIF, ""},
        {"png", "a.jpg", image::IMAGE_PNG, ""},
        {"jpg", "a.bmp", image::IMAGE_JPG, ""},
        {"bmp", "a.gif", image::IMAGE_BMP, ""},
        // A bare bitmap has no signature: only its name tells what it is.
        {"dib", "a.bmp", image::IMAGE_BMP, ""},
        {"dib", "a.dib", image::IMAGE_UNKNOWN, "not a picture"},
        {"text", "b.png", image::IMAGE_UNKNOWN, "not a picture"},
        {nullptr, "missing.gif", image::IMAGE_UNKNOWN, "no such file"},
    };
    for (const Case& c : cases) {
        if (c.content != nullptr) {
            WriteFileBytes(folder / c.name, bytes[c.content]);
        }
        CPicture picture;
        auto loaded = picture.Load(folder / c.name);
        EXPECT_EQ(loaded ? "" : loaded.error().message, c.reason) << c.content << " as " << c.name;
        EXPECT_EQ(picture.GetImpl() != nullptr ? picture.pictureType : image::IMAGE_UNKNOWN, c.type) << c.name;
        EXPECT_EQ(picture.pictureName, folder / c.name);
    }

    CPicture picture;
    ASSERT_TRUE(picture.Load(folder / "source.gif"));
    image::CImageImpl* gif = picture.GetImpl();
    ASSERT_TRUE(picture.Load(folder / "a.png"));  // GIF bytes again: the implementation stays
    EXPECT_EQ(picture.GetImpl(), gif);
    ASSERT_TRUE(picture.Load(folder / "source.jpg"));
    auto* jpg = dynamic_cast<image::CJpgImageImpl*>(picture.GetImpl());
    ASSERT_NE(jpg, nullptr);
    EXPECT_EQ(jpg->imageQuality, 30);
    EXPECT_EQ(jpg->imageFileName, folder / "source.jpg");
    // A type given by the caller overrules the content.
    auto forced = picture.Load(folder / "source.gif", image::IMAGE_BMP);
    ASSERT_FALSE(forced);
    EXPECT_EQ(forced.error().message, "not a BMP file");
    EXPECT_NE(dynamic_cast<image::CBmpImageImpl*>(picture.GetImpl()), nullptr);
}

TEST(CPicture, CreateMakesABmpPictureWhenThereIsNone) {
    CPicture picture;
    EXPECT_EQ(picture.Create(10, 5, 8), 12);
    EXPECT_EQ(picture.pictureType, image::IMAGE_BMP);
    EXPECT_TRUE(picture.pictureName.empty());
    EXPECT_NE(dynamic_cast<image::CBmpImageImpl*>(picture.GetImpl()), nullptr);
    EXPECT_EQ(picture.GetFlags(), 0);
    EXPECT_TRUE(picture.IsValid());
    CPicture colour;
    EXPECT_EQ(colour.Create(10, 5, 24), 32);
    EXPECT_EQ(colour.GetFlags(), 2);
    EXPECT_EQ(colour.GetRowBytes(), 32);
}

TEST(CPicture, AnEmptyPictureSavesNothingAndAnswersSafely) {
    TempFolder folder;
    CPicture picture;
    auto saved = picture.Save(folder / "map.bmp");
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().message, "there is no picture to write");
    EXPECT_FALSE(std::filesystem::exists(folder / "map.bmp"));
    EXPECT_FALSE(picture.IsValid());
    EXPECT_EQ(picture.GetWidth(), 0);
    EXPECT_EQ(picture.GetPixelIndex(0, 0), -1);
    EXPECT_EQ(picture.GetPalette(), nullptr);
    EXPECT_EQ(picture.GetBits(), nullptr);
}

TEST(CPicture, SavingUnderAnotherTypeMovesThePictureIntoTheNewClass) {
    TempFolder folder;
    CPicture picture;
    int gif = image::IMAGE_GIF;
    ASSERT_EQ(picture.CreateImpl(folder / "map.gif", gif), 1);
    picture.pictureType = image::IMAGE_GIF;
    image::CImageImpl* loaded = picture.GetImpl();
    ASSERT_EQ(loaded->Create(5, 3, 8, -1), 8);
    std::uint8_t red[16], green[16], blue[16];
    for (std::uint8_t i = 0; i < 16; ++i) {
        red[i] = static_cast<std::uint8_t>(i * 16);
        green[i] = static_cast<std::uint8_t>(255 - i);
        blue[i] = i;
    }
    ASSERT_EQ(loaded->SetPaletteRGB(16, red, green, blue), 1);
    loaded->SetPixelIndex(4, 2, 15);
    image::CImagePalette* palette = picture.GetPalette();

    EXPECT_FALSE(picture.Save(folder / "map.tif"));  // no class for the type: nothing changes
    EXPECT_EQ(picture.GetImpl(), loaded);
    EXPECT_EQ(picture.pictureType, image::IMAGE_GIF);

    ASSERT_TRUE(picture.Save(folder / "map.bmp", image::IMAGE_BMP));
    auto* bmp = dynamic_cast<image::CBmpImageImpl*>(picture.GetImpl());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(picture.pictureType, image::IMAGE_BMP);
    EXPECT_EQ(bmp->imageFileName, folder / "map.bmp");
    EXPECT_EQ(picture.GetWidth(), 5);
    EXPECT_EQ(picture.GetHeight(), 3);
    EXPECT_EQ(picture.GetBitCount(), 8);
    EXPECT_EQ(picture.GetFlags(), 3);
    EXPECT_EQ(picture.GetPalette(), palette);
    EXPECT_EQ(picture.GetPixelIndex(4, 2), 15);
    // The file's table holds the colours, black beyond the palette; the
    // block's is back in index form.
    auto file = ReadFileBytes(folder / "map.bmp");
    ASSERT_EQ(file.size(), 14u + 40u + 1024u + 24u);
    for (std::size_t i = 0; i < 256; ++i) {
        const bool inPalette = i < 16;
        EXPECT_EQ(platform::ReadLE32(file.data() + 54 + 4 * i),
                  inPalette ? std::uint32_t{red[i]} << 16 | std::uint32_t{green[i]} << 8 | blue[i] : 0u)
            << i;
        ASSERT_EQ(platform::ReadLE16(bmp->imageDib->data() + 40 + 2 * i), i);
    }
    EXPECT_EQ(file[14 + 40 + 1024 + 2 * 8 + 4], 15);

    CPicture again;
    ASSERT_TRUE(again.Load(folder / "map.bmp"));
    EXPECT_EQ(again.GetFlags(), 3);
    EXPECT_EQ(again.GetPixelIndex(4, 2), 15);
    std::uint8_t r = 0, g = 0, b = 0;
    ASSERT_EQ(again.GetPixelRGB(4, 2, r, g, b), 1);
    EXPECT_EQ(r, red[15]);
    EXPECT_EQ(g, green[15]);
    EXPECT_EQ(b, blue[15]);
}

TEST(CPicture, LoadingAnotherBmpReplacesEverythingOfTheFirst) {
    TempFolder folder;
    CPicture eight;
    eight.Create(2, 2, 8);
    std::uint8_t grey[] = {0, 255};
    eight.SetPaletteRGB(2, grey, nullptr, nullptr);
    ASSERT_TRUE(eight.Save(folder / "eight.bmp"));
    CPicture colour;
    colour.Create(3, 2, 24);
    colour.SetPixelRGB(2, 1, 1, 2, 3);
    ASSERT_TRUE(colour.Save(folder / "colour.bmp"));

    CPicture picture;
    ASSERT_TRUE(picture.Load(folder / "eight.bmp"));
    picture.GetImpl()->imageTransparent = 1;
    ASSERT_TRUE(picture.Load(folder / "colour.bmp"));
    EXPECT_EQ(picture.GetPalette(), nullptr);
    EXPECT_EQ(picture.GetFlags(), 2);
    EXPECT_EQ(picture.GetImpl()->imageTransparent, -1);
    std::uint8_t r = 0, g = 0, b = 0;
    ASSERT_EQ(picture.GetPixelRGB(2, 1, r, g, b), 1);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b, 3);

    WriteFileBytes(folder / "broken.bmp", {'B', 'M', 0, 0});
    EXPECT_FALSE(picture.Load(folder / "broken.bmp"));
    EXPECT_EQ(picture.GetWidth(), 3);  // a failed read keeps the picture it had
}

TEST(CPicture, PaletteLessLowDepthPicturesSaveTheirOwnTable) {
    TempFolder folder;
    CPicture picture;
    picture.Create(3, 1, 1);
    picture.SetPixelIndex(1, 0, 1);
    ASSERT_TRUE(picture.Save(folder / "one.bmp"));
    CPicture again;
    ASSERT_TRUE(again.Load(folder / "one.bmp"));
    std::uint8_t r = 0, g = 0, b = 0;
    ASSERT_EQ(again.GetPixelRGB(1, 0, r, g, b), 1);
    EXPECT_EQ(r, 255);  // white, the second colour of a new 1-bit table
    ASSERT_EQ(again.GetPixelRGB(0, 0, r, g, b), 1);
    EXPECT_EQ(r, 0);
}

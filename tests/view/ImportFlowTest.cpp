#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>

#include "ImportTestSupport.h"
#include "image/Picture.h"
#include "mapdb/PDBDoc.h"
#include "support/BmpFixture.h"
#include "support/TempFolder.h"
#include "view/ImportFlow.h"
#include "view/SingleMapOutput.h"

using testing_support::GreyPalette;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteIndexedBmp;
using view_test::ScriptedAnswers;
using Imported = platform::Result<std::vector<view::ImportedMap>>;
using Strings = std::vector<std::string>;

namespace {

class CountingView : public view::MapListView {
public:
    int refreshes = 0;
    void RefreshMapList() override { ++refreshes; }
};

std::vector<std::int32_t> CornersOf(const mapdb::MapRecord& map) {
    return {map.topLeftLat, map.topLeftLon, map.bottomRightLat, map.bottomRightLon};
}

bool Names(const platform::Error& error, const std::string& path) {
    return error.message.find(path) != std::string::npos;
}

void WriteText(const std::string& path, const std::string& text) {
    testing_support::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class ImportFlowTest : public ::testing::Test {
protected:
    ImportFlowTest() { doc.OnNewDocument(); }

    void WritePicture(const std::string& name, int width, int height, int bits) {
        WriteIndexedBmp(folder / name, width, height, bits, GreyPalette(bits),
                        [](int x, int y) { return (x / 3 + y / 5) % 2; });
    }
    Imported Import(const std::string& name, int width, int height, int bits) {
        WritePicture(name, width, height, bits);
        return view::ImportPicture(doc, &form, folder / name, view::Handover::kAddButton, answers.Answers());
    }
    void AnswerAt(unsigned depth, bool compress = false) { answers.options = {depth, compress, false}; }

    TempFolder folder;
    mapdb::CPDBDoc doc;
    CountingView form;
    ScriptedAnswers answers;
};

}  // namespace

TEST_F(ImportFlowTest, APictureThatFitsOneRecordIsOneMapOfCategoryZero) {
    auto added = Import("Valley.bmp", 600, 500, 1);
    ASSERT_TRUE(added) << added.error().message;
    ASSERT_EQ(added->size(), 1u);
    EXPECT_EQ((*added)[0].name, "Valley");
    EXPECT_EQ((*added)[0].recordSize, 38044u);
    EXPECT_EQ((*added)[0].category, 0);
    ASSERT_EQ(doc.GetMapCount(), 1);
    EXPECT_EQ(doc.GetMap(0).rowBytes, 76);
    EXPECT_EQ(doc.GetEntry(0).attributes, 0);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(form.refreshes, 1);
    EXPECT_EQ(answers.shownWidth, 600u);
    EXPECT_EQ(answers.shownHeight, 500u);
    EXPECT_EQ(answers.shownDepth, 1u);
    // The proposed corners, kept, place it from 10° N 10° W to 10° S 10° E.
    EXPECT_EQ(CornersOf(doc.GetMap(0)), (std::vector<std::int32_t>{36000000, -36000000, -36000000, 36000000}));
}

// The conversion is asked once the picture has been read; the corners only
// when no side file gives them, after the conversion. Whatever fails ends the
// import there and leaves the document as it was.
TEST_F(ImportFlowTest, QuestionsComeInOrderAndOnlyWhenNeeded) {
    enum class Side { kNone, kText, kFolder };
    enum class Bitmap { kPicture, kRefused, kMissing };
    struct Case {
        const char* name;
        Bitmap bitmap;
        Side side;
        Strings asked;
        std::vector<std::int32_t> corners;  // empty: the import fails
    };
    const Case cases[] = {
        {"typed", Bitmap::kPicture, Side::kNone, {"conversion", "corners"}, {3600000, 7200000, -10800000, -14400000}},
        {"side", Bitmap::kPicture, Side::kText, {"conversion"}, {163800000, -263700000, 160200000, -260100000}},
        {"folder", Bitmap::kPicture, Side::kFolder, {"conversion"}, {}},
        {"refused", Bitmap::kRefused, Side::kText, {}, {}},
        {"missing", Bitmap::kMissing, Side::kNone, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bitmap = folder / (std::string(c.name) + ".bmp");
        const std::string side = palm::SideFilePath(bitmap);
        if (c.bitmap == Bitmap::kPicture) {
            WriteIndexedBmp(bitmap, 6, 4, 4, GreyPalette(4), [](int x, int y) { return x + y; });
        } else if (c.bitmap == Bitmap::kRefused) {
            testing_support::WriteFileBytes(bitmap, {'B', 'M', 1, 2, 3});
        }
        if (c.side == Side::kText) {
            WriteText(side, "45.5,-73.25\n44.5,-72.25\n");
        } else if (c.side == Side::kFolder) {
            std::filesystem::create_directory(side);
        }
        mapdb::CPDBDoc fresh;
        fresh.OnNewDocument();
        CountingView view;
        ScriptedAnswers scripted;
        scripted.typed = palm::CornerTexts{"N 1", "E 2", "S 3", "W 4"};

        auto added = view::ImportPicture(fresh, &view, bitmap, view::Handover::kAddButton, scripted.Answers());
        EXPECT_EQ(scripted.asked, c.asked);
        if (!c.corners.empty()) {
            ASSERT_TRUE(added) << added.error().message;
            ASSERT_EQ(fresh.GetMapCount(), 1);
            EXPECT_EQ(fresh.GetMap(0).GetName(), c.name);
            EXPECT_EQ(CornersOf(fresh.GetMap(0)), c.corners);
            continue;
        }
        ASSERT_FALSE(added);
        EXPECT_EQ(fresh.GetMapCount(), 0);
        EXPECT_FALSE(fresh.IsModified());
        EXPECT_EQ(view.refreshes, 0);
        // The file that cannot be read is told by name.
        EXPECT_TRUE(Names(added.error(), c.bitmap == Bitmap::kPicture ? side : bitmap)) << added.error().message;
    }
}

// A bitmap already in memory takes the side text it is given and never reads a side file.
TEST_F(ImportFlowTest, BitmapBytesTakeTheSideTextGiven) {
    const auto file = testing_support::IndexedBmpBytes(6, 4, 1, GreyPalette(1), [](int x, int) { return x % 2; });
    WriteText(folder / "Memory.txt", "1,1\n0,2\n");
    answers.typed = palm::CornerTexts{"N 1", "E 2", "S 3", "W 4"};
    auto added = view::ImportPictureBytes(doc, &form, folder / "Memory.bmp", file, "45.5,-73.25\n44.5,-72.25",
                                                answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ(answers.asked, Strings{"conversion"});
    EXPECT_EQ(CornersOf(doc.GetMap(0)), (std::vector<std::int32_t>{163800000, -263700000, 160200000, -260100000}));

    added = view::ImportPictureBytes(doc, &form, folder / "Memory.bmp", file, std::nullopt, answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ(answers.asked, (Strings{"conversion", "conversion", "corners"}));
    EXPECT_EQ(doc.GetMap(1).GetName(), "Memory");
    EXPECT_EQ(CornersOf(doc.GetMap(1)), (std::vector<std::int32_t>{3600000, 7200000, -10800000, -14400000}));
}

// Corners that cannot place a map are stored as given (side files and habits
// hold such corners) and the user is warned of each thing wrong.
TEST_F(ImportFlowTest, CornersThatLookWrongAreToldButKept) {
    struct Case {
        std::optional<std::string> sideText;  // none: the proposed corners are kept
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"45.5,-73.25\n44.5,-72.25", {}},
        {std::nullopt, {"still the defaults"}},
        {"91,0\n45,1", {"top-left latitude (91.00000) is beyond 90 degrees"}},
        {"45,2\n46,1", {"top edge (45.00000) is not above the bottom edge (46.00000)",
                        "left edge (2.00000) is not left of the right edge (1.00000)"}},
        {"45,170\n44,-170", {"left edge (170.00000) is not left of the right edge (-170.00000); the handheld cannot "
                             "place a map across the 180\u00B0 meridian"}},
        {"45,-200\n44,1", {"top-left longitude (-200.00000) is beyond 180 degrees"}},
    };
    const auto file = testing_support::IndexedBmpBytes(6, 4, 1, GreyPalette(1), [](int x, int) { return x % 2; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sideText.value_or("proposed"));
        answers.notices.clear();
        ASSERT_TRUE(view::ImportPictureBytes(doc, &form, folder / "Odd.bmp", file, c.sideText, answers.Answers()));
        const auto told = answers.Told(view::ImportNotice::Kind::kCornersLookWrong);
        ASSERT_EQ(told.size(), c.warnings.empty() ? 0u : 1u);
        for (const std::string& warning : c.warnings) {
            EXPECT_NE(told[0].find(warning), std::string::npos) << told[0];
        }
    }
    EXPECT_EQ(doc.GetMapCount(), 6);
}

// A record of up to 65,536 bytes is one map of category 0; a larger one is
// tiled. A flat 256-wide 8-bit picture takes 44 + 256 bytes a row, or
// compressed 44 + 2 + 288 + 32 bytes per further row: 65,518 at 2,038 rows.
TEST_F(ImportFlowTest, TheRecordLimitDecidesBetweenOneMapAndTiles) {
    struct Case {
        int height;
        bool compress;
        std::size_t maps;
        std::uint32_t recordSize;  // of the first map
    };
    const Case cases[] = {
        {255, false, 1, 65324}, {256, false, 2, 61484}, {2038, true, 1, 65518}, {2039, true, 9, 7982},
    };
    for (const Case& c : cases) {
        const std::string name = "Flat" + std::to_string(c.height) + ".bmp";
        WriteIndexedBmp(folder / name, 256, c.height, 8, GreyPalette(8), [](int, int) { return 3; });
        AnswerAt(8, c.compress);
        auto added = view::ImportPicture(doc, &form, folder / name, view::Handover::kAddButton, answers.Answers());
        ASSERT_TRUE(added) << added.error().message;
        ASSERT_EQ(added->size(), c.maps) << c.height;
        EXPECT_EQ(added->front().recordSize, c.recordSize) << c.height;
        EXPECT_EQ(added->front().category, c.maps == 1 ? 0 : 1 + (c.compress ? 1 : 0)) << c.height;
        EXPECT_EQ(doc.GetMap(doc.GetMapCount() - c.maps).IsCompressed(), c.compress) << c.height;
    }
}

TEST_F(ImportFlowTest, EachTiledPictureTakesTheNextFreeCategory) {
    AnswerAt(8);
    doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    EXPECT_EQ((*Import("First.bmp", 300, 300, 8))[0].category, 1);
    EXPECT_EQ((*Import("Second.bmp", 300, 300, 8))[0].category, 2);
    for (std::uint8_t c = 3; c < 16; ++c) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{0, c, {}});
    }
    const auto before = doc.GetMapCount();
    auto added = Import("Third.bmp", 300, 300, 8);
    ASSERT_FALSE(added);
    EXPECT_TRUE(Names(added.error(), folder / "Third.bmp")) << added.error().message;
    EXPECT_EQ(doc.GetMapCount(), before);
}

TEST_F(ImportFlowTest, AnImportBeyondTheMapLimitAddsNothing) {
    AnswerAt(8);
    for (std::size_t i = 0; i + 1 < mapdb::kMaxMaps; ++i) {
        doc.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{});
    }
    doc.SetModifiedFlag(false);
    auto big = Import("Big.bmp", 300, 300, 8);
    ASSERT_FALSE(big);
    EXPECT_TRUE(Names(big.error(), folder / "Big.bmp")) << big.error().message;
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps - 1);
    EXPECT_FALSE(doc.IsModified());
    auto small = Import("Small.bmp", 16, 16, 8);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), 1u);
    EXPECT_EQ(doc.GetMapCount(), mapdb::kMaxMaps);
}

TEST_F(ImportFlowTest, TheBitmapPathDependsOnHowThePictureCame) {
    struct Case {
        std::string picture;
        view::Handover handover;
        std::string bitmap;
    };
    const std::string f = folder / "";
    const Case cases[] = {
        {f + "town.BMP", view::Handover::kAddButton, f + "town.BMP"},
        {f + "town.gif", view::Handover::kAddButton, f + "town.bmp"},
        {f + "a.b.png", view::Handover::kAddButton, f + "a.b.bmp"},
        {f + "town.BMP", view::Handover::kDropped, f + "town.bmp"},
        {f + "a.bmp.gif", view::Handover::kDropped, f + "a.bmp.gif"},
        {f + "photo.jpeg", view::Handover::kDropped, f + "photo.bmp"},
        {f + "v1.2/README", view::Handover::kDropped, f + "v1.2/README.bmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(view::BitmapPathFor(c.picture, c.handover), c.bitmap) << c.picture;
    }
}

// A Windows bitmap is read as it is, whatever its name: a dropped town.BMP is
// not written again as town.bmp. A damaged picture is refused with the reason,
// and never replaced by an older bitmap of its name.
TEST_F(ImportFlowTest, PicturesAreReadForWhatTheyAreAndRefusedWithTheReason) {
    WriteIndexedBmp(folder / "town.BMP", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    auto added = view::ImportPicture(doc, &form, folder / "town.BMP", view::Handover::kDropped, answers.Answers());
    ASSERT_TRUE(added) << added.error().message;
    EXPECT_EQ((*added)[0].name, "town");
    EXPECT_FALSE(std::filesystem::exists(folder / "town.bmp"));

    WriteIndexedBmp(folder / "old.bmp", 20, 10, 8, GreyPalette(8), [](int x, int) { return x; });
    testing_support::WriteFileBytes(folder / "old.gif", {'G', 'I', 'F', '8', '9', 'a'});
    answers.asked.clear();
    added = view::ImportPicture(doc, &form, folder / "old.gif", view::Handover::kDropped, answers.Answers());
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error().message.rfind("Cannot read the picture " + folder / "old.gif" + ": ", 0), 0u)
        << added.error().message;
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(doc.GetMapCount(), 1);
}

namespace {

// A picture of the image library written by it as `path`, its format the extension's.
template <class ColorOf>
void WritePictureFile(const std::string& path, int bits, int width, int height, ColorOf colorOf) {
    image::CPicture picture;
    ASSERT_NE(picture.Create(width, height, bits), 0);
    if (bits <= 8) {
        std::vector<image::Color> palette;
        for (int i = 0; i < (1 << bits); ++i) {
            palette.push_back(colorOf(i, 0));
        }
        picture.SetPaletteObject(std::make_unique<image::CImagePalette>(palette));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                picture.SetPixelIndex(x, y, (x + y) % (1 << bits));
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const image::Color c = colorOf(x, y);
                picture.SetPixelRGB(x, y, c.red, c.green, c.blue);
            }
        }
    }
    auto saved = picture.Save(path);
    ASSERT_TRUE(saved) << saved.error().message;
}

image::Color Gradient(int x, int y) {
    return {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), static_cast<std::uint8_t>(x + y)};
}

image::Color ThreeColours(int x, int) {
    const image::Color colours[] = {{200, 0, 0}, {0, 90, 0}, {10, 20, 250}};
    return colours[x % 3];
}

}  // namespace

// A picture of more than 8 bits is asked about as 8 bits and keeps exactly its
// colours when it has 256 or fewer; otherwise they are reduced and the user told.
TEST_F(ImportFlowTest, TrueColourPicturesAreReducedAndTheUserTold) {
    struct Case {
        const char* name;
        image::Color (*colorOf)(int, int);
        std::size_t tableColours;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"Three.png", ThreeColours, 3, {}},
        {"Many.png", Gradient, 256, {"reduced 4,096 colours to 256"}},
        {"Many.bmp", Gradient, 256, {"reduced 4,096 colours to 256"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WritePictureFile(folder / c.name, 24, 64, 64, c.colorOf);
        answers.options = {8, false, true};
        answers.notices.clear();
        auto added = view::ImportPicture(doc, &form, folder / c.name, view::Handover::kAddButton, answers.Answers());
        ASSERT_TRUE(added) << added.error().message;
        EXPECT_EQ(answers.shownDepth, 8u);
        EXPECT_EQ(answers.Told(view::ImportNotice::Kind::kColorsReduced), c.told);
        // The table holds the picture's colours, and black for the entries beyond.
        const mapdb::MapRecord& map = doc.GetMap(doc.GetMapCount() - 1);
        const auto table = palm::ReadPalmColorTable(map.data, 256).Colors();
        const std::set<std::uint32_t> distinct = [&] {
            std::set<std::uint32_t> keys;
            for (std::size_t i = 0; i < c.tableColours; ++i) {
                keys.insert(std::uint32_t{table[i].red} << 16 | std::uint32_t{table[i].green} << 8 | table[i].blue);
            }
            return keys;
        }();
        EXPECT_EQ(distinct.size(), c.tableColours);
        if (c.told.empty()) {
            EXPECT_EQ(table[0], c.colorOf(0, 0));  // the first colour from the top left
        }
    }
}

// The bitmap beside a picture is written where there is none, left alone where
// there is one (told when it is another picture's), and taken back when the
// import then adds nothing.
TEST_F(ImportFlowTest, TheBitmapBesideIsWrittenOnlyWhereNothingIsLost) {
    enum class Before { kNothing, kSameBitmap, kOtherFile };
    struct Case {
        const char* what;
        Before before;
        bool addsNothing;
        bool told;
        bool bitmapAfter;  // the picture's own bitmap lies beside it
    };
    const Case cases[] = {
        {"no file", Before::kNothing, false, false, true},
        {"the same bitmap", Before::kSameBitmap, false, false, true},
        {"another file", Before::kOtherFile, false, true, false},
        {"no file, nothing added", Before::kNothing, true, false, false},
        {"another file, nothing added", Before::kOtherFile, true, true, false},
    };
    const std::string gif = folder / "Town.gif";
    const std::string bitmap = folder / "Town.bmp";
    WritePictureFile(gif, 8, 300, 300, [](int i, int) { return image::Color{static_cast<std::uint8_t>(i), 0, 0}; });
    // The bitmap an import writes, kept aside.
    ASSERT_TRUE(view::ImportPicture(doc, &form, gif, view::Handover::kAddButton, answers.Answers()));
    const auto ownBitmap = ReadFileBytes(bitmap);
    const std::vector<std::uint8_t> otherFile{'m', 'i', 'n', 'e'};
    answers.options = {8, false, false};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(bitmap);
        if (c.before == Before::kSameBitmap) {
            testing_support::WriteFileBytes(bitmap, ownBitmap);
        } else if (c.before == Before::kOtherFile) {
            testing_support::WriteFileBytes(bitmap, otherFile);
        }
        mapdb::CPDBDoc target;
        target.OnNewDocument();
        if (c.addsNothing) {
            for (std::uint8_t category = 1; category < 16; ++category) {
                target.AddMap(mapdb::MapRecord{}, mapdb::RecordEntry{0, category, {}});
            }
        }
        answers.notices.clear();
        auto added = view::ImportPicture(target, &form, gif, view::Handover::kAddButton, answers.Answers());
        EXPECT_EQ(static_cast<bool>(added), !c.addsNothing);
        const auto told = answers.Told(view::ImportNotice::Kind::kBitmapNotWritten);
        EXPECT_EQ(told.size(), c.told ? 1u : 0u);
        if (c.told && !told.empty()) {
            EXPECT_TRUE(Names(platform::Error{told[0]}, bitmap)) << told[0];
        }
        if (c.before == Before::kOtherFile) {
            EXPECT_EQ(ReadFileBytes(bitmap), otherFile);
        } else {
            EXPECT_EQ(std::filesystem::exists(bitmap), c.bitmapAfter);
            if (c.bitmapAfter) {
                EXPECT_EQ(ReadFileBytes(bitmap), ownBitmap);
            }
        }
    }
}

TEST_F(ImportFlowTest, BeamWritesTheStoredRecordAndLeavesTheDocumentAlone) {
    ASSERT_TRUE(Import("Valley.bmp", 600, 500, 1));
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb"));
    ASSERT_TRUE(view::BeamMap(doc.GetMap(0), folder / "Essai.map"));
    auto beam = ReadFileBytes(folder / "Essai.map");
    ASSERT_EQ(beam.size(), 38044u);
    EXPECT_EQ(beam[28], 0x02);
    EXPECT_EQ(beam[29], 0x58);
    ASSERT_TRUE(doc.OnSaveDocument(folder / "Before.pdb"));
    auto after = ReadFileBytes(folder / "Before.pdb");
    EXPECT_TRUE(std::equal(beam.begin(), beam.end(), after.end() - 38044));

    EXPECT_FALSE(view::BeamMap(doc.GetMap(0), folder / "no-such-folder/Essai.map"));
}

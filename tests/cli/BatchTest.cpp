// A batch of pictures prepared side by side is stored, told and refused
// exactly as one prepared picture after the other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/BmpFixture.h"
#include "support/RunCommand.h"

using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::RunShell;
using testing_support::ShellQuote;
using testing_support::TempFolder;

namespace {

// The database without its creation and modification dates.
std::vector<std::uint8_t> WithoutDates(std::vector<std::uint8_t> database) {
    for (std::size_t i = 36; i < 44 && i < database.size(); ++i) {
        database[i] = 0;
    }
    return database;
}

class BatchTest : public ::testing::Test {
protected:
    // Pictures of every kind: whole maps and tiled ones (whose categories
    // depend on the order), true colour, a side file, a GIF written beside.
    BatchTest() {
        using testing_support::GreyPalette;
        testing_support::WriteIndexedBmp(folder / "Small.bmp", 64, 48, 4, GreyPalette(4),
                                         [](int x, int y) { return (x + y) % 16; });
        testing_support::WriteIndexedBmp(folder / "Wide.bmp", 900, 300, 8, GreyPalette(8),
                                         [](int x, int y) { return (x * y) & 255; });
        std::ofstream(folder / "Wide.txt") << "47,6\n46.5,7\n";
        const std::string make = "convert -size 700x520 plasma:fractal -seed 2 -colors 60 " +
                                 ShellQuote(folder / "Plasma.gif") + " && convert -seed 5 -size 300x200 plasma:fractal " +
                                 ShellQuote(folder / "Photo.png") + " && convert -size 640x480 gradient:navy-white " +
                                 ShellQuote(folder / "Sky.gif");
        EXPECT_EQ(RunShell(make, folder).status, 0);
        pictures = {folder / "Small.bmp", folder / "Plasma.gif", folder / "Wide.bmp", folder / "Photo.png",
                    folder / "Sky.gif", folder / "Small.bmp"};
    }
    testing_support::CommandResult Add(const std::string& db, const std::vector<std::string>& pictures, int jobs) {
        std::vector<std::string> args = {"add", db};
        args.insert(args.end(), pictures.begin(), pictures.end());
        for (const char* option : {"--depth", "4", "--compress", "--color-table", "--top-left", "46,6",
                                   "--bottom-right", "45,7", "--jobs"}) {
            args.emplace_back(option);
        }
        args.push_back(std::to_string(jobs));
        return RunCli(args, folder);
    }
    void RemoveBitmapsBeside() {
        for (const char* bitmap : {"Plasma.bmp", "Photo.bmp", "Sky.bmp"}) {
            std::filesystem::remove(folder / bitmap);
        }
    }
    TempFolder folder;
    std::vector<std::string> pictures;
};

}  // namespace

TEST_F(BatchTest, SideBySideGivesTheDatabaseAndMessagesOfOneAfterTheOther) {
    std::filesystem::create_directory(folder / "one");
    std::filesystem::create_directory(folder / "four");
    const auto sequential = Add(folder / "one/Maps.pdb", pictures, 1);
    ASSERT_EQ(sequential.status, 0) << sequential.err;
    RemoveBitmapsBeside();
    const auto parallel = Add(folder / "four/Maps.pdb", pictures, 4);
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    EXPECT_EQ(WithoutDates(ReadFileBytes(folder / "four/Maps.pdb")), WithoutDates(ReadFileBytes(folder / "one/Maps.pdb")));
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(parallel.err, sequential.err);
    EXPECT_NE(parallel.err.find("Wide.bmp: corners from the side file Wide.txt"), std::string::npos) << parallel.err;
    EXPECT_EQ(parallel.err.find('\r'), std::string::npos) << "a progress line where no terminal is";
}

// On a terminal a progress line tells the stage and how far the batch has come,
// then how far the save has, and is gone before the maps are listed; any
// command that saves a database shows its save.
TEST_F(BatchTest, ATerminalSeesProgress) {
    const std::string cli = ShellQuote(std::getenv("PLANDREL_CLI"));
    std::string command = cli + " add " + ShellQuote(folder / "Maps.pdb");
    for (const std::string& picture : pictures) {
        command.append(" ").append(ShellQuote(picture));
    }
    const auto shown = RunShell("script -qfec " + ShellQuote(command + " --depth 4 --compress") + " /dev/null", folder);
    ASSERT_EQ(shown.status, 0) << shown.out;
    const std::string saving = std::string("% saving ").append(folder / "Maps.pdb");
    for (const std::string& seen :
         {std::string("% reading Small.bmp (1 of 6)"), std::string("% converting Plasma.gif (2 of 6)"),
          std::string("% tiling Wide.bmp"), std::string(" 0").append(saving), std::string("100").append(saving)}) {
        EXPECT_NE(shown.out.find(seen), std::string::npos) << seen << " in " << shown.out;
    }
    EXPECT_NE(shown.out.find("\r\033[K" "Small\t64x48"), std::string::npos) << shown.out;

    const std::string save = cli + " save " + ShellQuote(folder / "Maps.pdb") + " " + ShellQuote(folder / "Copy.pdb");
    const auto saved = RunShell("script -qfec " + ShellQuote(save) + " /dev/null", folder);
    ASSERT_EQ(saved.status, 0) << saved.out;
    const std::string copySaved = std::string("100% saving ").append(folder / "Copy.pdb").append("\r\033[K");
    EXPECT_NE(saved.out.find(copySaved), std::string::npos) << saved.out;
}

// The first picture that cannot be added, in the order given, is the one
// told; nothing is saved, and no picture, before or after it, keeps a bitmap
// written beside it.
TEST_F(BatchTest, AFailureSavesNothingAndLeavesNoBitmapBehind) {
    testing_support::WriteFileBytes(folder / "Broken.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    testing_support::WriteFileBytes(folder / "Broken2.png", {0x89, 'P', 'N', 'G'});
    std::vector<std::string> batch = pictures;
    batch.insert(batch.begin() + 2, folder / "Broken.gif");
    batch.push_back(folder / "Broken2.png");
    for (int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        const auto failed = Add(folder / "None.pdb", batch, jobs);
        EXPECT_EQ(failed.status, 1);
        EXPECT_NE(failed.err.find("Cannot read the picture " + folder / "Broken.gif"), std::string::npos) << failed.err;
        EXPECT_EQ(failed.err.find("Broken2.png"), std::string::npos) << failed.err;
        EXPECT_FALSE(std::filesystem::exists(folder / "None.pdb"));
        for (const char* bitmap : {"Plasma.bmp", "Photo.bmp", "Sky.bmp"}) {
            EXPECT_FALSE(std::filesystem::exists(folder / bitmap)) << bitmap;
        }
    }
}

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/Files.h"
#include "support/TempFolder.h"

using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;

TEST(Files, ReadWholeFileRefusesWhatItCannotOrMustNotRead) {
    TempFolder folder;
    const std::string path = folder / "five";
    WriteFileBytes(path, Bytes{1, 2, 3, 4, 5});
    auto read = platform::ReadWholeFile(path, 5);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(platform::ReadWholeFile(path, 4).error().code, EFBIG);
    EXPECT_EQ(platform::ReadWholeFile(folder / "missing", 5).error().message, "No such file or directory");
    EXPECT_EQ(platform::ReadWholeFile(folder.path.string(), 5).error().code, EISDIR);
}

TEST(Files, WriteWholeFileLeavesNoHalfWrittenFile) {
    TempFolder folder;
    const std::string path = folder / "out";
    const Bytes head{1, 2};
    const Bytes tail{3};
    ASSERT_TRUE(platform::WriteWholeFile(path, {head, tail}));
    EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3}));

    auto intoFolder = platform::WriteWholeFile(folder.path.string(), {head});
    ASSERT_FALSE(intoFolder);
    EXPECT_EQ(intoFolder.error().message, "Cannot create the file " + folder.path.string() + ":\nIs a directory");
    auto full = platform::WriteWholeFile("/dev/full", {head});
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error().message, "Cannot write the file /dev/full:\nNo space left on device");
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));

    // A file that is not finished goes again.
    {
        auto file = platform::OutputFile::Create(path);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write(head));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Files, FileNameOfPathDropsTheFolderOfEitherSeparator) {
    EXPECT_EQ(platform::FileNameOfPath("C:\\maps\\a.pdb"), "a.pdb");
    EXPECT_EQ(platform::FileNameOfPath("/maps/a.pdb"), "a.pdb");
    EXPECT_EQ(platform::FileNameOfPath("a.pdb"), "a.pdb");
}

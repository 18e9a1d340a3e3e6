#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Archive.h"

using platform::ArchiveError;
using platform::FileArchive;
using platform::MemoryArchive;

TEST(MemoryArchive, ReadsSequentiallyAndStopsAtTheEnd) {
    MemoryArchive archive({1, 2, 3, 4, 5});
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(archive.Read(buffer, 3), 3u);
    EXPECT_EQ(archive.GetPosition(), 3u);
    EXPECT_EQ(archive.Read(buffer, 4), 2u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(archive.Read(buffer, 4), 0u);
    EXPECT_EQ(archive.GetLength(), 5u);
}

TEST(FileArchive, WritesThenReadsWithPositionLengthAndTitle) {
    auto path = std::filesystem::temp_directory_path() / "plandrel-archive-test.bin";
    {
        FileArchive out(path.string(), FileArchive::Mode::Write);
        out.Write("abcdef", 6);
        EXPECT_EQ(out.GetPosition(), 6u);
        out.Close();
    }
    FileArchive in(path.string(), FileArchive::Mode::Read);
    EXPECT_EQ(in.GetLength(), 6u);
    EXPECT_EQ(in.GetFileTitle(), "plandrel-archive-test.bin");
    char buffer[8] = {};
    EXPECT_EQ(in.Read(buffer, 8), 6u);
    EXPECT_STREQ(buffer, "abcdef");
    std::filesystem::remove(path);
}

TEST(FileArchive, RefusesMissingFilesAndFolders) {
    EXPECT_THROW(FileArchive("/nonexistent/folder/x.pdb", FileArchive::Mode::Read), ArchiveError);
    EXPECT_THROW(FileArchive(std::filesystem::temp_directory_path().string(), FileArchive::Mode::Read), ArchiveError);
}

TEST(FileNameOfPath, DropsTheFolderOfEitherSeparator) {
    EXPECT_EQ(platform::FileNameOfPath("C:\\maps\\Alps.north.pdb"), "Alps.north.pdb");
    EXPECT_EQ(platform::FileNameOfPath("/maps/Road.map.pdb"), "Road.map.pdb");
    EXPECT_EQ(platform::FileNameOfPath("Tiny.pdb"), "Tiny.pdb");
}

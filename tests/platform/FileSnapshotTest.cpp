#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "platform/Archive.h"
#include "platform/FileSnapshot.h"
#include "support/TempFolder.h"

using platform::FileArchive;
using platform::FileSnapshot;
using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    }
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Held(const FileSnapshot& snapshot) {
    return {snapshot.Bytes(), snapshot.Bytes() + snapshot.Size()};
}

// Whether this file system grants this process read leases on its own files.
bool LeasesGranted(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool granted = fd >= 0 && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return granted;
}

// Opening the file to write it without waiting: refused while a lease is held
// (which starts the lease's break), granted once it is given back.
bool OpensForWritingAtOnce(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    EXPECT_EQ(errno, EWOULDBLOCK) << std::strerror(errno);
    return false;
}

class FileSnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(path, original);
        if (!LeasesGranted(path)) {
            GTEST_SKIP() << "the file system of " << folder.path << " grants no leases";
        }
    }

    testing_support::TempFolder folder;
    const std::string path = folder / "maps.pdb";
    const std::vector<std::uint8_t> original = Pattern(3 << 20);
};

}  // namespace

// Another program, or this one, rewriting the file waits while the snapshot is
// copied into memory at the same addresses, and the snapshot keeps its bytes.
TEST_F(FileSnapshotTest, KeepsItsBytesWhenTheFileIsRewritten) {
    const std::string viaShell = "printf other > '" + path + "'";
    for (bool childProcess : {true, false}) {
        WriteBytes(path, original);
        auto snapshot = FileSnapshot::Take(path, 1h);
        ASSERT_TRUE(snapshot);
        const std::uint8_t* address = snapshot->Bytes();
        ASSERT_EQ(Held(*snapshot), original);
        if (childProcess) {
            ASSERT_EQ(std::system(viaShell.c_str()), 0);
        } else {
            WriteBytes(path, {'o', 't', 'h', 'e', 'r'});
        }
        EXPECT_EQ(std::filesystem::file_size(path), 5u);
        EXPECT_EQ(snapshot->Bytes(), address);
        EXPECT_EQ(Held(*snapshot), original) << (childProcess ? "another program" : "this program");
    }
}

TEST_F(FileSnapshotTest, HoldsTheFileUntilItsTimeThenLetsGo) {
    auto held = FileSnapshot::Take(path, 1h);
    ASSERT_TRUE(held);
    EXPECT_FALSE(OpensForWritingAtOnce(path));
    held.reset();
    EXPECT_TRUE(OpensForWritingAtOnce(path));

    auto copied = FileSnapshot::Take(path, 50ms);
    ASSERT_TRUE(copied);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(OpensForWritingAtOnce(path));
    std::filesystem::resize_file(path, 10);
    EXPECT_EQ(Held(*copied), original);
}

// A file another program has open for writing, an empty file or a folder is
// not mapped; an archive reads the file the ordinary way then.
TEST_F(FileSnapshotTest, IsNotTakenOfFilesItCannotHold) {
    {
        std::ofstream writer(path, std::ios::binary | std::ios::app);
        EXPECT_FALSE(FileSnapshot::Take(path, 1h));
        FileArchive archive(path, FileArchive::Mode::Read);
        auto block = archive.ReadBlock(original.size());
        ASSERT_TRUE(block);
        EXPECT_TRUE(std::equal(block->begin(), block->end(), original.begin(), original.end()));
        EXPECT_FALSE(archive.ReadBlock(1));
    }
    WriteBytes(folder / "empty.pdb", {});
    EXPECT_FALSE(FileSnapshot::Take(folder / "empty.pdb", 1h));
    EXPECT_FALSE(FileSnapshot::Take(folder.path.string(), 1h));
    EXPECT_FALSE(FileSnapshot::Take(folder / "missing.pdb", 1h));
}

// Blocks read from a mapped file are views that outlive the archive; changing
// one gives it bytes of its own and leaves the others as they were.
TEST_F(FileSnapshotTest, BlocksViewTheFileAndCopyOnlyToChange) {
    std::optional<platform::ByteBlock> first;
    std::optional<platform::ByteBlock> rest;
    {
        FileArchive archive(path, FileArchive::Mode::Read);
        std::uint8_t head[16];
        ASSERT_EQ(archive.Read(head, sizeof head), sizeof head);
        first = archive.ReadBlock(4096);
        rest = archive.ReadBlock(original.size() - 16 - 4096);
        EXPECT_FALSE(archive.ReadBlock(1));
        ASSERT_TRUE(first && rest);
        EXPECT_EQ(rest->data(), first->data() + 4096);
    }
    platform::ByteBlock changed = *first;
    EXPECT_EQ(changed.data(), first->data());
    changed.Bytes()[0] ^= 0xFF;
    EXPECT_NE(changed.data(), first->data());
    EXPECT_EQ((*first)[0], original[16]);
    EXPECT_EQ(changed[0], original[16] ^ 0xFF);
    EXPECT_TRUE(std::equal(rest->begin(), rest->end(), original.begin() + 16 + 4096, original.end()));
}

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Document.h"
#include "platform/Files.h"

namespace {

// A document whose content is one text.
class TextDocument : public platform::CDocument {
public:
    std::string text;
    bool refuse = false;

    platform::Result<void> OnSaveDocument(const std::string& path) override {
        const platform::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        return SaveFile(path, {&bytes, 1});
    }

protected:
    platform::Result<void> Load(const platform::InputFile& file) override {
        std::vector<std::uint8_t> bytes(file.Size());
        if (auto read = file.ReadAt(0, bytes); !read) {
            return read;
        }
        text.assign(bytes.begin(), bytes.end());
        if (refuse) {
            return platform::Error{"refused"};
        }
        return {};
    }
};

class CountingView : public platform::CView {
public:
    int updates = 0;
    void OnUpdate(platform::CView*) override { ++updates; }
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("plandrel-doc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
};

}  // namespace

TEST_F(DocumentTest, SaveAndOpenSetPathTitleAndClearTheModifiedFlag) {
    TextDocument doc;
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    doc.text = "hello";
    doc.SetModifiedFlag();
    auto path = (folder / "a.pdb").string();
    auto saved = doc.OnSaveDocument(path);
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), "a.pdb");
    EXPECT_EQ(ReadAll(path), "hello");

    TextDocument other;
    ASSERT_TRUE(other.OnOpenDocument(path));
    EXPECT_EQ(other.text, "hello");
    EXPECT_EQ(other.GetPathName(), path);
}

TEST_F(DocumentTest, ARefusedFileLeavesANewUntitledDocument) {
    TextDocument doc;
    auto path = (folder / "a.pdb").string();
    std::ofstream(path) << "x";
    doc.refuse = true;
    auto refused = doc.OnOpenDocument(path);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, "refused");
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_TRUE(doc.GetPathName().empty());
}

TEST_F(DocumentTest, AFileThatCannotBeReadLeavesTheDocumentAsItWas) {
    TextDocument doc;
    doc.text = "mine";
    const auto path = (folder / "mine.pdb").string();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    doc.SetModifiedFlag();
    std::filesystem::create_directory(folder / "dir.pdb");
    for (auto [name, message] : {std::pair{"missing.pdb", "Cannot open missing.pdb: no such file"},
                                 std::pair{"dir.pdb", "Cannot open dir.pdb: it is a folder"}}) {
        auto failed = doc.OnOpenDocument((folder / name).string());
        ASSERT_FALSE(failed) << name;
        EXPECT_EQ(failed.error().message, message);
        EXPECT_EQ(doc.text, "mine");
        EXPECT_EQ(doc.GetPathName(), path);
        EXPECT_TRUE(doc.IsModified());
    }
}

TEST_F(DocumentTest, FailedSavesLeaveTheOldFileAndNoTemporaryFiles) {
    TextDocument doc;
    doc.text = "new";
    std::vector<double> told;
    doc.saveProgress = [&told](double done) { told.push_back(done); };
    auto path = folder / "a.pdb";
    std::ofstream(path) << "old";

    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_FALSE(doc.OnSaveDocument(path.string()));
        EXPECT_EQ(ReadAll(path), "old");
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);

    std::filesystem::create_directory(folder / "dir.pdb");
    auto intoFolder = doc.OnSaveDocument((folder / "dir.pdb").string());
    ASSERT_FALSE(intoFolder);
    EXPECT_EQ(intoFolder.error().message, "Cannot save dir.pdb: it is a folder");
    EXPECT_FALSE(doc.OnSaveDocument((folder / "no" / "such" / "x.pdb").string()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_FALSE(told.empty());
    EXPECT_EQ(std::count(told.begin(), told.end(), 1.0), 0) << "a failed save told as done";
}

// The save tells how much of the file the disk has, a megabyte at a time,
// from 0 to 1; past 64 MiB the writes wait for the disk, and it is told as they go.
TEST_F(DocumentTest, SavesTellHowFarTheyHaveCome) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    for (const std::size_t size : {std::size_t{0}, 5 * kMiB, 70 * kMiB + 3}) {
        TextDocument doc;
        doc.text.assign(size, 'x');
        std::vector<double> told;
        doc.saveProgress = [&told](double done) { told.push_back(done); };
        ASSERT_TRUE(doc.OnSaveDocument((folder / "big.pdb").string()));
        ASSERT_GE(told.size(), std::max<std::size_t>(2, size / kMiB)) << size;
        EXPECT_EQ(told.front(), 0.0) << size;
        EXPECT_EQ(told.back(), 1.0) << size;
        EXPECT_EQ(std::adjacent_find(told.begin(), told.end(), std::greater_equal<>()), told.end()) << size;
    }
}

TEST(Document, UpdateAllViewsSkipsTheSender) {
    TextDocument doc;
    CountingView a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.UpdateAllViews(&a);
    EXPECT_EQ(a.updates, 0);
    EXPECT_EQ(b.updates, 1);
    doc.RemoveView(&b);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(a.updates, 1);
    EXPECT_EQ(b.updates, 1);
}

TEST_F(DocumentTest, ASaveRemovesNoFileButTheOneItsOwnKilledSaveLeft) {
    TextDocument doc;
    doc.text = "new";
    auto path = (folder / "a.pdb").string();
    auto make = [&](const std::string& name) { std::ofstream(folder / name) << "partial"; };
    const std::set<std::string> others = {".a.pdb.Ab12Cd", ".a.pdb.backup", ".a.pdb.Zz99Yy", "a.pdb.plandrel-saving"};
    for (const std::string& name : others) {
        make(name);
    }
    make(".a.pdb.plandrel-saving");  // what a save of a.pdb killed while writing leaves

    ASSERT_TRUE(doc.OnSaveDocument(path));
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    std::set<std::string> expected = others;
    expected.insert("a.pdb");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(ReadAll(path), "new");
}

TEST_F(DocumentTest, SavesWriteTheFileTheUserMeansAndKeepWhatTheUserSetOnIt) {
    namespace fs = std::filesystem;
    TextDocument doc;
    doc.text = "new";
    // A symbolic link stays a link; the file it names gets the database.
    std::ofstream(folder / "real.pdb") << "old";
    fs::create_symlink("real.pdb", folder / "link.pdb");
    ASSERT_TRUE(doc.OnSaveDocument((folder / "link.pdb").string()));
    EXPECT_TRUE(fs::is_symlink(folder / "link.pdb"));
    EXPECT_EQ(ReadAll(folder / "real.pdb"), "new");
    EXPECT_EQ(doc.GetPathName(), (folder / "link.pdb").string());

    // Hard links keep sharing the file; its permissions, owner and group stay.
    std::ofstream(folder / "one.pdb") << "old";
    fs::create_hard_link(folder / "one.pdb", folder / "two.pdb");
    fs::permissions(folder / "one.pdb", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((folder / "one.pdb").c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(doc.OnSaveDocument((folder / "one.pdb").string()));
    EXPECT_EQ(ReadAll(folder / "two.pdb"), "new");
    EXPECT_TRUE(fs::equivalent(folder / "one.pdb", folder / "two.pdb"));
    struct stat info {};
    ASSERT_EQ(::stat((folder / "one.pdb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
        // The same for a file of its own, which the save replaces.
        std::ofstream(folder / "theirs.pdb") << "old";
        ASSERT_EQ(::chown((folder / "theirs.pdb").c_str(), 65534, 65534), 0);
        ASSERT_TRUE(doc.OnSaveDocument((folder / "theirs.pdb").string()));
        ASSERT_EQ(::stat((folder / "theirs.pdb").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
        EXPECT_EQ(ReadAll(folder / "theirs.pdb"), "new");
    }
}

TEST_F(DocumentTest, TellsWhenAnotherProgramChangedItsFile) {
    TextDocument doc;
    doc.text = "mine";
    const auto path = (folder / "a.pdb").string();
    EXPECT_FALSE(doc.ChangedOnDisk());  // no file yet
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.ChangedOnDisk());
    std::ofstream(path, std::ios::app) << " and theirs";
    EXPECT_TRUE(doc.ChangedOnDisk());
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.ChangedOnDisk());
    std::filesystem::remove(path);
    EXPECT_FALSE(doc.ChangedOnDisk());  // saving would only make it again
}

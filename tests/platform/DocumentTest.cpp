#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
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
    platform::Result<void> Load(std::span<const std::uint8_t> file) override {
        text.assign(file.begin(), file.end());
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
    auto missing = doc.OnOpenDocument((folder / "missing.pdb").string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().message, "cannot open " + (folder / "missing.pdb").string() + ": No such file or directory");
}

TEST_F(DocumentTest, FailedSavesLeaveTheOldFileAndNoTemporaryFiles) {
    TextDocument doc;
    doc.text = "new";
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
    EXPECT_EQ(intoFolder.error().message, "cannot write " + (folder / "dir.pdb").string() + ": Is a directory");
    EXPECT_FALSE(doc.OnSaveDocument((folder / "no" / "such" / "x.pdb").string()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
    EXPECT_EQ(ReadAll(path), "old");
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

TEST_F(DocumentTest, ASaveRemovesTemporaryFilesThatKilledSavesLeftButNoOthers) {
    TextDocument doc;
    doc.text = "new";
    auto path = (folder / "a.pdb").string();
    auto make = [&](const std::string& name) { std::ofstream(folder / name) << "partial"; };
    make(".a.pdb.Ab12Cd");                   // left by a killed save of a.pdb
    make(".a.pdb.Zz99Yy");                   // the same, but a save in progress holds it
    make(".a.pdb.toolong");                  // not a temporary name
    make(".b.pdb.Ab12Cd");                   // another file's
    make("a.pdb.Ab12Cd");                    // not hidden
    int held = ::open((folder / ".a.pdb.Zz99Yy").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(doc.OnSaveDocument(path));
    ::close(held);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"a.pdb", ".a.pdb.Zz99Yy", ".a.pdb.toolong", ".b.pdb.Ab12Cd", "a.pdb.Ab12Cd"}));
    EXPECT_EQ(ReadAll(path), "new");
}

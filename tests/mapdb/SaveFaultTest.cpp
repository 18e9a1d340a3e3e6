// Faults while saving a database: a write that fails after any number of
// bytes, a folder that cannot be written, a target that is a folder, and a
// process killed in the middle of a large save. After each, the old file must
// be exactly as it was, no partial file may stand under the target's name, and
// the document in memory must be unchanged and still saveable.
//
// Each fault is also tried on two saves that write in place (truncating the
// target, or removing it first): the checks must catch at least one of them,
// or they would not tell an atomic save from one that loses the old file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "mapdb/PDBDoc.h"
#include "platform/Files.h"
#include "support/TempFolder.h"

using namespace mapdb;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

enum class Saving { Atomic, InPlace, RemoveFirst };

// The document's own save, or one that writes the same bytes in place.
bool Save(Saving way, CPDBDoc& doc, const std::string& path, std::string& error) {
    platform::Result<void> saved;
    if (way == Saving::Atomic) {
        saved = doc.OnSaveDocument(path);
    } else {
        if (way == Saving::RemoveFirst) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
        auto file = doc.WriteDatabase(platform::FileNameOfPath(path));
        saved = file ? platform::WriteWholeFile(path, {file->Bytes()}) : file.error();
    }
    if (!saved) {
        error = saved.error().message;
    }
    return saved.has_value();
}

// Everything a save could change in a document: header, entries, maps, in order.
Bytes State(const CPDBDoc& doc) {
    Bytes state;
    platform::ByteWriter out(state, platform::Endian::kBig);
    DatabaseHeader::Fields(out, doc.GetHeader());
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        RecordEntry::Fields(out, doc.GetEntry(i));
        WriteMapRecord(out, doc.GetMap(i));
    }
    return state;
}

MapRecord Map(const std::string& name, std::uint16_t height, std::int32_t top, Bytes data) {
    MapRecord map;
    map.SetName(name);
    map.width = 16;
    map.height = height;
    map.rowBytes = static_cast<std::uint16_t>(data.size() / height);
    map.pixelSize = 1;
    map.topLeftLat = top;
    map.data = std::move(data);
    return map;
}

// Three maps out of scale order, so that a save sorts them, dated 42.
void FillSmall(CPDBDoc& doc) {
    doc.SetClock([] { return 42u; });
    doc.OnNewDocument();
    doc.AddMap(Map("Street", 4, 1000, Bytes(8, 0xAB)), RecordEntry{0, 1, {1, 2, 3}});
    doc.AddMap(Map("Region", 2, 36000, Bytes{1, 2, 3, 4}), RecordEntry{0, 2, {}});
    doc.AddMap(Map("Town", 3, 9000, Bytes{9, 8, 7, 6, 5, 4}), RecordEntry{0, 3, {}});
    doc.SetClock([] { return 43u; });
}

// The files in a folder other than the given ones.
std::vector<std::string> Others(const fs::path& folder, const std::vector<std::string>& expected) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            others.push_back(name);
        }
    }
    return others;
}

// Runs `body` in a child process and returns what it returned ("" when all
// was well), or why the child did not finish.
std::string InChild(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return "no pipe";
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        std::string result = body();
        ssize_t written = ::write(channel[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result += " (the child process did not finish)";
    }
    return result;
}

void SetFileSizeLimit(rlim_t bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

class SaveFaultTest : public ::testing::Test {
protected:
    SaveFaultTest() {
        FillSmall(doc);
        CPDBDoc old;
        old.SetClock([] { return 7u; });
        old.OnNewDocument();
        old.AddMap(Map("Old", 2, 500, Bytes{5, 5, 5, 5}), RecordEntry{});
        EXPECT_TRUE(old.OnSaveDocument(folder / "maps.pdb"));
        oldBytes = ReadFileBytes(folder / "maps.pdb");
        // What a complete save of the document writes.
        CPDBDoc copy = doc;
        newBytes = copy.WriteDatabase("maps.pdb")->Bytes();
    }

    // A write that fails after n bytes: the file-size limit of a child process,
    // which holds for root as for anyone.
    std::string FailAfter(Saving way, std::size_t n) {
        const std::string path = folder / "maps.pdb";
        WriteFileBytes(path, oldBytes);
        return InChild([&]() -> std::string {
            std::signal(SIGXFSZ, SIG_IGN);
            SetFileSizeLimit(n);
            const Bytes before = State(doc);
            std::string error;
            if (Save(way, doc, path, error)) {
                return "the save succeeded";
            }
            std::string problems;
            if (ReadFileBytes(path) != oldBytes) {
                problems += "the old file changed; ";
            }
            if (!Others(folder.path, {"maps.pdb"}).empty()) {
                problems += "a file was left beside it; ";
            }
            if (State(doc) != before) {
                problems += "the document changed; ";
            }
            SetFileSizeLimit(RLIM_INFINITY);
            if (!Save(way, doc, path, error) || ReadFileBytes(path) != newBytes) {
                problems += "the document cannot be saved again: " + error;
            }
            return problems;
        });
    }

    // A file the user nobody may write, in a folder that it may write or not,
    // saved by nobody: the save must rewrite the file in place, keeping its
    // owner, since a new file would belong to nobody (or could not be made).
    // Root writes anywhere, so the child that saves gives up root.
    std::string SaveAsNobody(bool writableFolder) {
        const fs::path shared = folder.path / (writableFolder ? "open" : "locked");
        fs::create_directory(shared);
        const std::string path = (shared / "maps.pdb").string();
        WriteFileBytes(path, oldBytes);
        const fs::perms readWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
        fs::permissions(path, readWrite);
        const fs::perms readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(shared, writableFolder ? fs::perms::all : readable);
        fs::permissions(folder.path, readable | fs::perms::owner_write);
        struct stat before {};
        ::stat(path.c_str(), &before);
        std::string result = InChild([&]() -> std::string {
            constexpr uid_t kNobody = 65534;
            if (::geteuid() == 0 && (::setresgid(kNobody, kNobody, kNobody) != 0 ||
                                     ::setresuid(kNobody, kNobody, kNobody) != 0)) {
                return "skip: cannot give up root";
            }
            if (::geteuid() == before.st_uid) {
                return "skip: the file already belongs to the user who saves";
            }
            std::string error;
            return Save(Saving::Atomic, doc, path, error) ? "" : "the save failed: " + error;
        });
        if (ReadFileBytes(path) != newBytes) {
            result += "the file does not hold the database; ";
        }
        struct stat after {};
        if (::stat(path.c_str(), &after) != 0 || after.st_uid != before.st_uid || after.st_ino != before.st_ino) {
            result += "the file was replaced; ";
        }
        if (!Others(shared, {"maps.pdb"}).empty()) {
            result += "a file was left beside it; ";
        }
        fs::permissions(shared, fs::perms::owner_all);
        return result;
    }

    // Targets that are folders, empty or not.
    std::string TargetIsAFolder(Saving way) {
        const fs::path scratch = folder.path / ("targets-" + std::to_string(++round));
        fs::create_directory(scratch);
        fs::create_directory(scratch / "empty.pdb");
        fs::create_directory(scratch / "full.pdb");
        std::ofstream(scratch / "full.pdb" / "keep.txt") << "keep";
        std::string problems;
        for (const char* name : {"empty.pdb", "full.pdb"}) {
            const Bytes before = State(doc);
            std::string error;
            if (Save(way, doc, (scratch / name).string(), error)) {
                problems += std::string("the save over ") + name + " succeeded; ";
            }
            if (State(doc) != before) {
                problems += "the document changed; ";
            }
        }
        const fs::path empty = scratch / "empty.pdb";
        const fs::path full = scratch / "full.pdb";
        if (!fs::is_directory(empty) || !fs::is_empty(empty) || !fs::is_directory(full) ||
            !Others(full, {"keep.txt"}).empty() || !fs::exists(full / "keep.txt")) {
            problems += "a folder changed; ";
        }
        if (!Others(scratch, {"empty.pdb", "full.pdb"}).empty()) {
            problems += "a file was left beside them; ";
        }
        std::string error;
        const std::string elsewhere = (scratch / "maps.pdb").string();
        if (!Save(way, doc, elsewhere, error) || ReadFileBytes(elsewhere) != newBytes) {
            problems += "the document cannot be saved again: " + error;
        }
        return problems;
    }

    TempFolder folder;
    CPDBDoc doc;
    Bytes oldBytes;
    Bytes newBytes;
    int round = 0;
};

}  // namespace

TEST_F(SaveFaultTest, AWriteFailingAfterAnyNumberOfBytesLeavesTheOldFile) {
    ASSERT_GT(newBytes.size(), 100u);
    for (std::size_t n = 0; n < newBytes.size(); ++n) {
        EXPECT_EQ(FailAfter(Saving::Atomic, n), "") << "after " << n << " bytes";
    }
    EXPECT_EQ(ReadFileBytes(folder / "maps.pdb"), newBytes);
}

TEST_F(SaveFaultTest, AFileANewOneCouldNotStandForIsRewrittenInPlace) {
    for (bool writableFolder : {false, true}) {
        std::string problems = SaveAsNobody(writableFolder);
        if (problems.rfind("skip:", 0) == 0) {
            GTEST_SKIP() << problems;
        }
        EXPECT_EQ(problems, "") << (writableFolder ? "a file of another owner" : "a folder that cannot be written");
    }
}

TEST_F(SaveFaultTest, ATargetThatIsAFolderIsLeftAlone) {
    EXPECT_EQ(TargetIsAFolder(Saving::Atomic), "");
}

TEST_F(SaveFaultTest, TheChecksCatchSavesThatWriteInPlace) {
    for (std::size_t n : {std::size_t{0}, std::size_t{50}, newBytes.size() - 1}) {
        EXPECT_NE(FailAfter(Saving::InPlace, n), "") << n;
        EXPECT_NE(FailAfter(Saving::RemoveFirst, n), "") << n;
    }
    EXPECT_NE(TargetIsAFolder(Saving::RemoveFirst), "");
}

// ---------------------------------------------------------------- killed saves

namespace {

// The size of the file at `path`, 0 when there is none.
std::int64_t SizeOf(const fs::path& path) {
    std::error_code error;
    auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

// How far a save of the target has got: the size of the temporary file it writes beside it.
std::int64_t TemporaryBytes(const std::string& target) {
    const fs::path path(target);
    // Built in steps: `"." + string` trips a false -Wrestrict in GCC 12.
    std::string prefix(1, '.');
    prefix += path.filename().string();
    prefix += '.';
    std::int64_t largest = 0;
    for (const auto& entry : fs::directory_iterator(path.parent_path())) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            largest = std::max(largest, SizeOf(entry.path()));
        }
    }
    return largest;
}

// The whole file, read in one piece (the tests read 60 MB files many times).
Bytes ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes(static_cast<std::size_t>(fs::file_size(path)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// A database of about 60 MB: 1000 maps of 256 x 240 pixels at 8 bits, of
// noise that no two maps share.
void FillLarge(CPDBDoc& doc, int maps = 1000) {
    doc.SetClock([] { return 7u; });
    doc.OnNewDocument();
    std::minstd_rand random(99);
    Bytes noise(256 * 240);
    for (std::size_t k = 0; k < noise.size(); k += 4) {
        std::uint32_t value = static_cast<std::uint32_t>(random());
        std::memcpy(&noise[k], &value, 4);
    }
    for (int i = 0; i < maps; ++i) {
        MapRecord map;
        map.SetName("Tile" + std::to_string(i));
        map.width = 256;
        map.height = 240;
        map.rowBytes = 256;
        map.pixelSize = 8;
        map.topLeftLat = 100000 + i;
        std::rotate(noise.begin(), noise.begin() + 4099, noise.end());
        map.data = noise;
        doc.AddMap(std::move(map), RecordEntry{});
    }
}

// Starts a save, kills it with SIGKILL once `written` says it has written
// `fraction` of the file (or at once for 0), and reports whether it was still
// writing then: `written` read after the kill is neither 0 nor the whole file.
struct Kill {
    bool midWrite = false;
    bool finished = false;
};

Kill KillWhenWritten(const std::function<pid_t()>& start, double fraction, std::size_t fileSize,
                     const std::function<std::int64_t()>& written) {
    pid_t pid = start();
    auto target = static_cast<std::int64_t>(fraction * static_cast<double>(fileSize));
    Kill kill;
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (fraction > 0 && std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            kill.finished = true;
            return kill;
        }
        if (written() >= target) {
            break;
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    kill.finished = WIFEXITED(status);
    const std::int64_t left = written();
    kill.midWrite = !kill.finished && left > 0 && left < static_cast<std::int64_t>(fileSize);
    return kill;
}

// Whether the file under the target's name is the old one, or a complete save
// of the same maps (a kill that came after the rename).
std::string CheckTarget(const std::string& path, const Bytes& old) {
    Bytes now = ReadWhole(path);
    if (now == old) {
        return "";
    }
    if (now.size() != old.size() ||
        std::memcmp(now.data() + kHeaderSize, old.data() + kHeaderSize, now.size() - kHeaderSize) != 0) {
        return "a partial or different file stands under the target's name";
    }
    CPDBDoc reread;
    return reread.ReadDatabase(now) ? "" : "the file under the target's name cannot be read";
}

// Kills saves of the large database at several moments and checks the target
// after each; counts the kills that came while the save was writing.
std::string KillSaves(const std::function<pid_t()>& start, const std::function<std::int64_t()>& written,
                      const std::string& path, int& midWrites) {
    std::string problems;
    midWrites = 0;
    for (double fraction : {0.0, 0.05, 0.25, 0.5, 0.75, 0.95, 1.0}) {
        Bytes old = ReadWhole(path);
        Kill kill = KillWhenWritten(start, fraction, old.size(), written);
        midWrites += kill.midWrite ? 1 : 0;
        std::string problem = CheckTarget(path, old);
        if (!problem.empty()) {
            problems += problem + " after a kill at " + std::to_string(fraction) + "; ";
        }
    }
    return problems;
}

pid_t StartCli(const std::vector<std::string>& args) {
    const char* cli = std::getenv("PLANDREL_CLI");
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        std::string program = cli != nullptr ? cli : "plandrel";
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

TEST(KilledSave, TheOldFileSurvivesAndTheNextSaveClearsTheLeftovers) {
    TempFolder folder;
    const std::string path = folder / "big.pdb";
    {
        CPDBDoc doc;
        FillLarge(doc);
        ASSERT_TRUE(doc.OnSaveDocument(path));
    }
    ASSERT_GT(fs::file_size(path), 60'000'000u);

    int midWrites = 0;
    EXPECT_EQ(KillSaves([&] { return StartCli({"save", path}); }, [&] { return TemporaryBytes(path); }, path, midWrites),
              "");
    EXPECT_GE(midWrites, 3) << "too few kills came while the save was writing";

    // A killed save leaves its temporary file; the next save removes it.
    pid_t pid = StartCli({"save", path});
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Others(folder.path, {"big.pdb"}), std::vector<std::string>{});
    CPDBDoc reread;
    ASSERT_TRUE(reread.OnOpenDocument(path));
    EXPECT_EQ(reread.GetMapCount(), 1000);
}

TEST(KilledSave, TheChecksCatchASaveThatWritesInPlace) {
    TempFolder folder;
    const std::string path = folder / "big.pdb";
    CPDBDoc doc;
    FillLarge(doc, 300);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::int64_t full = SizeOf(path);
    bool truncated = false;
    auto start = [&] {
        truncated = false;
        pid_t pid = ::fork();
        if (pid == 0) {
            std::string ignored;
            Save(Saving::InPlace, doc, path, ignored);
            ::_exit(0);
        }
        return pid;
    };
    // The target itself, once the save has truncated it.
    auto written = [&] {
        const std::int64_t size = SizeOf(path);
        truncated = truncated || size < full;
        return truncated ? size : 0;
    };
    int midWrites = 0;
    std::string problems = KillSaves(start, written, path, midWrites);
    if (midWrites > 0) {
        EXPECT_NE(problems, "");
    }
}

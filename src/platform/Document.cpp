#include "Document.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <utility>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Files.h"

namespace platform {

namespace {

// Larger files are refused: no document of this program comes near (a maps
// database addresses its records in 32 bits).
constexpr std::uint64_t kMaxDocumentBytes = std::uint64_t{1} << 33;

std::string FolderOfPath(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Temporary files are named ".NAME.XXXXXX" beside the target NAME.
std::string TemporaryPrefix(const std::string& target) {
    std::string prefix(1, '.');
    prefix += FileNameOfPath(target);
    prefix += '.';
    return prefix;
}

constexpr std::size_t kTemporarySuffixLength = 6;

// A temporary file beside the target, removed unless it is committed. While
// it exists its creator holds an exclusive lock on it, which the system
// releases when the process ends, however it ends: a temporary file that
// nobody holds was left by a save that was killed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        std::string pattern = FolderOfPath(target) + "/" + TemporaryPrefix(target) + "XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = ::mkstemp(name.data());
        if (fd < 0) {
            error = errno;
            return;
        }
        path = name.data();
        ::flock(fd, LOCK_EX | LOCK_NB);
        // Keep the permissions an existing target has, or the usual ones for a new file.
        struct stat info {};
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode_t mode = ::stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : (0666 & ~mask);
        ::fchmod(fd, mode);
    }
    ~TemporaryFile() {
        if (fd >= 0) {
            ::unlink(path.c_str());
            ::close(fd);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Writes the parts, makes them durable and puts the file under the
    // target's name; the system's error number of the step that failed, or 0.
    int CommitAs(std::span<const ByteSpan> parts, const std::string& target) {
        if (fd < 0) {
            return error;
        }
        // Written a piece at a time, each handed to the disk at once: the final
        // fsync then waits only for the last piece.
        std::uint64_t written = 0;
        for (std::size_t first = 0; first < parts.size();) {
            std::size_t last = first;
            std::uint64_t piece = 0;
            while (last < parts.size() && piece < kWritePiece) {
                piece += parts[last++].size();
            }
            if (auto result = WriteAll(fd, parts.subspan(first, last - first)); !result) {
                return result.error().code;
            }
            ::sync_file_range(fd, static_cast<off_t>(written), static_cast<off_t>(piece), SYNC_FILE_RANGE_WRITE);
            written += piece;
            first = last;
        }
        if (::fsync(fd) != 0 || ::close(std::exchange(fd, -1)) != 0) {
            return errno;
        }
        if (::rename(path.c_str(), target.c_str()) != 0) {
            int renameError = errno;
            ::unlink(path.c_str());
            return renameError;
        }
        SyncFolder(target);
        return 0;
    }

private:
    static void SyncFolder(const std::string& target) {
        int folder = ::open(FolderOfPath(target).c_str(), O_RDONLY | O_DIRECTORY);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }

    std::string path;
    int fd = -1;
    int error = 0;
};

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kTemporarySuffixLength || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes the temporary files that killed saves of the target left beside it:
// those whose lock nobody holds. A save in progress keeps its own.
void RemoveAbandonedTemporaryFiles(const std::string& target) {
    const std::string folder = FolderOfPath(target);
    const std::string prefix = TemporaryPrefix(target);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!IsTemporaryName(name, prefix)) {
            continue;
        }
        const std::string path = folder + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
}

}  // namespace

void CDocument::SetPathName(const std::string& path) {
    pathName = path;
    title = FileNameOfPath(path);
}

void CDocument::AddView(CView* view) {
    views.push_back(view);
}

void CDocument::RemoveView(CView* view) {
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

void CDocument::UpdateAllViews(CView* sender) {
    for (CView* view : views) {
        if (view != sender) {
            view->OnUpdate(sender);
        }
    }
}

bool CDocument::OnNewDocument() {
    pathName.clear();
    title = kUntitled;
    modified = false;
    return true;
}

Result<void> CDocument::OnOpenDocument(const std::string& path) {
    Result<std::vector<std::uint8_t>> file = ReadWholeFile(path, kMaxDocumentBytes);
    Result<void> loaded = file ? Load(*file) : Error{"cannot open " + path + ": " + file.error().message};
    if (!loaded) {
        OnNewDocument();
        return loaded;
    }
    SetPathName(path);
    modified = false;
    return {};
}

Result<void> CDocument::SaveFile(const std::string& path, std::span<const ByteSpan> parts) {
    struct stat info {};
    int error = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error == 0) {
        RemoveAbandonedTemporaryFiles(path);
        error = TemporaryFile(path).CommitAs(parts, path);
    }
    if (error != 0) {
        return Error{"cannot write " + path + ": " + std::strerror(error)};
    }
    SetPathName(path);
    modified = false;
    return {};
}

}  // namespace platform

#include "Document.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Larger files are refused: no document of this program comes near (a maps
// database addresses its records in 32 bits).
constexpr std::uint64_t kMaxDocumentBytes = std::uint64_t{1} << 33;

// What Replace answers when the file cannot be replaced without changing more
// than its content.
constexpr int kRewriteInPlace = -1;

std::string FolderOfPath(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name of the file a save of `target` writes before renaming it into
// place: unmistakably this program's, and one per database, so that a save
// killed while writing leaves at most this one file, which the next save of
// the database removes.
std::string SavingName(const std::string& target) {
    std::string name = FolderOfPath(target);
    name += "/.";
    name += FileNameOfPath(target);
    name += ".plandrel-saving";
    return name;
}

// How far the disk may be behind the writes: enough to keep it busy (400 MB
// saved as fast as without waiting), little enough that the progress told is
// the disk's and the final fsync waits for little.
constexpr std::uint64_t kDiskLag = std::uint64_t{64} << 20;

using Progress = std::function<void(double done)>;

std::uint64_t TotalSize(std::span<const ByteSpan> parts) {
    std::uint64_t total = 0;
    for (ByteSpan part : parts) {
        total += part.size();
    }
    return total;
}

// Waits until the disk has the bytes from `begin` to `end`. The system's error
// number, or 0; a device that keeps no such bytes (a terminal, a pipe) has
// nothing to wait for. An error must be taken from here: the wait reports it
// instead of the fsync that follows.
int WaitForDisk(int fd, std::uint64_t begin, std::uint64_t end) {
    constexpr unsigned kFlags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(fd, static_cast<off_t>(begin), static_cast<off_t>(end - begin), kFlags) != 0 &&
        errno != ESPIPE) {
        return errno;
    }
    return 0;
}

// Writes the parts a piece at a time, each handed to the disk at once, and
// waits for the disk wherever it falls kDiskLag behind, so that the final
// fsync waits for little. `told` hears what share of the file the disk has,
// short of all of it. The system's error number, or 0.
int WritePieces(int fd, std::span<const ByteSpan> parts, const Progress& told) {
    const std::uint64_t total = TotalSize(parts);
    std::uint64_t written = 0;
    std::uint64_t onDisk = 0;
    auto waitUntil = [&](std::uint64_t end) {
        while (onDisk < end) {
            const std::uint64_t next = std::min<std::uint64_t>(end, onDisk + kWritePiece);
            if (int error = WaitForDisk(fd, onDisk, next); error != 0) {
                return error;
            }
            onDisk = next;
            if (told && onDisk < total) {
                told(static_cast<double>(onDisk) / static_cast<double>(total));
            }
        }
        return 0;
    };
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
        if (written > kDiskLag) {
            if (int error = waitUntil(written - kDiskLag); error != 0) {
                return error;
            }
        }
    }
    return waitUntil(written);
}

void SyncFolder(const std::string& target) {
    int folder = ::open(FolderOfPath(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

// Writes a new file beside `target` and renames it into its place, with the
// owner, group and permissions of the file it replaces (`old`, or none for a
// new file). kRewriteInPlace when the new file cannot have them, or the folder
// cannot be written; otherwise the system's error number, or 0.
int Replace(const std::string& target, std::span<const ByteSpan> parts, const struct stat* old, const Progress& told) {
    const std::string saving = SavingName(target);
    ::unlink(saving.c_str());
    const int fd = ::open(saving.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return old != nullptr && (errno == EACCES || errno == EPERM) ? kRewriteInPlace : errno;
    }
    int error = 0;
    if (old != nullptr) {
        // The owner first: giving one can clear the permission bits it set.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0 || ::fchmod(fd, old->st_mode & 07777) != 0) {
            error = kRewriteInPlace;
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (error == 0) {
        error = WritePieces(fd, parts, told);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(saving.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(saving.c_str());
        return error;
    }
    SyncFolder(target);
    return 0;
}

// Writes the parts over the file itself, then cuts it to their length: for a
// file that a new one cannot replace without changing more than the content.
int RewriteInPlace(const std::string& target, std::span<const ByteSpan> parts, bool regular, const Progress& told) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = WritePieces(fd, parts, told);
    if (error == 0 && regular && (::ftruncate(fd, static_cast<off_t>(TotalSize(parts))) != 0 || ::fsync(fd) != 0)) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

Error CannotOpen(const std::string& path, int code) {
    return Error{"Cannot open " + FileNameOfPath(path) + ": " + ReasonInWords(code), "", code};
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

void CDocument::SetModifiedFlag(bool isModified) {
    if (modified == isModified) {
        return;
    }
    modified = isModified;
    if (modifiedChanged) {
        modifiedChanged(modified);
    }
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
    SetModifiedFlag(false);
    onDisk.reset();
    return true;
}

Result<void> CDocument::OnOpenDocument(const std::string& path) {
    Result<InputFile> file = InputFile::Open(path);
    if (!file) {
        return CannotOpen(path, file.error().code);
    }
    if (file->Size() > kMaxDocumentBytes) {
        return CannotOpen(path, EFBIG);
    }
    if (Result<void> loaded = Load(*file); !loaded) {
        if (loaded.error().code != 0) {
            return CannotOpen(path, loaded.error().code);
        }
        OnNewDocument();
        return loaded;
    }
    SetPathName(path);
    SetModifiedFlag(false);
    onDisk = file->Identity();
    return {};
}

Result<void> CDocument::SaveFile(const std::string& path, std::span<const ByteSpan> parts) {
    const std::string target = ResolveLinks(path);
    if (saveProgress) {
        saveProgress(0.0);
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    int error = 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = EISDIR;
    } else if (exists && (!S_ISREG(old.st_mode) || old.st_nlink > 1)) {
        // Another name shares the file, or it is no regular file: a new file would part them.
        error = RewriteInPlace(target, parts, S_ISREG(old.st_mode), saveProgress);
    } else {
        error = Replace(target, parts, exists ? &old : nullptr, saveProgress);
        if (error == kRewriteInPlace) {
            error = RewriteInPlace(target, parts, true, saveProgress);
        }
    }
    if (error != 0) {
        return Error{"Cannot save " + FileNameOfPath(path) + ": " + ReasonInWords(error), "", error};
    }
    if (saveProgress) {
        saveProgress(1.0);
    }
    SetPathName(path);
    SetModifiedFlag(false);
    onDisk = IdentityOf(target);
    return {};
}

bool CDocument::ChangedOnDisk() const {
    if (pathName.empty() || !onDisk) {
        return false;
    }
    std::optional<FileIdentity> now = IdentityOf(pathName);
    return now && *now != *onDisk;
}

}  // namespace platform

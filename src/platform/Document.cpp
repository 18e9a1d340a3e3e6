#include "Document.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string FolderOfPath(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A temporary file beside the target, removed unless it is committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        std::string pattern = FolderOfPath(target) + "/." + FileNameOfPath(target) + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = ::mkstemp(name.data());
        if (fd < 0) {
            throw ArchiveError("cannot write " + target + ": " + std::strerror(errno));
        }
        ::close(fd);
        path = name.data();
        // Keep the permissions an existing target has, or the usual ones for a new file.
        struct stat info {};
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode_t mode = ::stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : (0666 & ~mask);
        ::chmod(path.c_str(), mode);
    }
    ~TemporaryFile() {
        if (!committed) {
            ::unlink(path.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path; }

    void CommitAs(const std::string& target) {
        if (::rename(path.c_str(), target.c_str()) != 0) {
            throw ArchiveError("cannot write " + target + ": " + std::strerror(errno));
        }
        committed = true;
        SyncFolder(target);
    }

private:
    static void SyncFolder(const std::string& target) {
        int fd = ::open(FolderOfPath(target).c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    std::string path;
    bool committed = false;
};

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

bool CDocument::OnOpenDocument(const std::string& path, std::string& error) {
    try {
        FileArchive archive(path, FileArchive::Mode::Read);
        if (!Load(archive)) {
            error = "unexpected file format: " + path;
            OnNewDocument();
            return false;
        }
    } catch (const ArchiveError& failure) {
        error = failure.what();
        OnNewDocument();
        return false;
    }
    SetPathName(path);
    modified = false;
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = "cannot write " + path + ": " + std::strerror(EISDIR);
        return false;
    }
    try {
        TemporaryFile temporary(path);
        {
            FileArchive archive(temporary.Path(), FileArchive::Mode::Write);
            archive.SetFileTitle(FileNameOfPath(path));
            Store(archive);
            archive.Flush();
            archive.Close();
        }
        temporary.CommitAs(path);
    } catch (const ArchiveError& failure) {
        error = failure.what();
        return false;
    }
    SetPathName(path);
    modified = false;
    return true;
}

bool CDocument::SaveThrough(CArchive& archive, std::string& error) {
    try {
        Store(archive);
        archive.Flush();
    } catch (const ArchiveError& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

}  // namespace platform

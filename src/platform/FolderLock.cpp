#include "FolderLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "Files.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FolderLocks::FolderLocks(std::initializer_list<std::string> paths, Mode mode) {
    struct Folder {
        dev_t device;
        ino_t inode;
        int fd;
    };
    std::vector<Folder> opened;
    for (const std::string& path : paths) {
        const int fd = ::open(FolderOf(ResolveLinks(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0) {
            continue;
        }
        if (::fstat(fd, &info) != 0) {
            ::close(fd);
            continue;
        }
        opened.push_back({info.st_dev, info.st_ino, fd});
    }
    std::sort(opened.begin(), opened.end(), [](const Folder& a, const Folder& b) {
        return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
    });
    for (std::size_t i = 0; i < opened.size(); ++i) {
        const bool repeated = i > 0 && opened[i].device == opened[i - 1].device && opened[i].inode == opened[i - 1].inode;
        if (repeated) {
            ::close(opened[i].fd);
            continue;
        }
        while (::flock(opened[i].fd, mode == Mode::kExclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
        }
        folders.push_back(opened[i].fd);
    }
}

FolderLocks::~FolderLocks() {
    for (int fd : folders) {
        ::close(fd);
    }
}

}  // namespace platform

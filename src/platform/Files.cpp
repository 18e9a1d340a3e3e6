#include "Files.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <climits>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd; }

private:
    int fd;
};

}  // namespace

std::string FileNameOfPath(const std::string& path) {
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Error SystemError(int code) {
    return {std::strerror(code), "", code};
}

std::string ReasonInWords(int code) {
    switch (code) {
    case ENOENT: return "no such file";
    case ENOTDIR: return "no such folder";
    case EACCES:
    case EPERM: return "permission denied";
    case EISDIR: return "it is a folder";
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is used up";
    case EROFS: return "the disk is read-only";
    case EFBIG: return "the file is too large";
    case EIO: return "the disk could not be read or written";
    case ENOMEM: return "there is not enough memory";
    case ENAMETOOLONG: return "the name is too long";
    case ELOOP: return "too many symbolic links";
    default: {
        std::string words = std::strerror(code);
        if (!words.empty()) {
            words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
        }
        return words;
    }
    }
}

std::string ResolveLinks(const std::string& path) {
    std::string resolved = path;
    // As many links as the system itself follows.
    for (int followed = 0; followed < 40; ++followed) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return resolved;
        }
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const ssize_t length = ::readlink(resolved.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            return resolved;
        }
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.empty()) {
            return resolved;
        }
        if (next.front() != '/') {
            // Relative to the folder that holds the link.
            const auto slash = resolved.find_last_of('/');
            next = (slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1)) + next;
        }
        resolved = next;
    }
    return resolved;
}

namespace {

FileIdentity IdentityFrom(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
            static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return IdentityFrom(info);
}

Error FileError(const std::string& action, const std::string& path, const Error& reason) {
    return {action + " the file " + path + ":\n" + reason.message, "", reason.code};
}

Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::uint64_t limit) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        return SystemError(errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        return SystemError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return SystemError(EISDIR);
    }
    if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limit) {
        return SystemError(EFBIG);
    }
    try {
        // A regular file in one read of its size; whatever it gains meanwhile,
        // and anything else (a pipe, a device), in pieces.
        std::vector<std::uint8_t> bytes(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0);
        std::size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return SystemError(errno);
            }
            if (got == 0) {
                bytes.resize(filled);  // cut short since its size was taken
                return bytes;
            }
            filled += static_cast<std::size_t>(got);
        }
        std::uint8_t piece[65536];
        for (;;) {
            const ssize_t got = ::read(file.Get(), piece, sizeof piece);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return SystemError(errno);
            }
            if (got == 0) {
                return bytes;
            }
            if (bytes.size() + static_cast<std::size_t>(got) > limit) {
                return SystemError(EFBIG);
            }
            bytes.insert(bytes.end(), piece, piece + got);
        }
    } catch (const std::bad_alloc&) {
        return SystemError(ENOMEM);
    }
}

Result<InputFile> InputFile::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return SystemError(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        return SystemError(error);
    }
    return InputFile(fd, IdentityFrom(info));
}

InputFile::InputFile(InputFile&& other) noexcept : fd(std::exchange(other.fd, -1)), identity(other.identity) {}

InputFile::~InputFile() {
    if (fd >= 0) {
        ::close(fd);
    }
}

Result<void> InputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    while (!out.empty()) {
        const ssize_t got = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return SystemError(got < 0 ? errno : EIO);
        }
        out = out.subspan(static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    return {};
}

Result<void> WriteAll(int fd, ByteSpan bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), std::min(bytes.size(), kWritePiece));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError(errno);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

Result<void> WriteAll(int fd, std::span<const ByteSpan> parts) {
    // As many parts at a time as one call takes; a call that writes only some
    // of them goes on from the byte where it stopped.
    std::vector<iovec> pieces;
    for (std::size_t first = 0; first < parts.size();) {
        const std::size_t count = std::min<std::size_t>(parts.size() - first, IOV_MAX);
        pieces.clear();
        for (ByteSpan part : parts.subspan(first, count)) {
            pieces.push_back({const_cast<std::uint8_t*>(part.data()), part.size()});
        }
        first += count;
        iovec* next = pieces.data();
        iovec* const end = next + pieces.size();
        while (next != end) {
            const ssize_t written = ::writev(fd, next, static_cast<int>(end - next));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0) {
                return SystemError(errno);
            }
            // Past the parts written whole, into the one written in part.
            auto left = static_cast<std::size_t>(written);
            for (; next != end && left >= next->iov_len; ++next) {
                left -= next->iov_len;
            }
            if (next != end) {
                next->iov_base = static_cast<std::uint8_t*>(next->iov_base) + left;
                next->iov_len -= left;
            }
        }
    }
    return {};
}

Result<OutputFile> OutputFile::Open(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        return SystemError(errno);
    }
    struct stat info {};
    return OutputFile(path, fd, ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode));
}

Result<OutputFile> OutputFile::Create(const std::string& path) {
    return Open(path, O_TRUNC);
}

Result<OutputFile> OutputFile::CreateNew(const std::string& path) {
    return Open(path, O_EXCL);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path(std::move(other.path)), fd(std::exchange(other.fd, -1)), regular(other.regular) {}

OutputFile::~OutputFile() {
    if (fd >= 0) {
        ::close(fd);
        if (regular) {
            ::unlink(path.c_str());
        }
    }
}

Result<void> OutputFile::Write(ByteSpan bytes) {
    return WriteAll(fd, bytes);
}

Result<void> OutputFile::Finish() {
    // The close reports what the last writes met.
    if (::close(std::exchange(fd, -1)) != 0) {
        const int error = errno;
        if (regular) {
            ::unlink(path.c_str());
        }
        return SystemError(error);
    }
    return {};
}

Result<void> WriteWholeFile(const std::string& path, std::initializer_list<ByteSpan> parts) {
    Result<OutputFile> file = OutputFile::Create(path);
    if (!file) {
        return FileError("Cannot create", path, file.error());
    }
    Result<void> written;
    for (ByteSpan part : parts) {
        if (written) {
            written = file->Write(part);
        }
    }
    if (written) {
        written = file->Finish();
    }
    return written ? written : FileError("Cannot write", path, written.error());
}

}  // namespace platform

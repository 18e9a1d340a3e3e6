#include "Files.h"

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

Result<OutputFile> OutputFile::Create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return SystemError(errno);
    }
    struct stat info {};
    return OutputFile(path, fd, ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode));
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

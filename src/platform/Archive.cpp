#include "Archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Describe(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string FileNameOfPath(const std::string& path) {
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileArchive::FileArchive(const std::string& filePath, Mode openMode) : mode(openMode), path(filePath) {
    struct stat info {};
    if (mode == Mode::Read && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw ArchiveError(Describe("cannot open", path, EISDIR));
    }
    if (mode == Mode::Read && (snapshot = FileSnapshot::Take(path, kSnapshotCopyAfter))) {
        length = snapshot->Size();
        SetFileTitle(FileNameOfPath(path));
        return;
    }
    streamBuffer.reset(new char[kBufferBytes]);
    file = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb");
    if (file == nullptr) {
        throw ArchiveError(Describe("cannot open", path, errno));
    }
    std::setvbuf(file, streamBuffer.get(), _IOFBF, kBufferBytes);
    if (mode == Mode::Read && ::fstat(::fileno(file), &info) == 0) {
        length = static_cast<std::uint64_t>(info.st_size);
    }
    SetFileTitle(FileNameOfPath(path));
}

FileArchive::~FileArchive() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

std::size_t FileArchive::Read(void* buffer, std::size_t count) {
    if (snapshot) {
        std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(count, length - position));
        if (got != 0) {
            std::memcpy(buffer, snapshot->Bytes() + position, got);
        }
        position += got;
        return got;
    }
    if (file == nullptr || mode != Mode::Read || count == 0) {
        return 0;
    }
    std::size_t got = std::fread(buffer, 1, count, file);
    position += got;
    return got;
}

std::optional<ByteBlock> FileArchive::ReadBlock(std::size_t count) {
    if (!snapshot) {
        return CArchive::ReadBlock(count);
    }
    if (count > length - position) {
        return std::nullopt;
    }
    ByteBlock block(snapshot, snapshot->Bytes() + position, count);
    position += count;
    return block;
}

void FileArchive::Write(const void* buffer, std::size_t count) {
    if (file == nullptr || mode != Mode::Write) {
        throw ArchiveError("cannot write " + path + ": not open for writing");
    }
    if (count != 0 && std::fwrite(buffer, 1, count, file) != count) {
        throw ArchiveError(Describe("cannot write", path, errno));
    }
    position += count;
    length = std::max(length, position);
    if (position - writebackStarted >= kWritebackBytes) {
        StartWriteback();
    }
}

void FileArchive::StartWriteback() {
    if (std::fflush(file) != 0) {
        throw ArchiveError(Describe("cannot write", path, errno));
    }
#ifdef __linux__
    // Only a hint: any failure to write shows up in Flush.
    ::sync_file_range(::fileno(file), static_cast<off_t>(writebackStarted),
                      static_cast<off_t>(position - writebackStarted), SYNC_FILE_RANGE_WRITE);
#endif
    writebackStarted = position;
}

void FileArchive::Flush() {
    if (file == nullptr || mode != Mode::Write) {
        return;
    }
    if (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) {
        throw ArchiveError(Describe("cannot write", path, errno));
    }
}

std::uint64_t FileArchive::GetLength() const {
    return length;
}

void FileArchive::Close() {
    if (file == nullptr) {
        return;
    }
    std::FILE* closing = file;
    file = nullptr;
    bool failed = mode == Mode::Write && (std::fflush(closing) != 0 || std::ferror(closing) != 0);
    int error = errno;
    if (std::fclose(closing) != 0 && !failed) {
        failed = mode == Mode::Write;
        error = errno;
    }
    if (failed) {
        throw ArchiveError(Describe("cannot write", path, error));
    }
}

std::optional<ByteBlock> CArchive::ReadBlock(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    if (Read(bytes.data(), count) != count) {
        return std::nullopt;
    }
    return ByteBlock(std::move(bytes));
}

std::size_t MemoryArchive::Read(void* buffer, std::size_t count) {
    std::size_t got = std::min(count, bytes.size() - position);
    if (got != 0) {
        std::memcpy(buffer, bytes.data() + position, got);
    }
    position += got;
    return got;
}

void MemoryArchive::Write(const void* buffer, std::size_t count) {
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    bytes.insert(bytes.end(), from, from + count);
    position = bytes.size();
}

}  // namespace platform

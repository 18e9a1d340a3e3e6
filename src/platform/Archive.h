#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteBlock.h"
#include "FileSnapshot.h"

namespace platform {

// Raised when an archive cannot be opened, written or flushed.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A sequential byte stream over a file or a memory block: reads and writes of
// byte blocks, the current position, the length and the title of the file
// (its name without the folder).
class CArchive {
public:
    virtual ~CArchive() = default;

    // Reads up to `count` bytes; returns how many were read (fewer at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Reads `count` bytes as one block; none when the archive ends first.
    virtual std::optional<ByteBlock> ReadBlock(std::size_t count);
    // Writes all `count` bytes or throws ArchiveError.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    // Makes everything written so far durable, or throws ArchiveError.
    virtual void Flush() {}
    virtual std::uint64_t GetPosition() const = 0;
    virtual std::uint64_t GetLength() const = 0;

    const std::string& GetFileTitle() const { return fileTitle; }
    void SetFileTitle(std::string title) { fileTitle = std::move(title); }

private:
    std::string fileTitle;
};

// An archive over a file opened for reading or for writing (created or truncated).
class FileArchive : public CArchive {
public:
    enum class Mode { Read, Write };

    FileArchive(const std::string& path, Mode mode);
    ~FileArchive() override;
    FileArchive(const FileArchive&) = delete;
    FileArchive& operator=(const FileArchive&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    // A view of the file's bytes when it could be mapped, else a copy.
    std::optional<ByteBlock> ReadBlock(std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    // Flushes the stream and the file's data to the disk.
    void Flush() override;
    std::uint64_t GetPosition() const override { return position; }
    std::uint64_t GetLength() const override;
    // Flushes and closes; throws ArchiveError when the file cannot be completed.
    void Close();

private:
    // Databases are tens of megabytes read and written in pieces of a few
    // bytes to a few tens of kilobytes: a large buffer keeps the calls into
    // the system few.
    static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
    // Written data is handed to the disk every this many bytes while writing
    // goes on, so that the final flush waits only for the last of it.
    static constexpr std::uint64_t kWritebackBytes = std::uint64_t{8} << 20;

    // A file read is mapped rather than copied (see FileSnapshot), and copied
    // into memory this long after opening unless the document is gone by then:
    // a command that opens, changes and saves a database never copies it.
    static constexpr std::chrono::seconds kSnapshotCopyAfter{2};

    void StartWriteback();

    std::shared_ptr<const FileSnapshot> snapshot;  // a file read, when it could be mapped
    std::FILE* file = nullptr;
    std::unique_ptr<char[]> streamBuffer;
    Mode mode;
    std::string path;
    std::uint64_t position = 0;
    std::uint64_t length = 0;
    std::uint64_t writebackStarted = 0;  // bytes already handed to the disk
};

// An archive over bytes in memory: reads from a given block, or collects writes.
class MemoryArchive : public CArchive {
public:
    MemoryArchive() = default;
    explicit MemoryArchive(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t GetPosition() const override { return position; }
    std::uint64_t GetLength() const override { return bytes.size(); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }

private:
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

// The file name of a path without its folder ("C:\maps\a.pdb" and "/maps/a.pdb" give "a.pdb").
std::string FileNameOfPath(const std::string& path);

}  // namespace platform

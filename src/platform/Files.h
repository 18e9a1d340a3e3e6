#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Result.h"

namespace platform {

using ByteSpan = std::span<const std::uint8_t>;

// The file name of a path without its folder ("C:\maps\a.pdb" and "/maps/a.pdb" give "a.pdb").
std::string FileNameOfPath(const std::string& path);

// The system's words for error number `code` ("No such file or directory"), with the code.
Error SystemError(int code);
// The reason behind error number `code` in a user's words ("no such file", "permission denied").
std::string ReasonInWords(int code);
// "ACTION the file PATH:\nREASON", the way a file that cannot be used is told.
Error FileError(const std::string& action, const std::string& path, const Error& reason);

// The file a path names: symbolic links followed to their target, even one
// that does not exist yet; the path itself when it is no link.
std::string ResolveLinks(const std::string& path);

// What tells one state of a file from another: which file it is, its size and
// when it was last written.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at `path` (links followed); none when there is none.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The whole file at `path`. A file of more than `limit` bytes is refused with
// EFBIG, a folder with EISDIR; other failures with the system's error.
Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::uint64_t limit);

// A regular file open for reading at any offset, its size and identity taken
// when it was opened. A folder is refused with EISDIR.
class InputFile {
public:
    static Result<InputFile> Open(const std::string& path);
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    ~InputFile();

    std::uint64_t Size() const { return identity.size; }
    const FileIdentity& Identity() const { return identity; }
    // Fills `out` with the bytes at `offset`; EIO when the file ends first.
    Result<void> ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const;

private:
    InputFile(int fd, FileIdentity identity) : fd(fd), identity(identity) {}

    int fd;
    FileIdentity identity;
};

// Files are written in pieces of at most this many bytes: one write of hundreds
// of megabytes costs the kernel more than the same bytes in pieces (measured:
// twice the system time for 400 MB).
constexpr std::size_t kWritePiece = std::size_t{1} << 20;

// Writes every byte of `bytes`, or of every part in turn, to the open descriptor `fd`.
Result<void> WriteAll(int fd, ByteSpan bytes);
Result<void> WriteAll(int fd, std::span<const ByteSpan> parts);

// A file being written, created or truncated. Unless it is finished, the
// file is removed again when the object goes (a regular file only, never a
// device), so that no half-written file is left behind. Errors are the system's.
class OutputFile {
public:
    static Result<OutputFile> Create(const std::string& path);
    // Creates the file only where there is none of that name (nor a link): EEXIST otherwise.
    static Result<OutputFile> CreateNew(const std::string& path);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

    Result<void> Write(ByteSpan bytes);
    // Closes the complete file.
    Result<void> Finish();

private:
    OutputFile(std::string path, int fd, bool regular) : path(std::move(path)), fd(fd), regular(regular) {}
    static Result<OutputFile> Open(const std::string& path, int flags);

    std::string path;
    int fd;
    bool regular;
};

// Writes the parts, one after another, as the file at `path`; an error
// "Cannot create the file PATH:\nREASON" or "Cannot write the file ...".
Result<void> WriteWholeFile(const std::string& path, std::initializer_list<ByteSpan> parts);

}  // namespace platform

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The bytes of a file as they were when it was opened, mapped rather than
// copied: opening a database of tens of megabytes then costs next to nothing.
// A read lease keeps the bytes as they were: a program that opens the file to
// change it waits until this process has copied the mapped bytes into memory
// of its own. The copy is made anyway once `copyAfter` has passed, so that a
// document kept open stops depending on the file and on the medium it is on.
// The copy takes the mapping's place at the same addresses, unnoticed by readers.
class FileSnapshot {
public:
    // None when the file cannot be mapped under a lease: it is not a regular
    // file, is empty or unreadable, another program has it open for writing,
    // it belongs to another user, or its file system grants no leases. The file
    // is then to be read the ordinary way.
    static std::shared_ptr<const FileSnapshot> Take(const std::string& path, std::chrono::milliseconds copyAfter);

    ~FileSnapshot();
    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    const std::uint8_t* Bytes() const { return bytes; }
    std::size_t Size() const { return size; }

private:
    FileSnapshot(const std::uint8_t* bytes, std::size_t size) : bytes(bytes), size(size) {}

    const std::uint8_t* bytes;
    std::size_t size;
};

}  // namespace platform

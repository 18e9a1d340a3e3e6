#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace platform {

// Advisory locks on the folders that hold databases. Whatever reads a
// database holds a shared lock on its folder while it reads, and whatever
// changes one an exclusive lock from before it reads the database until it
// has saved it: two commands never interleave, and a reader never sees a
// database half rewritten. Folders are locked rather than files, so that a
// database being made, or replaced by a save, is covered too. Each folder is
// locked once however many of the paths lie in it, in an order every process
// shares; a folder that cannot be opened is not locked. The locks go with the object.
class FolderLocks {
public:
    enum class Mode { kShared, kExclusive };

    // Waits until every lock is held.
    FolderLocks(std::initializer_list<std::string> paths, Mode mode);
    ~FolderLocks();
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

private:
    std::vector<int> folders;
};

}  // namespace platform

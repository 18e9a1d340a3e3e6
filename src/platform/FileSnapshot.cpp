#include "FileSnapshot.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The kernel tells of a broken lease with this signal, carrying the file's descriptor.
int LeaseSignal() {
    return SIGRTMIN + 3;
}

// Where the signal handler writes the descriptor of a broken lease; -1 wakes
// the keeper to look at a new snapshot's time.
std::atomic<int> wakeWrite{-1};

void OnLeaseBroken(int, siginfo_t* info, void*) {
    const int savedErrno = errno;
    const int fd = info->si_fd;
    const int out = wakeWrite.load(std::memory_order_relaxed);
    if (out >= 0) {
        [[maybe_unused]] ssize_t written = ::write(out, &fd, sizeof fd);
    }
    errno = savedErrno;
}

// A snapshot still mapped from its file, whose lease is held through `fd`.
struct Mapped {
    const void* address;
    std::size_t size;
    int fd;  // -1 once the bytes are copied and the lease is given back
    Clock::time_point copyAt;
};

// Keeps the leases of every live snapshot: a thread copies a snapshot into
// memory when its lease is broken or its time has come. It lasts until the
// program ends, when the documents holding snapshots are gone.
class SnapshotKeeper {
public:
    // None when leases cannot be answered here (no pipe, signal or thread).
    static SnapshotKeeper* Get() {
        static SnapshotKeeper keeper;
        return keeper.watcher.joinable() ? &keeper : nullptr;
    }

    ~SnapshotKeeper() {
        if (!watcher.joinable()) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        Wake();
        watcher.join();
        wakeWrite.store(-1);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }

    std::mutex mutex;
    std::vector<Mapped> snapshots;

    void Wake() {
        const int none = -1;
        [[maybe_unused]] ssize_t written = ::write(pipeEnds[1], &none, sizeof none);
    }

    void Release(const void* address) {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = std::find_if(snapshots.begin(), snapshots.end(), [&](const Mapped& m) { return m.address == address; });
        if (it == snapshots.end()) {
            return;
        }
        ::munmap(const_cast<void*>(it->address), it->size);
        if (it->fd >= 0) {
            ::close(it->fd);
        }
        snapshots.erase(it);
    }

private:
    SnapshotKeeper() {
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return;
        }
        ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
        struct sigaction action {};
        action.sa_sigaction = OnLeaseBroken;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (::sigaction(LeaseSignal(), &action, nullptr) == 0) {
            wakeWrite.store(pipeEnds[1]);
            try {
                watcher = std::thread([this] { Watch(); });
                return;
            } catch (const std::system_error&) {
                wakeWrite.store(-1);
            }
        }
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }

    void Watch() {
        for (;;) {
            std::vector<int> broken;
            pollfd wake{pipeEnds[0], POLLIN, 0};
            if (::poll(&wake, 1, MillisecondsToNextCopy()) > 0) {
                int fds[64];
                ssize_t got = ::read(pipeEnds[0], fds, sizeof fds);
                for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof(int)); ++i) {
                    broken.push_back(fds[i]);
                }
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) {
                return;
            }
            const auto now = Clock::now();
            for (Mapped& mapped : snapshots) {
                bool leaseBroken = std::find(broken.begin(), broken.end(), mapped.fd) != broken.end();
                if (mapped.fd >= 0 && (leaseBroken || now >= mapped.copyAt)) {
                    CopyIntoMemory(mapped);
                }
            }
        }
    }

    int MillisecondsToNextCopy() {
        std::lock_guard<std::mutex> lock(mutex);
        const auto now = Clock::now();
        long long wait = -1;
        for (const Mapped& mapped : snapshots) {
            if (mapped.fd >= 0) {
                long long left = std::chrono::ceil<std::chrono::milliseconds>(mapped.copyAt - now).count();
                left = std::max(left, 0LL);
                wait = wait < 0 ? left : std::min(wait, left);
            }
        }
        return static_cast<int>(std::min<long long>(wait, INT_MAX));
    }

    // The mapped bytes copied into anonymous memory that then takes the
    // mapping's place in one step; the lease given back. Without memory for the
    // copy, the mapping and the lease stay and the copy is tried again later.
    static void CopyIntoMemory(Mapped& mapped) {
        void* copy = ::mmap(nullptr, mapped.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (copy != MAP_FAILED) {
            std::memcpy(copy, mapped.address, mapped.size);
            if (::mprotect(copy, mapped.size, PROT_READ) == 0 &&
                ::mremap(copy, mapped.size, mapped.size, MREMAP_MAYMOVE | MREMAP_FIXED,
                         const_cast<void*>(mapped.address)) != MAP_FAILED) {
                ::fcntl(mapped.fd, F_SETLEASE, F_UNLCK);
                ::close(mapped.fd);
                mapped.fd = -1;
                return;
            }
            ::munmap(copy, mapped.size);
        }
        mapped.copyAt = Clock::now() + std::chrono::seconds(1);
    }

    int pipeEnds[2] = {-1, -1};  // the signal handler and new snapshots write, the watcher reads
    bool stopping = false;
    std::thread watcher;  // last: started once everything it uses is ready
};

}  // namespace

std::shared_ptr<const FileSnapshot> FileSnapshot::Take(const std::string& path, std::chrono::milliseconds copyAfter) {
    SnapshotKeeper* keeper = SnapshotKeeper::Get();
    if (keeper == nullptr) {
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(keeper->mutex);
    // Not blocking: a file that another program holds a write lease on is read the ordinary way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    // The size is read again under the lease, when no other program can change it.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_SETSIG, LeaseSignal()) != 0 ||
        ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0 || ::fstat(fd, &info) != 0 || info.st_size <= 0) {
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (address == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    try {
        keeper->snapshots.push_back({address, size, fd, Clock::now() + copyAfter});
    } catch (const std::bad_alloc&) {
        ::munmap(address, size);
        ::close(fd);
        return nullptr;
    }
    lock.unlock();
    keeper->Wake();
    auto* snapshot = new (std::nothrow) FileSnapshot(static_cast<const std::uint8_t*>(address), size);
    if (snapshot == nullptr) {
        keeper->Release(address);
        return nullptr;
    }
    return std::shared_ptr<const FileSnapshot>(snapshot);
}

FileSnapshot::~FileSnapshot() {
    SnapshotKeeper::Get()->Release(bytes);
}

}  // namespace platform

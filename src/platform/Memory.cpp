#include "Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

std::size_t PageSize() {
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

void ReleasePages(const void* begin, const void* end) {
    const std::uintptr_t page = PageSize();
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) & ~(page - 1);
    if (first < last) {
        // Only a hint: memory that cannot be given back stays as it is.
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
}

}  // namespace platform

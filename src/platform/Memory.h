#pragma once

#include <cstddef>

namespace platform {

std::size_t PageSize();

// Gives the whole pages within [begin, end) back to the system, so that a
// large block that is read once from front to back (or back to front) does
// not hold all its memory until it is freed. The block must be the program's
// own writable memory that nothing reads again before it is freed: pages
// given back read as zeros when touched.
void ReleasePages(const void* begin, const void* end);

}  // namespace platform

#pragma once

#include <cstddef>
#include <functional>

#include "ImportFlow.h"

namespace view {

// Prepares pictures 0 to count - 1 on `jobs` threads and hands each to `take`
// in their order, as soon as it and all before it are ready, so that appending
// them gives the document a sequential import would. At most `jobs` prepared
// pictures wait to be taken. `take` returns false to stop: nothing further is
// taken, and what was prepared beyond is dropped (taking back its bitmaps).
// `prepare` runs on the worker threads, `take` on the calling thread; with one
// job everything runs on the calling thread.
void PrepareInOrder(std::size_t count, unsigned jobs,
                    const std::function<Result<PreparedPicture>(std::size_t index)>& prepare,
                    const std::function<bool(std::size_t index, Result<PreparedPicture> prepared)>& take);

}  // namespace view

#include "BatchImport.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace view {

namespace {

// A prepared picture, or why it could not be: a worker's exception (out of
// memory, say) becomes that picture's error rather than ending the process.
Result<PreparedPicture> PrepareSafely(const std::function<Result<PreparedPicture>(std::size_t)>& prepare,
                                      std::size_t index) {
    try {
        return prepare(index);
    } catch (const std::exception& e) {
        return Error{std::string("The picture could not be prepared: ") + e.what() + "."};
    }
}

}  // namespace

void PrepareInOrder(std::size_t count, unsigned jobs,
                    const std::function<Result<PreparedPicture>(std::size_t index)>& prepare,
                    const std::function<bool(std::size_t index, Result<PreparedPicture> prepared)>& take) {
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!take(i, PrepareSafely(prepare, i))) {
                return;
            }
        }
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Result<PreparedPicture>>> ready(count);
    std::size_t next = 0;   // the next picture a worker starts
    std::size_t taken = 0;  // how many have been taken
    bool stop = false;

    auto work = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || next >= count || next < taken + jobs; });
                if (stop || next >= count) {
                    return;
                }
                index = next++;
            }
            Result<PreparedPicture> prepared = PrepareSafely(prepare, index);
            {
                const std::lock_guard lock(mutex);
                ready[index].emplace(std::move(prepared));
            }
            changed.notify_all();
        }
    };
    std::vector<std::jthread> workers;
    // Declared after the workers, so it runs first when `take` stops or throws:
    // the workers then end, and are joined, before `ready` goes.
    struct StopWorkers {
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stop;
        ~StopWorkers() {
            {
                const std::lock_guard lock(mutex);
                stop = true;
            }
            changed.notify_all();
        }
    } stopWorkers{mutex, changed, stop};
    for (unsigned i = 0; i < std::min<std::size_t>(jobs, count); ++i) {
        workers.emplace_back(work);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<Result<PreparedPicture>> prepared;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready[i].has_value(); });
            prepared.emplace(std::move(*ready[i]));
            ready[i].reset();
            taken = i + 1;
        }
        changed.notify_all();
        if (!take(i, std::move(*prepared))) {
            return;
        }
    }
}

}  // namespace view

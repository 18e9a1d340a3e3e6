#include "Progress.h"

#include <unistd.h>

#include <cstdio>
#include <numeric>

namespace cli {

Progress::Progress(std::size_t pictures) : shown(::isatty(STDERR_FILENO) == 1), done(pictures, 0.0), pictures(pictures) {}

Progress::~Progress() {
    Clear();
}

void Progress::Stage(std::size_t index, const std::string& name, view::ImportStage stage, double stageDone) {
    if (!shown) {
        return;
    }
    const std::lock_guard lock(mutex);
    done[index] = view::ImportDone(stage, stageDone);
    // The pictures' shares, less a little for the save that follows them.
    const double share = std::accumulate(done.begin(), done.end(), 0.0) / static_cast<double>(pictures);
    Show(static_cast<int>(share * 99), std::string(view::StageName(stage)) + " " + name + " (" +
                                           std::to_string(index + 1) + " of " + std::to_string(pictures) + ")");
}

void Progress::Done(std::size_t index) {
    if (!shown) {
        return;
    }
    const std::lock_guard lock(mutex);
    done[index] = 1.0;
}

void Progress::Saving(const std::string& database, double done) {
    if (!shown) {
        return;
    }
    const std::lock_guard lock(mutex);
    std::string what = "saving ";
    what += database;
    Show(static_cast<int>(done * 100), what);
}

void Progress::Clear() {
    if (!shown) {
        return;
    }
    const std::lock_guard lock(mutex);
    if (onScreen) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        onScreen = false;
        lastPercent = -1;
    }
}

void Progress::Show(int percent, const std::string& what) {
    if (percent == lastPercent && what == lastWhat && onScreen) {
        return;
    }
    lastPercent = percent;
    lastWhat = what;
    std::fprintf(stderr, "\r\033[Kplandrel: %2d%% %s", percent, what.c_str());
    std::fflush(stderr);
    onScreen = true;
}

}  // namespace cli

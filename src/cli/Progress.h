#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "view/ImportFlow.h"

namespace cli {

// One line on standard error that tells how far a batch of imports has come,
// "plandrel: 45% converting Alps.gif (3 of 32)", then how far the database's
// save has, "plandrel: 60% saving Europe.pdb", redrawn in place; shown only
// when standard error is a terminal, so that scripts and logs get none of it.
// The pictures' stages may be told from several threads at once.
class Progress {
public:
    explicit Progress(std::size_t pictures);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Picture `index`, named `name`, is in `stage`, `done` of it done.
    void Stage(std::size_t index, const std::string& name, view::ImportStage stage, double done);
    // Picture `index` is appended: done.
    void Done(std::size_t index);
    // The save of `database`, `done` of it (from 0 to 1).
    void Saving(const std::string& database, double done);
    // Takes the line away, so that other text can be printed; it comes back at the next change.
    void Clear();

private:
    void Show(int percent, const std::string& what);

    const bool shown;
    std::mutex mutex;
    std::vector<double> done;  // how far each picture has come, from 0 to 1
    std::size_t pictures;
    bool onScreen = false;
    int lastPercent = -1;
    std::string lastWhat;
};

}  // namespace cli

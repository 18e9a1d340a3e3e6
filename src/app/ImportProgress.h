#pragma once

#include <QWidget>

#include "DelayedProgress.h"
#include "view/ImportFlow.h"

// The progress of one import in the window: the stage and how far the import
// has come, shown only when the import takes longer than half a second. It
// appears once the colour-depth question is answered (reading comes before
// it), steps aside while the coordinates are asked for, and goes when the
// import ends.
class ImportProgress {
public:
    explicit ImportProgress(QWidget* parent);

    void Enter(view::ImportStage stage, double done);
    // Before another dialog of the import opens.
    void StepAside() { progress.Close(); }

private:
    DelayedProgress progress;
};

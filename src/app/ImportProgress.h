#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include "view/ImportFlow.h"

// The progress of one import in the window: a dialog with the stage and how
// far the import has come, shown only when the import takes longer than half
// a second, with nothing to cancel it. It appears once the colour-depth
// question is answered (reading comes before it), steps aside while the
// coordinates are asked for, and goes when the import ends.
class ImportProgress {
public:
    explicit ImportProgress(QWidget* parent) : parent(parent) {}
    ~ImportProgress();
    ImportProgress(const ImportProgress&) = delete;
    ImportProgress& operator=(const ImportProgress&) = delete;

    void Enter(view::ImportStage stage);
    // Before another dialog of the import opens.
    void StepAside();

private:
    QWidget* parent;
    QPointer<QProgressDialog> dialog;
};

#include "DelayedProgress.h"

namespace {

constexpr int kShownAfterMilliseconds = 500;
constexpr int kSteps = 100;

}  // namespace

DelayedProgress::~DelayedProgress() {
    Close();
}

void DelayedProgress::Tell(const QString& label, double done) {
    if (!dialog) {
        dialog = new QProgressDialog(parent);
        dialog->setObjectName(objectName);
        dialog->setWindowTitle(title);
        dialog->setCancelButton(nullptr);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(kShownAfterMilliseconds);
        dialog->setRange(0, kSteps);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
    }
    dialog->setLabelText(label);
    dialog->setValue(static_cast<int>(done * kSteps));
}

void DelayedProgress::Close() {
    // A dialog once shown and hidden would not show again: the next Tell makes a new one.
    delete dialog;
}

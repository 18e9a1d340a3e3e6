#include "ImportProgress.h"

namespace {

constexpr int kShownAfterMilliseconds = 500;

}  // namespace

ImportProgress::~ImportProgress() {
    delete dialog;
}

void ImportProgress::Enter(view::ImportStage stage) {
    if (stage == view::ImportStage::kReading) {
        return;
    }
    if (!dialog) {
        dialog = new QProgressDialog(parent);
        dialog->setObjectName("importProgress");
        dialog->setWindowTitle(QObject::tr("Adding the map"));
        dialog->setCancelButton(nullptr);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(kShownAfterMilliseconds);
        dialog->setRange(0, 100);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
    }
    QString text = QString::fromLatin1(view::StageName(stage)) + QStringLiteral("…");
    text[0] = text[0].toUpper();
    dialog->setLabelText(text);
    dialog->setValue(static_cast<int>(view::StageStart(stage) * 100));
}

void ImportProgress::StepAside() {
    // A dialog once shown and hidden would not show again: the next stage makes a new one.
    delete dialog;
}

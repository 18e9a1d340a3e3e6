#include "ImportProgress.h"

ImportProgress::ImportProgress(QWidget* parent)
    : progress(parent, QStringLiteral("importProgress"), QObject::tr("Adding the map")) {}

void ImportProgress::Enter(view::ImportStage stage, double done) {
    if (stage == view::ImportStage::kReading) {
        return;
    }
    QString text = QString::fromLatin1(view::StageName(stage)) + QStringLiteral("…");
    text[0] = text[0].toUpper();
    progress.Tell(text, view::ImportDone(stage, done));
}

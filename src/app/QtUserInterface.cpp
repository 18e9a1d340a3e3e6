#include "QtUserInterface.h"

#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPushButton>
#include <QMessageBox>
#include <QStatusBar>

#include "AppTexts.h"
#include "CoreDialogs.h"
#include "ImportProgress.h"

namespace {

constexpr int kStatusMessageMilliseconds = 10000;

// A notice's text begins as a sentence does, whatever part of the program wrote it.
QString Capitalised(QString text) {
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

QMainWindow* MainWindowOf(QWidget* widget) {
    return widget ? qobject_cast<QMainWindow*>(widget->window()) : nullptr;
}

}  // namespace

void QtUserInterface::MessageBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, title.empty() ? QString(kAppTitle) : QString::fromStdString(title),
                    Capitalised(QString::fromStdString(text)), QMessageBox::Ok, parent);
    run(box);
}

void QtUserInterface::ShowFailure(const QString& text, const QString& whatToDo) {
    QMessageBox box(QMessageBox::Warning, QString(kAppTitle), Capitalised(text), QMessageBox::Ok, parent);
    box.setInformativeText(whatToDo);
    run(box);
}

bool QtUserInterface::AskToReplace(const QString& path) {
    const QFileInfo file(path);
    QMessageBox box(QMessageBox::Question, QString(kAppTitle),
                    QStringLiteral("%1 already exists in %2.").arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())),
                    QMessageBox::Cancel, parent);
    box.setInformativeText(QStringLiteral("Do you want to replace it?"));
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    run(box);
    return box.clickedButton() == replace;
}

void QtUserInterface::ShowStatus(const QString& text) {
    if (QMainWindow* window = MainWindowOf(parent)) {
        window->statusBar()->showMessage(text, kStatusMessageMilliseconds);
    }
}

palm::ConversionOptions QtUserInterface::AskColorDepth(const palm::PictureFacts& picture) {
    ColorDepthDialog dialog(picture, parent);
    run(dialog);
    return dialog.Answer();
}

palm::CornerTexts QtUserInterface::AskCoordinates(const palm::CornerTexts& proposed) {
    CoordinatesDialog dialog(proposed, parent);
    run(dialog);
    return dialog.Answer();
}

void QtUserInterface::Tell(const view::ImportNotice& notice, QStringList& told) {
    QMainWindow* window = MainWindowOf(parent);
    QString sentence = QString::fromStdString(notice.text) + '.';
    sentence[0] = sentence[0].toUpper();
    if (notice.kind == view::ImportNotice::Kind::kCornersLookWrong) {
        QMessageBox box(QMessageBox::Warning, QString(kAppTitle),
                        sentence + QStringLiteral("\nThe map was added; correct its corners in the form."),
                        QMessageBox::Ok, parent);
        run(box);
        return;
    }
    if (notice.kind == view::ImportNotice::Kind::kBitmapNotWritten || window == nullptr) {
        QMessageBox box(QMessageBox::Information, QString(kAppTitle), QString::fromStdString(notice.text),
                        QMessageBox::Ok, parent);
        run(box);
        return;
    }
    told.append(sentence);
    window->statusBar()->showMessage(told.join(QStringLiteral("  ")), kStatusMessageMilliseconds);
}

view::ImportAnswers QtUserInterface::ImportAnswers() {
    auto progress = std::make_shared<ImportProgress>(parent);
    return {[this](const palm::PictureFacts& picture) { return AskColorDepth(picture); },
            [this, progress](const palm::CornerTexts& proposed) {
                progress->StepAside();
                return palm::ParseCorners(AskCoordinates(proposed));
            },
            [this, progress, told = std::make_shared<QStringList>()](const view::ImportNotice& notice) {
                progress->StepAside();
                Tell(notice, *told);
            },
            [progress](view::ImportStage stage, double done) { progress->Enter(stage, done); }};
}

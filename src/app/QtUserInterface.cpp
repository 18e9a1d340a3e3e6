#include "QtUserInterface.h"

#include <memory>

#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "AppTexts.h"
#include "CoreDialogs.h"

namespace {

constexpr int kStatusMessageMilliseconds = 10000;

}  // namespace

void QtUserInterface::MessageBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, title.empty() ? QString(kAppTitle) : QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    run(box);
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
    auto* window = parent ? qobject_cast<QMainWindow*>(parent->window()) : nullptr;
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
    return {[this](const palm::PictureFacts& picture) { return AskColorDepth(picture); },
            [this](const palm::CornerTexts& proposed) { return palm::ParseCorners(AskCoordinates(proposed)); },
            [this, told = std::make_shared<QStringList>()](const view::ImportNotice& notice) { Tell(notice, *told); }};
}

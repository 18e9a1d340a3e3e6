#include "QtUserInterface.h"

#include <QMessageBox>

#include "AppTexts.h"
#include "CoreDialogs.h"

void QtUserInterface::MessageBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, title.empty() ? QString(kAppTitle) : QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    run(box);
}

palm::ConversionOptions QtUserInterface::AskColorDepth(const palm::SourcePicture& picture) {
    ColorDepthDialog dialog(picture, parent);
    run(dialog);
    return dialog.Answer();
}

palm::CornerTexts QtUserInterface::AskCoordinates(const palm::CornerTexts& proposed) {
    CoordinatesDialog dialog(proposed, parent);
    run(dialog);
    return dialog.Answer();
}

view::ImportAnswers QtUserInterface::ImportAnswers() {
    return {[this](const palm::SourcePicture& picture) { return AskColorDepth(picture); },
            [this](const palm::CornerTexts& proposed) { return AskCoordinates(proposed); }};
}

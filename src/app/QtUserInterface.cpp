#include "QtUserInterface.h"

#include <QMessageBox>

#include "AppTexts.h"
#include "CoreDialogs.h"

void QtUserInterface::MessageBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, title.empty() ? QString(kAppTitle) : QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    run(box);
}

void QtUserInterface::DoModal(platform::CDialog& dialog) {
    auto shown = BuildDialog(dialog, parent);
    if (!shown) {
        return;
    }
    run(*shown->dialog);
    // Only OK takes what the user left in the controls; any other way of
    // closing keeps the values the core put in, and the core uses those.
    if (shown->dialog->result() == QDialog::Accepted) {
        shown->Read();
    }
}

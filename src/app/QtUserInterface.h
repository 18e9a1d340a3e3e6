#pragma once

#include <functional>

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "platform/UserInterface.h"

// The core's questions and notices as modal Qt dialogs. Each dialog of the core
// is shown by its Qt counterpart; whatever way it is closed, the values it holds
// then are the answer.
class QtUserInterface : public platform::UserInterface {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
    void DoModal(platform::CDialog& dialog) override;

    // The window the dialogs belong to.
    void SetParent(QWidget* parent) { this->parent = parent; }
    // Runs a built dialog; tests replace it to read and answer the dialog.
    std::function<void(QDialog&)> run = [](QDialog& dialog) { dialog.exec(); };

private:
    QPointer<QWidget> parent;
};

#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "palm/MapLoader.h"
#include "palm/PalmBitmap.h"
#include "platform/Result.h"
#include "view/ImportFlow.h"

// The window's questions and notices as modal Qt dialogs: the colour-depth and
// coordinates dialogs of the import, and the notices that tell of errors.
// Whatever way a dialog is closed, the values it holds then are the answer.
class QtUserInterface {
public:
    // A modal notice with an OK button, centred on the window. An empty title
    // means the application's.
    void MessageBox(const std::string& title, const std::string& text);
    void ShowError(const platform::Error& error) { MessageBox(error.title, error.message); }
    // A notice that something failed, with what the user can do about it, if anything.
    void ShowFailure(const QString& text, const QString& whatToDo);
    // Asks whether the existing file at `path` may be replaced; only an
    // explicit "Replace" says yes.
    bool AskToReplace(const QString& path);
    // Tells something done in the window's status bar.
    void ShowStatus(const QString& text);

    // "Choose the color depth of the map", showing the record's size at each depth.
    palm::ConversionOptions AskColorDepth(const palm::PictureFacts& picture);
    // "Enter map coordinates", proposing `proposed`.
    palm::CornerTexts AskCoordinates(const palm::CornerTexts& proposed);
    // What an import tells: a bitmap not written in a notice of its own, the
    // rest in the window's status bar, each sentence after those `told` before
    // in the same import.
    void Tell(const view::ImportNotice& notice, QStringList& told);
    // The import's questions, asked with the two dialogs above, and its notices.
    view::ImportAnswers ImportAnswers();

    // The window the dialogs belong to.
    void SetParent(QWidget* parent) { this->parent = parent; }
    // Runs a built dialog; tests replace it to read and answer the dialog.
    std::function<void(QDialog&)> run = [](QDialog& dialog) { dialog.exec(); };

private:
    QPointer<QWidget> parent;
};

#pragma once

#include <string>

namespace platform {

// A modal dialog as the core sees it: members that the core fills, the user
// changes, and the core reads back however the dialog was closed.
class CDialog {
public:
    explicit CDialog(int templateId) : templateId(templateId) {}
    virtual ~CDialog() = default;
    int TemplateId() const { return templateId; }

private:
    int templateId;
};

// How the core asks the user something or tells them something. The desktop
// application shows real dialogs and message boxes; the command-line tool and
// the tests answer from options or scripts.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // A modal notice with an OK button. An empty title means the application's.
    virtual void MessageBox(const std::string& title, const std::string& text) = 0;
    // Runs a dialog modally; its members hold the answer afterwards.
    virtual void DoModal(CDialog& dialog) = 0;
};

// Prints notices to standard error as "plandrel: TEXT" and leaves every dialog
// with the values the core put in it.
class StderrUserInterface : public UserInterface {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
    void DoModal(CDialog& dialog) override;
};

// The interface in use; a StderrUserInterface until another is installed.
UserInterface& GetUserInterface();

// Installs `ui` for the lifetime of this object and restores the previous one after.
class ScopedUserInterface {
public:
    explicit ScopedUserInterface(UserInterface& ui);
    ~ScopedUserInterface();
    ScopedUserInterface(const ScopedUserInterface&) = delete;
    ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

private:
    UserInterface* previous;
};

}  // namespace platform

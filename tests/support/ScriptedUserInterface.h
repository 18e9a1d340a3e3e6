#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/UserInterface.h"

namespace testing_support {

// Records every notice and answers dialogs through a test's own function.
class ScriptedUserInterface : public platform::UserInterface {
public:
    struct Notice {
        std::string title;
        std::string text;
    };

    std::vector<Notice> notices;
    std::vector<int> dialogs;  // template ids of the dialogs run, in order
    std::function<void(platform::CDialog&)> answer = [](platform::CDialog&) {};

    void MessageBox(const std::string& title, const std::string& text) override { notices.push_back({title, text}); }
    void DoModal(platform::CDialog& dialog) override {
        dialogs.push_back(dialog.TemplateId());
        answer(dialog);
    }
};

// Installs a ScriptedUserInterface for the lifetime of the fixture.
class WithScriptedUi {
public:
    ScriptedUserInterface ui;

private:
    platform::ScopedUserInterface scope{ui};
};

}  // namespace testing_support

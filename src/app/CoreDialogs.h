#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDialog>

#include "platform/UserInterface.h"

// A Qt dialog built for one of the core's dialogs, and how to copy what the
// user left in its controls back into the core's members.
struct ShownDialog {
    std::unique_ptr<QDialog> dialog;
    std::function<void()> read;

    void Read() const {
        if (read) {
            read();
        }
    }
};

// The Qt counterpart of a core dialog, filled from its members; none for a
// dialog this application does not know.
std::optional<ShownDialog> BuildDialog(platform::CDialog& dialog, QWidget* parent);

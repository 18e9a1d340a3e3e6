#pragma once

// What the fuzz targets share: a reader of the fuzzed bytes, and a user
// interface that shows nothing and answers the dialogs from those bytes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "palm/PalmDialogs.h"
#include "platform/UserInterface.h"

namespace fuzzing {

// Takes bytes from the front of the input; past its end every byte is 0.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    // A text of up to `limit` bytes, its length given by the byte before it.
    std::string Text(std::size_t limit) {
        std::size_t length = std::min<std::size_t>({Byte(), limit, size - at});
        std::string text(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return text;
    }
    const std::uint8_t* Rest() const { return data + at; }
    std::size_t RestSize() const { return size - at; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// Drops every notice and answers the two dialogs of the import with what the
// fuzzed bytes chose; installed for its own lifetime.
class QuietUserInterface : public platform::UserInterface {
public:
    QuietUserInterface() : scope(*this) {}

    // Bits 0-1: the depth's radio button; bit 2: compress; bit 3: colour table.
    std::uint8_t depthAnswer = 0;
    // The four corner texts; an empty one keeps the dialog's default.
    std::array<std::string, 4> corners;

    void MessageBox(const std::string&, const std::string&) override {}
    void DoModal(platform::CDialog& dialog) override {
        if (auto* depth = dynamic_cast<palm::CColorDepthDlg*>(&dialog)) {
            depth->depthChoice = depthAnswer & 3;
            depth->compress = (depthAnswer & 4) != 0;
            depth->includeColorTable = (depthAnswer & 8) != 0;
        } else if (auto* coordinates = dynamic_cast<palm::CCoordinatesDlg*>(&dialog)) {
            std::string* texts[] = {&coordinates->topLeftLatitude, &coordinates->topLeftLongitude,
                                    &coordinates->bottomRightLatitude, &coordinates->bottomRightLongitude};
            for (std::size_t i = 0; i < corners.size(); ++i) {
                if (!corners[i].empty()) {
                    *texts[i] = corners[i];
                }
            }
        }
    }

private:
    platform::ScopedUserInterface scope;
};

// Stops the run as a finding when a property that must hold does not.
inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace fuzzing

#pragma once

#include <string>

#include "palm/PalmDialogs.h"
#include "support/ScriptedUserInterface.h"

namespace testing_support {

// Answers the colour-depth dialog with a depth (1, 2, 4, 8) and the two boxes,
// and the coordinates dialog with given texts (or leaves its defaults).
struct ImportAnswers {
    int depth = 1;
    bool compress = false;
    bool colorTable = false;
    std::string topLeftLat, topLeftLon, bottomRightLat, bottomRightLon;

    static ImportAnswers At(int depth, bool compress = false) {
        ImportAnswers answers;
        answers.depth = depth;
        answers.compress = compress;
        return answers;
    }

    void Install(ScriptedUserInterface& ui) const {
        ui.answer = [answers = *this](platform::CDialog& dialog) {
            if (auto* depth = dynamic_cast<palm::CColorDepthDlg*>(&dialog)) {
                depth->depthChoice = answers.depth == 8 ? 3 : answers.depth == 4 ? 2 : answers.depth == 2 ? 1 : 0;
                depth->compress = answers.compress;
                depth->includeColorTable = answers.colorTable;
            } else if (auto* corners = dynamic_cast<palm::CCoordinatesDlg*>(&dialog)) {
                if (!answers.topLeftLat.empty()) {
                    corners->topLeftLatitude = answers.topLeftLat;
                    corners->topLeftLongitude = answers.topLeftLon;
                    corners->bottomRightLatitude = answers.bottomRightLat;
                    corners->bottomRightLongitude = answers.bottomRightLon;
                }
            }
        };
    }
};

}  // namespace testing_support

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "view/ImportFlow.h"

namespace view_test {

// Answers the import's two questions the way a user would, and records which
// were asked, in order: "conversion" (with the picture's size and depth, as the
// colour-depth dialog shows them) and "corners"; and what the import told.
struct ScriptedAnswers {
    palm::ConversionOptions options;         // 1 bit, uncompressed, no colour table
    std::optional<palm::CornerTexts> typed;  // none: the proposed corners are kept
    std::vector<std::string> asked;
    std::uint32_t shownWidth = 0;
    std::uint32_t shownHeight = 0;
    unsigned shownDepth = 0;
    std::vector<view::ImportNotice> notices;

    view::ImportAnswers Answers() {
        return {[this](const palm::PictureFacts& picture) {
                    asked.push_back("conversion");
                    shownWidth = picture.width;
                    shownHeight = picture.height;
                    shownDepth = picture.bitCount;
                    return options;
                },
                [this](const palm::CornerTexts& proposed) {
                    asked.push_back("corners");
                    return palm::ParseCorners(typed.value_or(proposed));
                },
                [this](const view::ImportNotice& notice) { notices.push_back(notice); },
                nullptr};
    }

    // The texts of the notices of one kind, in order.
    std::vector<std::string> Told(view::ImportNotice::Kind kind) const {
        std::vector<std::string> texts;
        for (const auto& notice : notices) {
            if (notice.kind == kind) {
                texts.push_back(notice.text);
            }
        }
        return texts;
    }
};

}  // namespace view_test

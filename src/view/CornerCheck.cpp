#include "CornerCheck.h"

#include <cstdlib>

#include "mapdb/Coordinates.h"

namespace view {

namespace {

using mapdb::FormatDegrees;

void WarnBeyond(std::vector<std::string>& warnings, const char* name, std::int32_t value, int limitDegrees) {
    if (std::abs(static_cast<std::int64_t>(value)) > limitDegrees * static_cast<std::int64_t>(mapdb::kUnitsPerDegree)) {
        warnings.push_back(std::string("the ") + name + " (" + FormatDegrees(value) + ") is beyond " +
                           std::to_string(limitDegrees) + " degrees");
    }
}

}  // namespace

std::vector<std::string> BoxProblems(const palm::Corners& corners) {
    std::vector<std::string> problems;
    if (corners.topLeftLat <= corners.bottomRightLat) {
        problems.push_back("the top edge (" + FormatDegrees(corners.topLeftLat) + ") is not above the bottom edge (" +
                           FormatDegrees(corners.bottomRightLat) + ")");
    }
    if (corners.topLeftLon >= corners.bottomRightLon) {
        std::string problem = "the left edge (" + FormatDegrees(corners.topLeftLon) +
                              ") is not left of the right edge (" + FormatDegrees(corners.bottomRightLon) + ")";
        if (corners.topLeftLon > 0 && corners.bottomRightLon < 0) {
            problem += "; the handheld cannot place a map across the 180\u00B0 meridian";
        }
        problems.push_back(problem);
    }
    return problems;
}

std::string BoxFault(const palm::Corners& corners) {
    return Joined(BoxProblems(corners));
}

std::vector<std::string> CornerWarnings(const palm::Corners& corners) {
    std::vector<std::string> warnings;
    WarnBeyond(warnings, "top-left latitude", corners.topLeftLat, 90);
    WarnBeyond(warnings, "bottom-right latitude", corners.bottomRightLat, 90);
    WarnBeyond(warnings, "top-left longitude", corners.topLeftLon, 180);
    WarnBeyond(warnings, "bottom-right longitude", corners.bottomRightLon, 180);
    for (std::string& problem : BoxProblems(corners)) {
        warnings.push_back(std::move(problem));
    }
    if (corners == palm::kProposedCorners) {
        warnings.push_back("the corners are still the defaults, 10\u00B0 N 10\u00B0 W to 10\u00B0 S 10\u00B0 E");
    }
    return warnings;
}

std::string Joined(const std::vector<std::string>& problems) {
    std::string sentence;
    for (const std::string& problem : problems) {
        sentence += (sentence.empty() ? "" : "; ") + problem;
    }
    return sentence;
}

}  // namespace view

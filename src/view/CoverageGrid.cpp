#include "CoverageGrid.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace view {

namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kDegree = 3600;
constexpr std::array<std::int64_t, 20> kSteps{
    1,           2,           5,           10,          15,          30,          kMinute,
    2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kDegree,   2 * kDegree,
    5 * kDegree, 10 * kDegree, 15 * kDegree, 30 * kDegree, 45 * kDegree, 90 * kDegree};

}  // namespace

std::int64_t GridStep(double span, int maxLines) {
    const double spanSeconds = std::abs(span) * kDegree;
    for (std::int64_t step : kSteps) {
        if (spanSeconds / static_cast<double>(step) <= maxLines) {
            return step;
        }
    }
    return kSteps.back();
}

std::vector<std::int64_t> GridLines(double low, double high, std::int64_t stepSeconds) {
    std::vector<std::int64_t> lines;
    const auto first = static_cast<std::int64_t>(std::ceil(low * kDegree / static_cast<double>(stepSeconds)));
    const auto last = static_cast<std::int64_t>(std::floor(high * kDegree / static_cast<double>(stepSeconds)));
    for (std::int64_t multiple = first; multiple <= last; ++multiple) {
        lines.push_back(multiple * stepSeconds);
    }
    return lines;
}

std::string GridLabel(std::int64_t seconds, bool latitude) {
    const std::int64_t magnitude = std::llabs(seconds);
    const std::int64_t degrees = magnitude / kDegree;
    const std::int64_t minutes = magnitude % kDegree / kMinute;
    const std::int64_t rest = magnitude % kMinute;
    std::string label = std::to_string(degrees).append("\u00B0");
    if (minutes != 0 || rest != 0) {
        label.append(" ").append(std::to_string(minutes)).append("'");
    }
    if (rest != 0) {
        label.append(" ").append(std::to_string(rest)).append("\"");
    }
    if (seconds != 0) {
        label.append(latitude ? (seconds > 0 ? " N" : " S") : (seconds > 0 ? " E" : " W"));
    }
    return label;
}

}  // namespace view

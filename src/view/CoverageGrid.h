#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace view {

// The latitude and longitude lines drawn behind the maps' outlines. Lines lie
// on whole seconds of arc, so that their labels are exact.

// The step, in seconds of arc, between lines across `span` degrees: the
// smallest round step (1", 2", 5", 10", 15", 30", 1', 2', 5', 10', 15', 30', 1°,
// 2°, 5°, 10°, 15°, 30°, 45°, 90°) that draws at most `maxLines` lines there;
// the largest when none does.
std::int64_t GridStep(double span, int maxLines);
// The multiples of `stepSeconds` (a GridStep) from `low` to `high` degrees, in seconds of arc.
std::vector<std::int64_t> GridLines(double low, double high, std::int64_t stepSeconds);
// A line's label: degrees, then minutes and seconds when they are not zero,
// then the hemisphere ("48° N", "10° 30' W", "0° 0' 15\" S", "0°" on the
// equator and the prime meridian).
std::string GridLabel(std::int64_t seconds, bool latitude);

}  // namespace view

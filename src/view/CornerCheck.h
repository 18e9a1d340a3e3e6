#pragma once

#include <string>
#include <vector>

#include "palm/MapLoader.h"

namespace view {

// Why four corners make no box to place a map in: the top edge not above the
// bottom edge, the left edge not left of the right edge (the handheld takes
// longitudes as a straight scale, so no map can cross the 180° meridian; said
// when the left edge is east and the right edge west). Empty when they make one.
std::vector<std::string> BoxProblems(const palm::Corners& corners);
// The same in one sentence (Joined).
std::string BoxFault(const palm::Corners& corners);

// What looks wrong with a map's corners, in its user's words: a latitude
// beyond 90 degrees or a longitude beyond 180, the BoxProblems, and corners
// still the ones the coordinates dialog proposes. Empty when nothing does.
std::vector<std::string> CornerWarnings(const palm::Corners& corners);

// Problems in one sentence, separated by semicolons.
std::string Joined(const std::vector<std::string>& problems);

}  // namespace view

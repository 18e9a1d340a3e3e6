#pragma once

#include <string>
#include <vector>

#include "mapdb/MapRecord.h"

namespace view {

// What is wrong with a stored map by the rules this program writes maps by:
// a depth other than 1, 2, 4 or 8, rows too short for the width, flag bits or a
// version it never writes, data shorter or longer than the size rules say, and
// compressed rows that do not expand to rowBytes × height; and what the
// handheld cannot take: a record over 65,536 bytes, a side over 32,767
// pixels. Empty when sound.
std::vector<std::string> RecordProblems(const mapdb::MapRecord& map);

}  // namespace view

#include "RecordCheck.h"

#include "palm/ScanLines.h"
#include "view/ImportFlow.h"

namespace view {

std::vector<std::string> RecordProblems(const mapdb::MapRecord& map) {
    std::vector<std::string> problems;
    const unsigned depth = map.pixelSize;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        problems.push_back("depth " + std::to_string(depth) + " is not 1, 2, 4 or 8 bits");
    } else if (std::size_t{map.rowBytes} * 8 < std::size_t{map.width} * depth) {
        problems.push_back("rows of " + std::to_string(map.rowBytes) + " bytes cannot hold " +
                           std::to_string(map.width) + " pixels");
    }
    if (map.rowBytes % 2 != 0) {
        problems.push_back("rowBytes " + std::to_string(map.rowBytes) + " is odd");
    }
    if ((map.flags & ~(mapdb::kCompressed | mapdb::kHasColorTable)) != 0) {
        problems.push_back("flag bits other than compressed and color table are set");
    }
    if (map.version != 2) {
        problems.push_back("bitmap version " + std::to_string(map.version) + " is not 2");
    }
    const std::size_t held = map.data.size();
    const std::size_t expected = mapdb::GetBitmapDataSize(map);
    if (held < expected) {
        problems.push_back("data holds " + std::to_string(held) + " bytes, " + std::to_string(expected) +
                           " expected");
    } else if (held > expected) {
        problems.push_back("data holds " + std::to_string(held - expected) + " bytes more than the " +
                           std::to_string(expected) + " expected");
    }
    if (mapdb::GetRecordSize(map) > kRecordLimit) {
        problems.push_back("the record of " + std::to_string(mapdb::GetRecordSize(map)) +
                           " bytes is larger than the 65536 a map may take");
    }
    if (map.width > kMaxDrawnSide || map.height > kMaxDrawnSide) {
        problems.push_back(std::to_string(map.width) + " x " + std::to_string(map.height) +
                           " pixels: the handheld cannot draw a side over 32767");
    }
    if (map.IsCompressed() && held >= expected && !palm::ExpandScanLines(map)) {
        problems.push_back("compressed rows do not expand to " + std::to_string(map.rowBytes) + " x " +
                           std::to_string(map.height) + " bytes");
    }
    return problems;
}

}  // namespace view

#include "MapDisplay.h"

#include <cstdio>
#include <cstdlib>

namespace view {

std::string DepthText(std::uint8_t pixelSize) {
    switch (pixelSize) {
        case 1: return "1 bit";
        case 2: return "2 bits";
        case 4: return "4 bits";
        case 8: return "8 bits";
        default: return "Error";
    }
}

float MemoryKB(const mapdb::MapRecord& map) {
    return static_cast<float>(mapdb::GetRecordSize(map) * (1.0 / 1024));
}

std::string FormatFloat(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::int32_t ParseDegrees(const std::string& text) {
    return DegreesToUnits(std::atof(text.c_str()));
}

}  // namespace view

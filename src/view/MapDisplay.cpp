#include "MapDisplay.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

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

std::string FormatDegrees(std::int32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", value * (1.0 / 3600000));
    return text;
}

std::int32_t DegreesToUnits(double degrees) {
    double product = degrees * 3600000.0;
    if (std::isnan(product)) {
        return 0;
    }
    if (product >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (product <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(product);
}

std::int32_t ParseDegrees(const std::string& text) {
    return DegreesToUnits(std::atof(text.c_str()));
}

}  // namespace view

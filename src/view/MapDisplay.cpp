#include "MapDisplay.h"

#include <charconv>

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
    // As "%g" shows it, with a decimal point whatever the process's locale.
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

std::string WithThousands(std::size_t number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::int32_t ParseDegrees(const std::string& text) {
    return DegreesToUnits(mapdb::ReadDecimal(text));
}

}  // namespace view

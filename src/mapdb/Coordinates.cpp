#include "Coordinates.h"

#include <charconv>
#include <cstdlib>
#include <locale.h>

namespace mapdb {

std::string FormatDegrees(std::int32_t value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value * (1.0 / kUnitsPerDegree), std::chars_format::fixed, 5);
    return std::string(text, result.ptr);
}

double ReadDecimal(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return cLocale != locale_t{} ? strtod_l(text.c_str(), nullptr, cLocale) : std::strtod(text.c_str(), nullptr);
}

}  // namespace mapdb

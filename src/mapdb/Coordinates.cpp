#include "Coordinates.h"

#include <charconv>
#include <cstdlib>
#include <locale.h>
#include <string_view>

namespace mapdb {

namespace {

// Moves `at` past the digits there; how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        ++at;
    }
    return at - start;
}

// The longest start of `text` that is a decimal number: [+|-]digits[.digits]
// (or .digits, or digits.) and an exponent when digits follow its letter. Empty
// when there is none, so that hexadecimal numbers, "inf" and "nan" read as 0.
std::string_view DecimalNumber(std::string_view text) {
    std::size_t end = 0;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) {
        ++end;
    }
    std::size_t digits = SkipDigits(text, end);
    if (end < text.size() && text[end] == '.') {
        std::size_t afterPoint = end + 1;
        digits += SkipDigits(text, afterPoint);
        if (digits != 0) {
            end = afterPoint;
        }
    }
    if (digits == 0) {
        return {};
    }
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            ++exponent;
        }
        if (SkipDigits(text, exponent) != 0) {
            end = exponent;
        }
    }
    return text.substr(0, end);
}

}  // namespace

std::string FormatDegrees(std::int32_t value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value * (1.0 / kUnitsPerDegree), std::chars_format::fixed, 5);
    return std::string(text, result.ptr);
}

double ReadDecimal(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
    if (start == std::string::npos) {
        return 0;
    }
    const std::string number(DecimalNumber(std::string_view(text).substr(start)));
    if (number.empty()) {
        return 0;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return cLocale != locale_t{} ? strtod_l(number.c_str(), nullptr, cLocale) : std::strtod(number.c_str(), nullptr);
}

}  // namespace mapdb

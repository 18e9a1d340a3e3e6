#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace mapdb {

// Corner coordinates are counts of milliseconds of arc: 3,600,000 to the degree.
constexpr double kUnitsPerDegree = 3600000.0;

// Truncates toward zero to a signed 32-bit value; values beyond the range are
// clamped to its nearest end, and NaN gives 0.
inline std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

// Degrees times 3,600,000 truncated toward zero, clamped to the 32-bit range.
inline std::int32_t DegreesToUnits(double degrees) {
    return TruncateToInt32(degrees * kUnitsPerDegree);
}

// A corner value in degrees with five decimals ("48.85000", "-10.00000"),
// with a decimal point whatever the process's locale.
std::string FormatDegrees(std::int32_t value);

// The decimal number at the start of `text`, read leniently: leading blanks,
// then [+|-]digits[.digits][(e|E)[+|-]digits], up to the first character
// that does not fit; 0 when there is none (so also for hexadecimal numbers,
// "inf" and "nan"). Read the same whatever the process's locale.
double ReadDecimal(const std::string& text);

}  // namespace mapdb

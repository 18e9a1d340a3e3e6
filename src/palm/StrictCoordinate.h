#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Result.h"

namespace palm {

enum class Axis { kLatitude, kLongitude };

// A latitude or longitude given on the command line, in milliseconds of arc,
// read strictly. The whole text must be
//   [N|S|+|-] DEGREES [MINUTES [SECONDS]] [N|S]     (E and W for a longitude)
// with at most one sign or hemisphere letter (any case), a sign right before
// the degrees, the numbers separated by blanks and the signs ° º ' " ′ ″
// (UTF-8, or ° and º in Latin-1), decimals on the last number only, minutes
// and seconds below 60, and at most 90 degrees north or south (180 east or
// west). The value is computed in double precision
// from the decimal digits, so that a value of whole milliseconds comes out
// whole, and truncated toward zero. Otherwise an error that quotes the text and
// says why it cannot be read.
platform::Result<std::int32_t> ReadCoordinate(std::string_view text, Axis axis);

}  // namespace palm

// Fuzz target: a corner typed in the coordinates dialog, and the same text
// given on the command line. The first byte chooses the axis: a latitude, a
// longitude, or (for the dialog's reading only) no hemisphere letters.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "palm/MapLoader.h"
#include "palm/StrictCoordinate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    static const char* const kLetters[] = {"Ss", "Ww", ""};
    const unsigned choice = input.Byte() % 3;
    const char* letters = kLetters[choice];
    std::string text(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    std::int32_t value = palm::ParseCoordinate(text, letters);
    // A minus sign before degrees that start the text gives the opposite value.
    const bool startsWithDegrees =
        !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 || text[0] == '.');
    if (startsWithDegrees) {
        std::int32_t negative = palm::ParseCoordinate("-" + text, letters);
        fuzzing::Require(value == INT32_MIN || negative == INT32_MIN || negative == -value);
    }
    if (choice == 2) {
        return 0;
    }
    // What the strict reading takes, it takes within range, and as the dialog
    // reads it but for the dialog's single-precision rounding.
    const palm::Axis axis = choice == 0 ? palm::Axis::kLatitude : palm::Axis::kLongitude;
    const auto strict = palm::ReadCoordinate(text, axis);
    if (strict) {
        const std::int64_t limit = (choice == 0 ? 90 : 180) * std::int64_t{3600000};
        fuzzing::Require(std::llabs(*strict) <= limit);
        fuzzing::Require(std::llabs(std::int64_t{*strict} - value) <= 64);
        // With a minus sign before it, it is the opposite value, or refused
        // when it has a hemisphere letter as well.
        if (startsWithDegrees) {
            const auto negative = palm::ReadCoordinate("-" + text, axis);
            fuzzing::Require(!negative || *negative == -*strict);
        }
    }
    return 0;
}

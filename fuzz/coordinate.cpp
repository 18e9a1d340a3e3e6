// Fuzz target: a corner typed in the coordinates dialog. The first byte
// chooses the letters that make it negative: those of a latitude, of a
// longitude, or none.
#include <cctype>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "palm/MapLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    static const char* const kLetters[] = {"Ss", "Ww", ""};
    const char* letters = kLetters[input.Byte() % 3];
    std::string text(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    std::int32_t value = palm::ParseCoordinate(text, letters);
    // A minus sign before degrees that start the text gives the opposite value.
    if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 || text[0] == '.')) {
        std::int32_t negative = palm::ParseCoordinate("-" + text, letters);
        fuzzing::Require(value == INT32_MIN || negative == INT32_MIN || negative == -value);
    }
    return 0;
}

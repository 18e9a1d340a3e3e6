#include "StrictCoordinate.h"

#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "mapdb/Coordinates.h"

namespace palm {

namespace {

using platform::Error;
using platform::Result;

// What may stand between the numbers and after the last one: blanks, and the
// signs of degrees (° º), minutes (' ′) and seconds (" ″), in UTF-8 or Latin-1.
constexpr std::array<std::string_view, 10> kSeparators = {
    " ", "\t", "\xC2\xB0", "\xC2\xBA", "'", "\"", "\xE2\x80\xB2", "\xE2\x80\xB3", "\xB0", "\xBA"};

// Degrees, minutes and seconds: their names and the milliseconds of arc in one.
constexpr std::array<const char*, 3> kNumberNames = {"degrees", "minutes", "seconds"};
constexpr std::array<double, 3> kUnitsPerNumber = {mapdb::kUnitsPerDegree, 60000.0, 1000.0};

// Fraction digits beyond these change a value by less than 1e-10 millisecond of arc.
constexpr std::size_t kFractionDigits = 17;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

struct Number {
    std::string_view whole;     // the digits before the point
    std::string_view fraction;  // the digits after it
    bool hasPoint = false;
};

// A sign, or a hemisphere letter as typed.
struct Marker {
    char symbol;
    bool negative;
};

// The value of a run of digits; infinite when it is beyond the double range.
double WholeValue(std::string_view digits) {
    double value = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc::result_out_of_range) {
        return std::numeric_limits<double>::infinity();
    }
    return value;
}

// The fraction 0.DIGITS times `units`, as digits / 10^n times units: without
// trailing zeros, a fraction that makes whole milliseconds has at most seven
// digits, so both the product and the division are exact for it.
double FractionUnits(std::string_view digits, double units) {
    digits = digits.substr(0, std::min(digits.size(), kFractionDigits));
    while (!digits.empty() && digits.back() == '0') {
        digits.remove_suffix(1);
    }
    double scale = 1;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        scale *= 10;
    }
    return WholeValue(digits) * units / scale;
}

class CoordinateReader {
public:
    CoordinateReader(std::string_view text, Axis axis) : text(text), axis(axis) {}

    Result<std::int32_t> Read() {
        SkipBlanks();
        if (AtEnd()) {
            return Refuse("the text is empty");
        }
        std::optional<Marker> marker;
        while (!AtEnd()) {
            auto next = NextMarker(true);
            if (!next) {
                return next.error();
            }
            if (!*next) {
                break;
            }
            if (marker) {
                return Both(*marker, **next);
            }
            marker = *next;
            // A sign stands right before the degrees: the dialog would read
            // "- 2" as minus two minutes.
            if (marker->symbol != '+' && marker->symbol != '-') {
                SkipBlanks();
            }
        }
        std::vector<Number> numbers;
        for (;;) {
            if (numbers.size() == kNumberNames.size()) {
                return Refuse("it has more than three numbers (degrees, minutes, seconds)");
            }
            std::optional<Number> number = NextNumber();
            if (!number) {
                return AtEnd() ? Refuse("it has no degrees") : Unreadable();
            }
            numbers.push_back(*number);
            const bool separated = SkipSeparators();
            if (AtEnd()) {
                break;
            }
            const char next = text[at];
            if (separated && (IsDigit(next) || next == '.')) {
                continue;
            }
            if (next == ',') {
                return Refuse("decimals take a point, not a comma");
            }
            if (next == '-' && numbers.size() < kNumberNames.size()) {
                return Refuse(std::string(kNumberNames[numbers.size()]) + " cannot be negative");
            }
            auto suffix = NextMarker(false);
            if (!suffix) {
                return suffix.error();
            }
            if (!*suffix) {
                return Unreadable();
            }
            if (marker) {
                return Both(*marker, **suffix);
            }
            marker = *suffix;
            SkipBlanks();
            if (!AtEnd()) {
                return Unreadable();
            }
            break;
        }
        return Value(numbers, marker && marker->negative);
    }

private:
    const char* AxisName() const { return axis == Axis::kLatitude ? "latitude" : "longitude"; }

    // Built by appending: `"..." + std::string` trips a false -Wrestrict in GCC 12.
    Error Refuse(std::string_view why) const {
        std::string message = "\"";
        message.append(text).append("\" is not a ").append(AxisName()).append(": ").append(why);
        return Error{message};
    }

    Error Unreadable() const {
        const char* form = axis == Axis::kLatitude ? "[N|S|+|-] DEGREES [MINUTES [SECONDS]] [N|S]"
                                                   : "[E|W|+|-] DEGREES [MINUTES [SECONDS]] [E|W]";
        std::string why = "\"";
        why.append(text.substr(at)).append("\" cannot be read; a ").append(AxisName()).append(" is written ").append(form);
        return Refuse(why);
    }

    Error Both(const Marker& first, const Marker& second) const {
        return Refuse(std::string("it has both \"") + first.symbol + "\" and \"" + second.symbol +
                      "\"; give one sign or hemisphere letter");
    }

    bool AtEnd() const { return at == text.size(); }

    void SkipBlanks() {
        while (!AtEnd() && (text[at] == ' ' || text[at] == '\t')) {
            ++at;
        }
    }

    // Moves past the separators here; whether there were any.
    bool SkipSeparators() {
        const std::size_t start = at;
        for (bool found = true; found;) {
            found = false;
            for (std::string_view separator : kSeparators) {
                if (text.substr(at).starts_with(separator)) {
                    at += separator.size();
                    found = true;
                    break;
                }
            }
        }
        return at != start;
    }

    std::string_view Digits() {
        const std::size_t start = at;
        while (!AtEnd() && IsDigit(text[at])) {
            ++at;
        }
        return text.substr(start, at - start);
    }

    // digits[.digits], .digits or digits.
    std::optional<Number> NextNumber() {
        const std::size_t start = at;
        Number number;
        number.whole = Digits();
        if (!AtEnd() && text[at] == '.') {
            ++at;
            number.hasPoint = true;
            number.fraction = Digits();
        }
        if (number.whole.empty() && number.fraction.empty()) {
            at = start;
            return std::nullopt;
        }
        return number;
    }

    // The sign (before the degrees only) or the hemisphere letter here, if
    // there is one: a letter standing alone, and after the numbers not followed
    // by a digit ("1e5" has none). A letter of the other axis is refused.
    Result<std::optional<Marker>> NextMarker(bool beforeDegrees) {
        const char c = text[at];
        if (beforeDegrees && (c == '+' || c == '-')) {
            ++at;
            return std::optional(Marker{c, c == '-'});
        }
        const bool alone = IsLetter(c) && (at + 1 == text.size() || !IsLetter(text[at + 1]));
        if (!alone || (!beforeDegrees && at + 1 < text.size() && (IsDigit(text[at + 1]) || text[at + 1] == '.'))) {
            return std::optional<Marker>();
        }
        const std::string_view own = axis == Axis::kLatitude ? "NS" : "EW";
        const std::string_view other = axis == Axis::kLatitude ? "EW" : "NS";
        const char letter = Upper(c);
        if (other.find(letter) != std::string_view::npos) {
            return Refuse(std::string(1, c) + " is a " + (axis == Axis::kLatitude ? "longitude" : "latitude") +
                          "'s hemisphere; a " + AxisName() + " takes " + own[0] + " or " + own[1]);
        }
        if (own.find(letter) == std::string_view::npos) {
            return std::optional<Marker>();
        }
        ++at;
        return std::optional(Marker{c, letter == own[1]});
    }

    Result<std::int32_t> Value(const std::vector<Number>& numbers, bool negative) const {
        double units = 0;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (numbers[i].hasPoint && i + 1 < numbers.size()) {
                return Refuse("only the last number may have decimals");
            }
            const double whole = WholeValue(numbers[i].whole);
            if (i > 0 && whole >= 60) {
                return Refuse(std::string(kNumberNames[i]) + " must be less than 60");
            }
            units += whole * kUnitsPerNumber[i] + FractionUnits(numbers[i].fraction, kUnitsPerNumber[i]);
        }
        const int limit = axis == Axis::kLatitude ? 90 : 180;
        if (units > limit * mapdb::kUnitsPerDegree) {
            return Refuse("it is beyond " + std::to_string(limit) + " degrees");
        }
        return mapdb::TruncateToInt32(negative ? -units : units);
    }

    std::string_view text;
    Axis axis;
    std::size_t at = 0;
};

}  // namespace

Result<std::int32_t> ReadCoordinate(std::string_view text, Axis axis) {
    return CoordinateReader(text, axis).Read();
}

}  // namespace palm

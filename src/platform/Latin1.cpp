#include "Latin1.h"

#include <cstddef>

namespace platform {

namespace {

// Characters outside Latin-1 written as other letters, by ranges of code points.
struct Replacement {
    char32_t first;
    char32_t last;
    std::string_view text;
};
constexpr Replacement kReplacements[] = {
    {0x0132, 0x0132, "IJ"}, {0x0133, 0x0133, "ij"}, {0x0152, 0x0152, "OE"}, {0x0153, 0x0153, "oe"},
    {0x0218, 0x0218, "S"},  {0x0219, 0x0219, "s"},  {0x021A, 0x021A, "T"},  {0x021B, 0x021B, "t"},
    {0x2010, 0x2015, "-"},  {0x2018, 0x201B, "'"},  {0x201C, 0x201F, "\""},
};

// The letters of Latin Extended-A, U+0100 to U+017F, without their marks.
constexpr char32_t kExtendedAFirst = 0x0100;
constexpr std::string_view kExtendedA =
    "AaAaAaCcCcCcCcDd"
    "DdEeEeEeEeEeGgGg"
    "GgGgHhHhIiIiIiIi"
    "IiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOo"
    "OoOoRrRrRrSsSsSs"
    "SsTtTtTtUuUuUuUu"
    "UuUuWwYyYZzZzZzs";

// The letters of Latin-1 that are an ASCII letter and a combining mark:
// `bases[k]` followed by `mark` is `letters[k]`.
struct Composition {
    char32_t mark;
    std::string_view bases;
    std::string_view letters;
};
constexpr Composition kCompositions[] = {
    {0x0300, "AEIOUaeiou", "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},
    {0x0301, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
    {0x0302, "AEIOUaeiou", "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},
    {0x0303, "ANOano", "\xC3\xD1\xD5\xE3\xF1\xF5"},
    {0x0308, "AEIOUaeiouy", "\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF"},
    {0x030A, "Aa", "\xC5\xE5"},
    {0x0327, "Cc", "\xC7\xE7"},
};
constexpr char32_t kFirstMark = 0x0300;
constexpr char32_t kLastMark = 0x036F;

struct Decoded {
    char32_t code = 0;
    std::size_t length = 0;  // 0: the first byte begins no well-formed sequence
};

// The well-formed UTF-8 sequence at the start of `text`: no overlong forms,
// no surrogates, nothing beyond U+10FFFF.
Decoded DecodeFirst(std::string_view text) {
    const auto byte = [text](std::size_t i) -> char32_t {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    };
    const char32_t lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead < 0xC2 || lead > 0xF4) {
        return {};
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    // After E0, ED, F0 and F4 the second byte's range is narrower.
    const char32_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const char32_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    char32_t code = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const char32_t next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return {};
        }
        code = (code << 6) | (next & 0x3F);
    }
    return {code, length};
}

// Appends `code`, a character outside Latin-1, by the rules of Utf8ToLatin1;
// `previous` is the character before it.
void AppendOutside(std::string& out, char32_t code, char32_t previous) {
    for (const Replacement& replacement : kReplacements) {
        if (code >= replacement.first && code <= replacement.last) {
            out += replacement.text;
            return;
        }
    }
    if (code >= kExtendedAFirst && code - kExtendedAFirst < kExtendedA.size()) {
        out += kExtendedA[code - kExtendedAFirst];
        return;
    }
    if (code >= kFirstMark && code <= kLastMark) {
        if (previous >= 0x80 || out.empty()) {
            return;
        }
        for (const Composition& composition : kCompositions) {
            const std::size_t k = composition.mark == code ? composition.bases.find(out.back()) : std::string_view::npos;
            if (k != std::string_view::npos) {
                out.back() = composition.letters[k];
            }
        }
        return;
    }
    out += '?';
}

}  // namespace

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    char32_t previous = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        Decoded decoded = DecodeFirst(utf8.substr(at));
        if (decoded.length == 0) {
            decoded = {static_cast<unsigned char>(utf8[at]), 1};
        }
        if (decoded.code <= 0xFF) {
            out += static_cast<char>(decoded.code);
        } else {
            AppendOutside(out, decoded.code, previous);
        }
        previous = decoded.code;
        at += decoded.length;
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace platform

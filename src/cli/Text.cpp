// The small pieces of text the commands print.
#include <cstdio>

#include "Cli.h"
#include "platform/Latin1.h"

namespace cli {

std::string Counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + ' ' + noun + (count == 1 ? "" : "s");
}

std::string NameField(const std::string& latin1) {
    std::string escaped;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                // The C0 and C1 controls and DEL: Latin-1's characters that show nothing.
                if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                    escaped += hex;
                } else {
                    escaped += c;
                }
        }
    }
    return platform::Latin1ToUtf8(escaped);
}

}  // namespace cli

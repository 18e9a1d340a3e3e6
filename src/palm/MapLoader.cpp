#include "MapLoader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <string_view>

#include "mapdb/Coordinates.h"
#include "palm/PalmBitmap.h"
#include "platform/Files.h"
#include "platform/Latin1.h"

namespace palm {

namespace {

// Side-file lines are short; the rest of a longer line is not read.
constexpr std::size_t kMaxSideLine = 4096;
// A side file holds two short lines; a larger file is none.
constexpr std::uint64_t kMaxSideFileSize = 1 << 20;

constexpr std::string_view kNumberCharacters = "1234567890.-";
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

float ToSingle(double value) {
    // Beyond the float range the conversion is undefined; the typed value means "infinite".
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

std::string Trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(kWhiteSpace);
    return std::string(text.substr(first, last - first + 1));
}

// The next line of `text` without its line break (LF or CR LF), cut to
// kMaxSideLine characters; `text` moves on past it.
std::string NextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, std::min(end, kMaxSideLine));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return std::string(line);
}

// The two corner values of one side-file line.
std::pair<std::int32_t, std::int32_t> ParseSideLine(const std::string& line) {
    std::string_view text = line;
    std::size_t comma = text.find(',');
    std::string_view first = text.substr(0, comma);
    std::string_view rest = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    std::string_view second = rest.substr(0, rest.find(','));
    return {mapdb::DegreesToUnits(mapdb::ReadDecimal(Trim(first))), mapdb::DegreesToUnits(mapdb::ReadDecimal(Trim(second)))};
}

}  // namespace

std::string MapNameFromPath(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return platform::Utf8ToLatin1(name).substr(0, mapdb::kMaxMapNameLength);
}

std::string SideFilePath(const std::string& path) {
    return path.substr(0, path.size() >= 3 ? path.size() - 3 : 0) + "txt";
}

std::int32_t ParseCoordinate(const std::string& text, const std::string& negativeLetters) {
    std::size_t position = 0;
    bool negativeDegrees = false;
    // Skips separators, then reads the run of number characters that follows.
    auto nextNumber = [&](bool* startsWithMinus) {
        while (position < text.size() && kNumberCharacters.find(text[position]) == std::string_view::npos) {
            ++position;
        }
        std::size_t begin = position;
        while (position < text.size() && kNumberCharacters.find(text[position]) != std::string_view::npos) {
            ++position;
        }
        if (startsWithMinus != nullptr) {
            *startsWithMinus = begin < text.size() && text[begin] == '-';
        }
        return ToSingle(mapdb::ReadDecimal(text.substr(begin, position - begin)));
    };
    const float degrees = nextNumber(&negativeDegrees);
    const float minutes = nextNumber(nullptr);
    const float seconds = nextNumber(nullptr);

    double total = std::fabs(static_cast<double>(degrees)) * mapdb::kUnitsPerDegree +
                   static_cast<double>(minutes) * 60000.0 + static_cast<double>(seconds) * 1000.0;
    if (negativeDegrees) {
        total = -total;
    }
    if (!negativeLetters.empty() && text.find_first_of(negativeLetters) != std::string::npos) {
        total = -total;
    }
    return mapdb::TruncateToInt32(total);
}

void PlaceMap(mapdb::MapRecord& map, const Corners& corners) {
    map.topLeftLat = corners.topLeftLat;
    map.topLeftLon = corners.topLeftLon;
    map.bottomRightLat = corners.bottomRightLat;
    map.bottomRightLon = corners.bottomRightLon;
}

Corners CornersOf(const mapdb::MapRecord& map) {
    return {map.topLeftLat, map.topLeftLon, map.bottomRightLat, map.bottomRightLon};
}

Result<std::vector<std::uint8_t>> ReadBitmapFile(const std::string& path) {
    auto bytes = platform::ReadWholeFile(path, kMaxBitmapFileSize);
    if (!bytes) {
        return bytes.error().code == EFBIG ? UnsupportedFormat() : platform::FileError("Cannot open", path, bytes.error());
    }
    return bytes;
}

Result<std::optional<Corners>> ReadSideFile(const std::string& path) {
    auto text = platform::ReadWholeFile(path, kMaxSideFileSize);
    if (!text) {
        const int error = text.error().code;
        if (error == ENOENT || error == ENOTDIR) {
            return std::optional<Corners>();
        }
        return platform::FileError("Cannot open", path, text.error());
    }
    return std::optional(ReadSideText(std::string_view(reinterpret_cast<const char*>(text->data()), text->size())));
}

Corners ReadSideText(std::string_view text) {
    auto [topLeftLat, topLeftLon] = ParseSideLine(NextLine(text));
    auto [bottomRightLat, bottomRightLon] = ParseSideLine(NextLine(text));
    return {topLeftLat, topLeftLon, bottomRightLat, bottomRightLon};
}

CornerTexts ProposedCorners() {
    return {"N 10", "W 10", mapdb::FormatDegrees(-36000000), mapdb::FormatDegrees(36000000)};
}

Corners ParseCorners(const CornerTexts& texts) {
    return {ParseCoordinate(texts.topLeftLatitude, "Ss"), ParseCoordinate(texts.topLeftLongitude, "Ww"),
            ParseCoordinate(texts.bottomRightLatitude, "Ss"), ParseCoordinate(texts.bottomRightLongitude, "Ww")};
}

}  // namespace palm

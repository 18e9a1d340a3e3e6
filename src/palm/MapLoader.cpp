#include "MapLoader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <stdlib.h>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "mapdb/Coordinates.h"
#include "palm/PalmBitmap.h"
#include "palm/PalmDialogs.h"

namespace palm {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// No picture a map can be made of comes near this size: 65,535 rows of 65,536 bytes and headers.
constexpr std::uint64_t kMaxPictureFileSize = (std::uint64_t{1} << 32) + (std::uint64_t{1} << 20);
// Side-file lines are short; the rest of a longer line is not read.
constexpr std::size_t kMaxSideLine = 4096;

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

// One line without its line break (LF or CR LF), its characters taken from
// `next` (EOF at the end); false when there were none.
template <class NextChar>
bool ReadLine(NextChar next, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = next()) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (line.size() < kMaxSideLine) {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
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

// Sets the corners from the two lines of a side file.
void SetCorners(mapdb::MapRecord& map, const std::string& first, const std::string& second) {
    auto [topLeftLat, topLeftLon] = ParseSideLine(first);
    auto [bottomRightLat, bottomRightLon] = ParseSideLine(second);
    map.topLeftLat = topLeftLat;
    map.topLeftLon = topLeftLon;
    map.bottomRightLat = bottomRightLat;
    map.bottomRightLon = bottomRightLon;
}

enum class SideFile { kRead, kMissing, kUnreadable };

SideFile ReadSideFileAt(mapdb::MapRecord& map, const std::string& path, int& error) {
    File file(std::fopen(path.c_str(), "r"), &std::fclose);
    if (!file) {
        error = errno;
        return error == ENOENT || error == ENOTDIR ? SideFile::kMissing : SideFile::kUnreadable;
    }
    auto next = [&file] { return std::fgetc(file.get()); };
    std::string first;
    std::string second;
    ReadLine(next, first);
    ReadLine(next, second);
    if (std::ferror(file.get())) {
        error = errno != 0 ? errno : EIO;
        return SideFile::kUnreadable;
    }
    SetCorners(map, first, second);
    return SideFile::kRead;
}

// Sets the corners of a converted map from its side file, or when there is
// none from the coordinates dialog. `readSide` reads the side file; a side
// file that cannot be read leaves the map without data.
template <class ReadSide>
void PlaceMap(mapdb::MapRecord& map, ReadSide readSide) {
    if (!map.data) {
        return;
    }
    switch (readSide(map)) {
        case SideFile::kRead:
            return;
        case SideFile::kUnreadable:
            map.data.reset();
            return;
        case SideFile::kMissing:
            break;
    }

    // 10° N 10° W to 10° S 10° E until the user says otherwise.
    map.topLeftLat = 36000000;
    map.topLeftLon = -36000000;
    map.bottomRightLat = -36000000;
    map.bottomRightLon = 36000000;
    CCoordinatesDlg dialog;
    dialog.topLeftLatitude = "N 10";
    dialog.topLeftLongitude = "W 10";
    dialog.bottomRightLatitude = mapdb::FormatDegrees(map.bottomRightLat);
    dialog.bottomRightLongitude = mapdb::FormatDegrees(map.bottomRightLon);
    platform::GetUserInterface().DoModal(dialog);

    map.topLeftLat = ParseCoordinate(dialog.topLeftLatitude, "Ss");
    map.bottomRightLat = ParseCoordinate(dialog.bottomRightLatitude, "Ss");
    map.topLeftLon = ParseCoordinate(dialog.topLeftLongitude, "Ww");
    map.bottomRightLon = ParseCoordinate(dialog.bottomRightLongitude, "Ww");
}

// The whole file as bytes; none with `error` set when it cannot be read, and
// EFBIG when it is larger than any picture a map can be made of.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, int& error) {
    File file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = errno;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = EISDIR;
            return std::nullopt;
        }
        if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > kMaxPictureFileSize) {
            error = EFBIG;
            return std::nullopt;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        // The size the file has now in one read; whatever it gains meanwhile in pieces below.
        bytes.resize(static_cast<std::size_t>(info.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
        if (std::ferror(file.get())) {
            error = errno != 0 ? errno : EIO;
            return std::nullopt;
        }
    }
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (bytes.size() + got > kMaxPictureFileSize) {
            error = EFBIG;
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) {
        error = errno != 0 ? errno : EIO;
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::string MapNameFromPath(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name.substr(0, mapdb::kMaxMapNameLength);
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

bool ReadSideFile(mapdb::MapRecord& map, const std::string& path) {
    int error = 0;
    return ReadSideFileAt(map, path, error) == SideFile::kRead;
}

void ReadSideText(mapdb::MapRecord& map, std::string_view text) {
    std::size_t at = 0;
    auto next = [&] { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; };
    std::string first;
    std::string second;
    ReadLine(next, first);
    ReadLine(next, second);
    SetCorners(map, first, second);
}

void LoadMapFromBmp(mapdb::MapRecord& map, const std::string& path) {
    int error = 0;
    auto bytes = ReadWholeFile(path, error);
    if (!bytes) {
        if (error == EFBIG) {
            ShowUnsupportedFormat();
        } else {
            ShowFileError("Cannot open", path, error);
        }
        return;
    }
    map.SetName(MapNameFromPath(path));
    BuildPalmBitmap(map, bytes->data(), bytes->size());
    bytes.reset();
    PlaceMap(map, [&path](mapdb::MapRecord& placed) {
        const std::string sidePath = SideFilePath(path);
        int sideError = 0;
        SideFile side = ReadSideFileAt(placed, sidePath, sideError);
        if (side == SideFile::kUnreadable) {
            ShowFileError("Cannot open", sidePath, sideError);
        }
        return side;
    });
}

void LoadMapFromBmpBytes(mapdb::MapRecord& map, const std::string& path, const std::uint8_t* bytes,
                         std::size_t length, const std::optional<std::string>& sideText) {
    map.SetName(MapNameFromPath(path));
    BuildPalmBitmap(map, bytes, length);
    PlaceMap(map, [&sideText](mapdb::MapRecord& placed) {
        if (!sideText) {
            return SideFile::kMissing;
        }
        ReadSideText(placed, *sideText);
        return SideFile::kRead;
    });
}

}  // namespace palm

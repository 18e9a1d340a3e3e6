#include "Sidecars.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <strings.h>

namespace geo {

namespace {

namespace fs = std::filesystem;

constexpr const char* kWorldFileExtensions[] = {"wld", "tfw", "tifw", "tiffw", "pgw", "pngw", "jgw", "jpgw",
                                                "jpegw", "gfw", "gifw", "bpw", "bmpw"};

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string InCapitals(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

}  // namespace

bool IsTiff(std::span<const std::uint8_t> file) {
    if (file.size() < 4) {
        return false;
    }
    const bool little = file[0] == 'I' && file[1] == 'I' && (file[2] == 42 || file[2] == 43) && file[3] == 0;
    const bool big = file[0] == 'M' && file[1] == 'M' && file[2] == 0 && (file[3] == 42 || file[3] == 43);
    return little || big;
}

bool IsWorldFile(const std::string& path) {
    const std::string extension = fs::path(path).extension().string();
    return std::any_of(std::begin(kWorldFileExtensions), std::end(kWorldFileExtensions), [&](const char* known) {
        return extension.size() > 1 && ::strcasecmp(extension.c_str() + 1, known) == 0;
    });
}

std::optional<std::string> CalibrationFor(const std::string& picture) {
    const fs::path path(picture);
    for (const char* extension : {".map", ".MAP"}) {
        const fs::path map = fs::path(path).replace_extension(extension);
        if (!IsFile(map)) {
            continue;
        }
        std::ifstream in(map);
        std::string line;
        if (!std::getline(in, line) || line.rfind("OziExplorer Map Data File", 0) != 0 || !std::getline(in, line) ||
            !std::getline(in, line)) {
            continue;
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        // The picture's name as the calibration gives it, often a Windows path.
        const std::string named = line.substr(line.find_last_of("\\/") + 1);
        if (::strcasecmp(named.c_str(), path.filename().c_str()) == 0) {
            return map.string();
        }
    }
    return std::nullopt;
}

bool MayBeGeoreferenced(const std::string& path, std::span<const std::uint8_t> file) {
    if (IsTiff(file) || IsFile(path + ".aux.xml") || CalibrationFor(path)) {
        return true;
    }
    // The world file names GDAL looks for, in small letters or in capitals.
    return std::any_of(std::begin(kWorldFileExtensions), std::end(kWorldFileExtensions), [&](const char* extension) {
        return IsFile(fs::path(path).replace_extension(extension)) ||
               IsFile(fs::path(path).replace_extension(InCapitals(extension)));
    });
}

}  // namespace geo

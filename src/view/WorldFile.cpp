#include "WorldFile.h"

#include <algorithm>
#include <charconv>

#include "image/Picture.h"
#include "mapdb/Coordinates.h"
#include "platform/Files.h"

namespace view {

namespace {

// The shortest decimal that reads back as `value`, never with an exponent.
std::string FormatDecimal(double value) {
    char text[400];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

platform::ByteSpan BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string SidecarPath(const std::string& picturePath, std::string_view extension) {
    const std::size_t dot = picturePath.rfind('.');
    const std::size_t slash = picturePath.rfind('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? picturePath.substr(0, dot) : picturePath;
    const std::string current = hasExtension ? picturePath.substr(dot + 1) : std::string();
    const bool capitals = std::any_of(current.begin(), current.end(), [](char c) { return c >= 'A' && c <= 'Z'; }) &&
                          std::none_of(current.begin(), current.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    std::string replaced(extension);
    if (capitals) {
        std::transform(replaced.begin(), replaced.end(), replaced.begin(),
                       [](char c) { return static_cast<char>(c - 'a' + 'A'); });
    }
    return stem + "." + replaced;
}

std::string WorldFilePath(const std::string& picturePath) {
    switch (image::TypeFromExtension(image::FindExtension(picturePath))) {
        case image::IMAGE_BMP:
            return SidecarPath(picturePath, "bpw");
        case image::IMAGE_GIF:
            return SidecarPath(picturePath, "gfw");
        case image::IMAGE_JPG:
            return SidecarPath(picturePath, "jgw");
        case image::IMAGE_PNG:
            return SidecarPath(picturePath, "pgw");
        default:
            return SidecarPath(picturePath, "wld");
    }
}

std::string WorldFileText(const mapdb::MapRecord& map) {
    const double pixelWidth = (static_cast<double>(map.bottomRightLon) - map.topLeftLon) /
                              (mapdb::kUnitsPerDegree * map.width);
    const double pixelHeight = (static_cast<double>(map.topLeftLat) - map.bottomRightLat) /
                               (mapdb::kUnitsPerDegree * map.height);
    const double centreLon = map.topLeftLon / mapdb::kUnitsPerDegree + pixelWidth / 2;
    const double centreLat = map.topLeftLat / mapdb::kUnitsPerDegree - pixelHeight / 2;
    return FormatDecimal(pixelWidth) + "\n0\n0\n" + FormatDecimal(-pixelHeight) + "\n" + FormatDecimal(centreLon) +
           "\n" + FormatDecimal(centreLat) + "\n";
}

platform::Result<void> WriteGeoreferencing(const mapdb::MapRecord& map, const std::string& picturePath) {
    const std::string world = WorldFileText(map);
    if (auto written = platform::WriteWholeFile(WorldFilePath(picturePath), {BytesOf(world)}); !written) {
        return written;
    }
    if (auto written = platform::WriteWholeFile(SidecarPath(picturePath, "prj"), {BytesOf(kWgs84Prj)}); !written) {
        return written;
    }
    return platform::WriteWholeFile(picturePath + ".aux.xml", {BytesOf(kWgs84AuxXml)});
}

}  // namespace view

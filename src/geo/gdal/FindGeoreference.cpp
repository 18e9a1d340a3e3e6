#include "FindGeoreference.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>

#include "Gdal.h"
#include "geo/Sidecars.h"
#include "mapdb/Coordinates.h"
#include "platform/Files.h"

namespace geo::gdal {

namespace {

namespace fs = std::filesystem;

bool EndsWithIgnoringCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && ::strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// A small text file without the blanks and byte-order mark around its text.
std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream read;
    read << in.rdbuf();
    std::string text = read.str();
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// What GDAL found in one dataset.
struct Found {
    std::optional<std::array<double, 6>> transform;
    std::vector<ControlPoint> controlPoints;
    std::string coordinateSystem;
    std::vector<std::string> files;  // the dataset's files besides the one opened
};

std::string Wkt(const OGRSpatialReference* srs) {
    if (srs == nullptr) {
        return {};
    }
    char* text = nullptr;
    srs->exportToWkt(&text);
    std::string wkt = text != nullptr ? text : "";
    CPLFree(text);
    return wkt;
}

std::optional<Found> Look(const std::string& path) {
    Dataset dataset = OpenPictureFile(path);
    if (!dataset) {
        return std::nullopt;
    }
    Found found;
    std::array<double, 6> transform{};
    if (dataset->GetGeoTransform(transform.data()) == CE_None) {
        found.transform = transform;
        found.coordinateSystem = Wkt(dataset->GetSpatialRef());
    } else if (dataset->GetGCPCount() > 0) {
        const GDAL_GCP* points = dataset->GetGCPs();
        for (int i = 0; i < dataset->GetGCPCount(); ++i) {
            found.controlPoints.push_back({points[i].dfGCPPixel, points[i].dfGCPLine, points[i].dfGCPX, points[i].dfGCPY});
        }
        found.coordinateSystem = Wkt(dataset->GetGCPSpatialRef());
    } else {
        return std::nullopt;
    }
    char** files = dataset->GetFileList();
    for (char** file = files; file != nullptr && *file != nullptr; ++file) {
        if (fs::path(*file) != fs::path(path)) {
            found.files.emplace_back(*file);
        }
    }
    CSLDestroy(files);
    return found;
}

std::string Describe(const std::string& picture, const Found& found) {
    for (const std::string& file : found.files) {
        if (IsWorldFile(file)) {
            return "the world file " + platform::FileNameOfPath(file);
        }
    }
    for (const std::string& file : found.files) {
        if (EndsWithIgnoringCase(file, ".aux.xml")) {
            return platform::FileNameOfPath(file);
        }
    }
    const std::string extension = fs::path(picture).extension().string();
    if (EndsWithIgnoringCase(extension, ".tif") || EndsWithIgnoringCase(extension, ".tiff")) {
        return "the GeoTIFF's tags";
    }
    return "the picture's own georeferencing";
}

// The corners of the transform, or the control points, in the source's values.
std::vector<std::pair<double, double>> Extent(const Georeference& georeference, int width, int height) {
    std::vector<std::pair<double, double>> points;
    if (const auto& t = georeference.transform) {
        for (const auto& [pixel, line] : {std::pair{0, 0}, {width, 0}, {0, height}, {width, height}}) {
            points.emplace_back((*t)[0] + pixel * (*t)[1] + line * (*t)[2], (*t)[3] + pixel * (*t)[4] + line * (*t)[5]);
        }
    }
    for (const ControlPoint& point : georeference.controlPoints) {
        points.emplace_back(point.x, point.y);
    }
    return points;
}

bool CanBeDegrees(const std::vector<std::pair<double, double>>& points) {
    return std::all_of(points.begin(), points.end(), [](const auto& point) {
        return std::isfinite(point.first) && std::isfinite(point.second) && std::fabs(point.first) <= 180 &&
               std::fabs(point.second) <= 90;
    });
}

std::string Wgs84() {
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    return Wkt(&wgs84);
}

std::string Values(const std::vector<std::pair<double, double>>& points) {
    std::ostringstream text;
    text.precision(10);
    if (!points.empty()) {
        text << points.front().first << ", " << points.front().second;
    }
    return text.str();
}

}  // namespace

Result<std::optional<Georeference>> FindGeoreference(const std::string& path) {
    std::optional<Found> found = Look(path);
    Georeference georeference;
    if (found) {
        georeference.source = Describe(path, *found);
    } else if (const auto calibration = CalibrationFor(path)) {
        found = Look(*calibration);
        georeference.source = "the OziExplorer calibration " + platform::FileNameOfPath(*calibration);
    }
    if (!found) {
        return std::optional<Georeference>();
    }
    georeference.transform = found->transform;
    georeference.controlPoints = std::move(found->controlPoints);
    georeference.coordinateSystem = std::move(found->coordinateSystem);
    if (georeference.coordinateSystem.empty()) {
        // A world file says nothing of its coordinate system; a .prj beside it may.
        fs::path prj(path);
        prj.replace_extension(".prj");
        OGRSpatialReference srs;
        std::error_code error;
        if (fs::is_regular_file(prj, error) &&
            srs.SetFromUserInput(ReadText(prj).c_str(), OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS) ==
                OGRERR_NONE) {
            georeference.coordinateSystem = Wkt(&srs);
            georeference.source += " and " + prj.filename().string();
        }
    }
    if (georeference.coordinateSystem.empty()) {
        Dataset dataset = OpenPictureFile(path);
        const int width = dataset ? dataset->GetRasterXSize() : 0;
        const int height = dataset ? dataset->GetRasterYSize() : 0;
        const auto extent = Extent(georeference, width, height);
        if (!CanBeDegrees(extent)) {
            return Error{"Cannot place the picture " + path + ": " + georeference.source +
                         " names no coordinate system, and its values (" + Values(extent) +
                         ") cannot be degrees of latitude and longitude."};
        }
        georeference.coordinateSystem = Wgs84();
        georeference.assumedDegrees = true;
    }
    OGRSpatialReference srs;
    srs.importFromWkt(georeference.coordinateSystem.c_str());
    georeference.coordinateSystemName = srs.GetName() != nullptr ? srs.GetName() : "its coordinate system";
    return std::optional(std::move(georeference));
}

std::optional<palm::Corners> PlainCorners(const Georeference& georeference, int width, int height) {
    const auto& t = georeference.transform;
    if (!t || (*t)[2] != 0 || (*t)[4] != 0 || !((*t)[1] > 0) || !((*t)[5] < 0)) {
        return std::nullopt;
    }
    OGRSpatialReference srs;
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    if (srs.importFromWkt(georeference.coordinateSystem.c_str()) != OGRERR_NONE || !srs.IsGeographic() ||
        !srs.IsSameGeogCS(&wgs84) || std::fabs(srs.GetAngularUnits() - wgs84.GetAngularUnits()) > 1e-12) {
        return std::nullopt;
    }
    auto units = [](double degrees) {
        return mapdb::TruncateToInt32(std::round(degrees * mapdb::kUnitsPerDegree));
    };
    return palm::Corners{units((*t)[3]), units((*t)[0]), units((*t)[3] + height * (*t)[5]),
                         units((*t)[0] + width * (*t)[1])};
}

}  // namespace geo::gdal

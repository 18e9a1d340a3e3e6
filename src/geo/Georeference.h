#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "palm/MapLoader.h"
#include "platform/Result.h"

namespace geo {

using platform::Error;
using platform::Result;

// A point of a picture whose place in the coordinate system is known.
struct ControlPoint {
    double pixel = 0;  // from the picture's left edge
    double line = 0;   // from its top edge
    double x = 0;
    double y = 0;
};

// Where a picture lies on the earth: an affine transform from pixel edges
// (pixel 0, line 0 is the top-left corner of the top-left pixel) to the
// coordinate system, or control points when there is no transform.
struct Georeference {
    std::string source;  // for the user: "the world file Town.pgw", "the GeoTIFF's tags", ...
    std::optional<std::array<double, 6>> transform;
    std::vector<ControlPoint> controlPoints;
    std::string coordinateSystem;  // WKT; WGS 84 latitude and longitude when the values were taken as degrees
    std::string coordinateSystemName;  // for the user: "WGS 84 / UTM zone 32N"
    bool assumedDegrees = false;   // the source named no coordinate system
};

// The georeferencing of the picture file at `path`, first found: the
// picture's own (GeoTIFF tags, a PAM .aux.xml beside it), a world file beside
// it (with the .prj of the same name for its coordinate system), or an
// OziExplorer calibration (.map) beside it that names the picture. None when
// there is none. A world file that names no coordinate system is taken as WGS
// 84 latitude and longitude when its values can be degrees, and refused with
// the reason otherwise.
Result<std::optional<Georeference>> FindGeoreference(const std::string& path);

// The corners of a picture of width × height pixels that needs no warping:
// north up, in WGS 84 latitude and longitude. None for any other.
std::optional<palm::Corners> PlainCorners(const Georeference& georeference, int width, int height);

}  // namespace geo

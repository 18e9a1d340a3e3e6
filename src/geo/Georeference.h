#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/ImageImpl.h"
#include "palm/MapLoader.h"

namespace geo {

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

// A picture warped to WGS 84 latitude and longitude, north up, and its corners.
struct Warped {
    std::unique_ptr<image::CImageImpl> picture;
    palm::Corners corners;
};

}  // namespace geo

#pragma once

#include "Coverage.h"

namespace view {

// A point on the drawing area, in pixels from its top-left corner.
struct PixelPoint {
    double x = 0;
    double y = 0;
};

// How a box of the earth fills a drawing area: north up, centred, as large as
// fits, with a degree of longitude as long as the cosine of the box's middle
// latitude times a degree of latitude (true shapes near that latitude).
class CoverageViewport {
public:
    // Beyond this latitude the cosine would squeeze longitudes to nothing; corners
    // stored out of range can put the middle of the box there.
    static constexpr double kMaxAspectLatitude = 85;

    CoverageViewport(const GeoBox& extent, double width, double height);

    PixelPoint ToPixels(double longitude, double latitude) const;
    // The place under a pixel: x is the longitude, y the latitude.
    PixelPoint ToDegrees(const PixelPoint& pixel) const;
    // Everything the area shows, which is the extent and more along one side.
    GeoBox Visible() const { return visible; }
    double PixelsPerDegreeOfLatitude() const { return pixelsPerLatitude; }
    double PixelsPerDegreeOfLongitude() const { return pixelsPerLongitude; }

private:
    GeoBox visible;
    double pixelsPerLatitude = 1;
    double pixelsPerLongitude = 1;
};

}  // namespace view

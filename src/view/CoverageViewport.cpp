#include "CoverageViewport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace view {

CoverageViewport::CoverageViewport(const GeoBox& extent, double width, double height) {
    const double middleLatitude =
        std::clamp((extent.south + extent.north) / 2, -kMaxAspectLatitude, kMaxAspectLatitude);
    const double longitudeShare = std::cos(middleLatitude * std::numbers::pi / 180);
    // The extent's size in degrees of latitude.
    const double extentWidth = std::max(extent.Width() * longitudeShare, 1e-9);
    const double extentHeight = std::max(extent.Height(), 1e-9);
    pixelsPerLatitude = std::max(std::min(width / extentWidth, height / extentHeight), 1e-9);
    pixelsPerLongitude = pixelsPerLatitude * longitudeShare;

    const double middleLongitude = (extent.west + extent.east) / 2;
    const double middle = (extent.south + extent.north) / 2;
    const double halfWidth = width / 2 / pixelsPerLongitude;
    const double halfHeight = height / 2 / pixelsPerLatitude;
    visible = {middleLongitude - halfWidth, middleLongitude + halfWidth, middle - halfHeight, middle + halfHeight};
}

PixelPoint CoverageViewport::ToPixels(double longitude, double latitude) const {
    return {(longitude - visible.west) * pixelsPerLongitude, (visible.north - latitude) * pixelsPerLatitude};
}

PixelPoint CoverageViewport::ToDegrees(const PixelPoint& pixel) const {
    return {visible.west + pixel.x / pixelsPerLongitude, visible.north - pixel.y / pixelsPerLatitude};
}

}  // namespace view

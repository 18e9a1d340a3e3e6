#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "mapdb/PDBDoc.h"

namespace view {

// A box of the earth in degrees, west < east and south < north (or equal).
struct GeoBox {
    double west = 0;
    double east = 0;
    double south = 0;
    double north = 0;

    double Width() const { return east - west; }
    double Height() const { return north - south; }
    double Area() const { return Width() * Height(); }
    bool Contains(double longitude, double latitude) const {
        return longitude >= west && longitude <= east && latitude >= south && latitude <= north;
    }
    // The smallest box holding both.
    GeoBox United(const GeoBox& other) const;
    bool operator==(const GeoBox&) const = default;
};

// Where one map lies, whichever way round its corners are stored.
struct Outline {
    std::size_t mapIndex = 0;
    std::string name;
    GeoBox box;
    // What is wrong with its corners (inverted, out of range, never set); empty when nothing is.
    std::vector<std::string> warnings;
};

// The maps drawn as one unit: the tiles of one picture (its category, 1 to
// 15), or one map added whole (category 0).
struct OutlineGroup {
    int category = 0;
    std::vector<Outline> outlines;  // in document order
    GeoBox bounds;                  // all of them
};

// Every map of a database as an outline in degrees, for seeing at a glance
// where the maps lie and which one is misplaced. A copy: it does not follow
// later changes of the document.
class Coverage {
public:
    // The area shown when there is no map: the whole earth.
    static constexpr GeoBox kWorld{-180, 180, -90, 90};
    // The least width and height shown, so a map without area still has room around it: one minute.
    static constexpr double kMinSpan = 1.0 / 60;
    // The room left around the outlines, as a share of the larger side.
    static constexpr double kMarginShare = 0.08;

    explicit Coverage(const mapdb::CPDBDoc& doc);

    // Each map of category 0 its own group, the tiles of each other category one
    // group, in the order of each group's first map in the document.
    const std::vector<OutlineGroup>& Groups() const { return groups; }
    bool Empty() const { return groups.empty(); }
    // The outline of the map at this document index; none when there is no such map.
    const Outline* Find(std::size_t mapIndex) const;
    // All outlines with room around them; the world when there are none.
    GeoBox Extent() const;
    // The map of the smallest outline that reaches the point (within the given
    // distances in degrees, so that a map without area can be hit too); on ties,
    // the first in the document. None when no outline does.
    std::optional<std::size_t> MapAt(double longitude, double latitude, double longitudeTolerance = 0,
                                     double latitudeTolerance = 0) const;

private:
    std::vector<OutlineGroup> groups;
};

}  // namespace view

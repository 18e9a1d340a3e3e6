#include "Coverage.h"

#include <algorithm>
#include <map>

#include "CornerCheck.h"
#include "mapdb/Coordinates.h"
#include "palm/MapLoader.h"

namespace view {

namespace {

double Degrees(std::int32_t units) {
    return units / mapdb::kUnitsPerDegree;
}

Outline OutlineOf(const mapdb::MapRecord& map, std::size_t index) {
    const double top = Degrees(map.topLeftLat);
    const double bottom = Degrees(map.bottomRightLat);
    const double left = Degrees(map.topLeftLon);
    const double right = Degrees(map.bottomRightLon);
    return {index,
            map.GetName(),
            {std::min(left, right), std::max(left, right), std::min(top, bottom), std::max(top, bottom)},
            CornerWarnings(palm::CornersOf(map))};
}

// Widens a side to at least `least`, about its middle.
void Widen(double& low, double& high, double least) {
    if (high - low < least) {
        const double middle = (low + high) / 2;
        low = middle - least / 2;
        high = middle + least / 2;
    }
}

}  // namespace

GeoBox GeoBox::United(const GeoBox& other) const {
    return {std::min(west, other.west), std::max(east, other.east), std::min(south, other.south),
            std::max(north, other.north)};
}

Coverage::Coverage(const mapdb::CPDBDoc& doc) {
    std::map<int, std::size_t> groupOfCategory;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const int category = doc.GetEntry(i).attributes & 15;
        Outline outline = OutlineOf(doc.GetMap(i), i);
        std::size_t target = groups.size();
        if (category != 0) {
            target = groupOfCategory.try_emplace(category, groups.size()).first->second;
        }
        if (target == groups.size()) {
            groups.push_back({category, {}, outline.box});
        }
        OutlineGroup& group = groups[target];
        group.bounds = group.bounds.United(outline.box);
        group.outlines.push_back(std::move(outline));
    }
}

GeoBox Coverage::Extent() const {
    if (groups.empty()) {
        return kWorld;
    }
    GeoBox extent = groups.front().bounds;
    for (const OutlineGroup& group : groups) {
        extent = extent.United(group.bounds);
    }
    Widen(extent.west, extent.east, kMinSpan);
    Widen(extent.south, extent.north, kMinSpan);
    const double margin = kMarginShare * std::max(extent.Width(), extent.Height());
    return {extent.west - margin, extent.east + margin, extent.south - margin, extent.north + margin};
}

const Outline* Coverage::Find(std::size_t mapIndex) const {
    for (const OutlineGroup& group : groups) {
        for (const Outline& outline : group.outlines) {
            if (outline.mapIndex == mapIndex) {
                return &outline;
            }
        }
    }
    return nullptr;
}

std::optional<std::size_t> Coverage::MapAt(double longitude, double latitude, double longitudeTolerance,
                                           double latitudeTolerance) const {
    const Outline* best = nullptr;
    for (const OutlineGroup& group : groups) {
        for (const Outline& outline : group.outlines) {
            const GeoBox reach{outline.box.west - longitudeTolerance, outline.box.east + longitudeTolerance,
                               outline.box.south - latitudeTolerance, outline.box.north + latitudeTolerance};
            if (!reach.Contains(longitude, latitude)) {
                continue;
            }
            if (best == nullptr || outline.box.Area() < best->box.Area() ||
                (outline.box.Area() == best->box.Area() && outline.mapIndex < best->mapIndex)) {
                best = &outline;
            }
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->mapIndex;
}

}  // namespace view

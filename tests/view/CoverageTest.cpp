#include <gtest/gtest.h>

#include <cmath>

#include "mapdb/Coordinates.h"
#include "view/Coverage.h"
#include "view/CoverageGrid.h"
#include "view/CoverageViewport.h"

using namespace view;

namespace {

struct Placed {
    int category;
    double top, left, bottom, right;  // degrees
};

mapdb::CPDBDoc Database(const std::vector<Placed>& maps) {
    mapdb::CPDBDoc doc;
    for (const Placed& placed : maps) {
        mapdb::MapRecord map;
        map.SetName("Map");
        map.topLeftLat = mapdb::DegreesToUnits(placed.top);
        map.topLeftLon = mapdb::DegreesToUnits(placed.left);
        map.bottomRightLat = mapdb::DegreesToUnits(placed.bottom);
        map.bottomRightLon = mapdb::DegreesToUnits(placed.right);
        mapdb::RecordEntry entry;
        entry.attributes = static_cast<std::uint8_t>(placed.category);
        doc.AddMap(std::move(map), entry);
    }
    return doc;
}

std::vector<std::vector<std::size_t>> GroupedIndexes(const Coverage& coverage) {
    std::vector<std::vector<std::size_t>> grouped;
    for (const OutlineGroup& group : coverage.Groups()) {
        grouped.emplace_back();
        for (const Outline& outline : group.outlines) {
            grouped.back().push_back(outline.mapIndex);
        }
    }
    return grouped;
}

void ExpectBox(const GeoBox& actual, const GeoBox& expected) {
    EXPECT_NEAR(actual.west, expected.west, 1e-6);
    EXPECT_NEAR(actual.east, expected.east, 1e-6);
    EXPECT_NEAR(actual.south, expected.south, 1e-6);
    EXPECT_NEAR(actual.north, expected.north, 1e-6);
}

}  // namespace

TEST(CoverageTest, TilesOfOnePictureFormOneGroupAndWholeMapsEachTheirOwn) {
    // The attribute's high bits are not the category.
    const Coverage coverage(Database({{0, 47, 6, 46, 7},
                                      {3, 48, 8, 47.5, 8.5},
                                      {3, 48, 8.5, 47.5, 9},
                                      {0, 45, 5, 44, 6},
                                      {0x45, 40, 1, 39, 2},
                                      {3, 47.5, 8, 47, 8.5}}));

    EXPECT_EQ(GroupedIndexes(coverage), (std::vector<std::vector<std::size_t>>{{0}, {1, 2, 5}, {3}, {4}}));
    EXPECT_EQ(coverage.Groups()[1].category, 3);
    EXPECT_EQ(coverage.Groups()[3].category, 5);
    ExpectBox(coverage.Groups()[1].bounds, {8, 9, 47, 48});
    ExpectBox(coverage.Groups()[0].bounds, {6, 7, 46, 47});
}

TEST(CoverageTest, OutlinesSpanTheCornersWhicheverWayRoundAndFlagWrongOnes) {
    struct Case {
        Placed corners;
        GeoBox box;
        bool flagged;
    } cases[] = {
        {{0, 47, 6, 46, 7}, {6, 7, 46, 47}, false},
        {{0, 46, 6, 47, 7}, {6, 7, 46, 47}, true},        // top below bottom
        {{0, 47, 7, 46, 6}, {6, 7, 46, 47}, true},        // left east of right
        {{0, 95, 6, 46, 7}, {6, 7, 46, 95}, true},        // beyond the pole
        {{0, 47, 170, 46, 190}, {170, 190, 46, 47}, true},  // beyond 180°
        {{0, 10, -10, -10, 10}, {-10, 10, -10, 10}, true},  // never placed
        {{0, 47, 6, 47, 6}, {6, 6, 47, 47}, true},        // no area
    };
    for (const Case& c : cases) {
        const Coverage coverage(Database({c.corners}));
        const Outline& outline = coverage.Groups().at(0).outlines.at(0);
        ExpectBox(outline.box, c.box);
        EXPECT_EQ(!outline.warnings.empty(), c.flagged) << c.corners.top << " " << c.corners.left;
    }
}

TEST(CoverageTest, ExtentHoldsEveryOutlineWithRoomAround) {
    const double m = Coverage::kMarginShare;
    const double half = Coverage::kMinSpan / 2;
    struct Case {
        std::vector<Placed> maps;
        GeoBox extent;
    } cases[] = {
        {{}, Coverage::kWorld},
        {{{0, 47, 6, 46, 7}}, {6 - m, 7 + m, 46 - m, 47 + m}},
        // The wider side sets the room on both.
        {{{0, 47, 6, 46, 7}, {4, 46, 8, 45, 10}}, {6 - 4 * m, 10 + 4 * m, 45 - 4 * m, 47 + 4 * m}},
        {{{0, 47, 6, 47, 6}},
         {6 - half - 2 * half * m, 6 + half + 2 * half * m, 47 - half - 2 * half * m, 47 + half + 2 * half * m}},
        // A line: its length sets the room, the least span its other side.
        {{{0, 47, 6, 47, 8}}, {6 - 2 * m, 8 + 2 * m, 47 - half - 2 * m, 47 + half + 2 * m}},
    };
    for (const Case& c : cases) {
        ExpectBox(Coverage(Database(c.maps)).Extent(), c.extent);
    }
}

TEST(CoverageTest, MapAtFindsTheSmallestOutlineUnderAPoint) {
    const Coverage coverage(Database({
        {0, 48, 6, 46, 10},          // 0: a large map
        {1, 47.5, 7, 47, 7.5},       // 1: a tile inside it
        {1, 47.5, 7.5, 47, 8},       // 2: its neighbour
        {0, 40, 0, 40, 0},           // 3: no area
        {0, 48, 6, 46, 10},          // 4: the same place as map 0
        {0, 30, 21, 20, 20},         // 5: left and right swapped
    }));
    struct Case {
        double longitude, latitude, tolerance;
        std::optional<std::size_t> map;
    } cases[] = {
        {9, 46.5, 0, 0},                  // only the large ones; the first of two equal
        {7.2, 47.2, 0, 1},                // the tile, not the map around it
        {7.5, 47.2, 0, 1},                // on the edge two tiles share: the first
        {7.7, 47.2, 0, 2},
        {0, 40, 0, 3},
        {0.001, 40.001, 0, std::nullopt},
        {0.001, 40.001, 0.01, 3},         // near enough
        {20.5, 25, 0, 5},
        {12, 47, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(coverage.MapAt(c.longitude, c.latitude, c.tolerance, c.tolerance), c.map)
            << c.longitude << ", " << c.latitude;
    }
    EXPECT_EQ(Coverage(mapdb::CPDBDoc()).MapAt(0, 0), std::nullopt);
}

TEST(CoverageGridTest, StepIsTheSmallestRoundOneWithinTheLines) {
    struct Case {
        double span;
        int maxLines;
        std::int64_t step;
    } cases[] = {
        {360, 8, 45 * 3600}, {100, 10, 10 * 3600}, {100, 9, 15 * 3600}, {4, 7, 3600},
        {1, 4, 15 * 60},     {0.5, 6, 5 * 60},     {1.0 / 60, 5, 15},  {0.0001, 5, 1},
        {1200, 4, 90 * 3600},  // more than the largest step can keep within
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridStep(c.span, c.maxLines), c.step) << c.span << " / " << c.maxLines;
    }
}

TEST(CoverageGridTest, LinesAreTheStepsMultiplesWithinTheRange) {
    struct Case {
        double low, high;
        std::int64_t step;
        std::vector<std::int64_t> lines;
    } cases[] = {
        {-1.5, 1.5, 3600, {-3600, 0, 3600}},
        {46.1, 47, 1800, {46 * 3600 + 1800, 47 * 3600}},
        {-0.01, -0.001, 15, {-30, -15}},
        {0.2, 0.3, 3600, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridLines(c.low, c.high, c.step), c.lines) << c.low << " to " << c.high;
    }
}

TEST(CoverageGridTest, LabelsNameTheHemisphere) {
    struct Case {
        std::int64_t seconds;
        bool latitude;
        std::string label;
    } cases[] = {
        {48 * 3600, true, "48\u00B0 N"},
        {-(10 * 3600 + 30 * 60), false, "10\u00B0 30' W"},
        {-15, true, "0\u00B0 0' 15\" S"},
        {122 * 3600 + 5, false, "122\u00B0 0' 5\" E"},
        {0, true, "0\u00B0"},
        {0, false, "0\u00B0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridLabel(c.seconds, c.latitude), c.label);
    }
}

TEST(CoverageViewportTest, KeepsShapesTrueAtTheMiddleLatitude) {
    // At 60° a degree of longitude is half a degree of latitude: 2° by 1° is square.
    const CoverageViewport viewport({10, 12, 59.5, 60.5}, 300, 200);
    const PixelPoint topLeft = viewport.ToPixels(10, 60.5);
    const PixelPoint bottomRight = viewport.ToPixels(12, 59.5);
    EXPECT_NEAR(bottomRight.x - topLeft.x, 200, 1e-6);
    EXPECT_NEAR(bottomRight.y - topLeft.y, 200, 1e-6);
    EXPECT_NEAR(topLeft.y, 0, 1e-6);
    EXPECT_NEAR(topLeft.x, 50, 1e-6);  // centred across
    const PixelPoint place = viewport.ToDegrees({123, 45});
    const PixelPoint back = viewport.ToPixels(place.x, place.y);
    EXPECT_NEAR(back.x, 123, 1e-9);
    EXPECT_NEAR(back.y, 45, 1e-9);
}

TEST(CoverageViewportTest, StaysFiniteForAnyExtentAndArea) {
    const GeoBox extents[] = {{0, 10, 400, 500}, {-500, 500, -90, 90}, {5, 5, 5, 5}};
    const double sizes[][2] = {{300, 200}, {0, 0}, {1, 1000}};
    for (const GeoBox& extent : extents) {
        for (const auto& size : sizes) {
            const CoverageViewport viewport(extent, size[0], size[1]);
            const PixelPoint corner = viewport.ToPixels(extent.east, extent.south);
            EXPECT_TRUE(std::isfinite(corner.x) && std::isfinite(corner.y));
            EXPECT_LE(corner.x, size[0] + 1e-6);
            EXPECT_LE(corner.y, size[1] + 1e-6);
        }
    }
}

#pragma once

#include <cstddef>
#include <optional>

#include <QWidget>

#include "mapdb/PDBDoc.h"
#include "view/Coverage.h"
#include "view/CoverageViewport.h"

class QPainter;
class QPen;

// Every map of the database as an outline on a grid of latitudes and
// longitudes, the selected one filled: a misplaced corner shows at a glance.
// Tiles of one picture share a colour; outlines whose corners are wrong are
// dashed red. A click on an outline selects its map.
class CoverageView : public QWidget {
    Q_OBJECT

public:
    explicit CoverageView(const mapdb::CPDBDoc& doc, QWidget* parent = nullptr);

    // Reads the maps anew; call after maps were added, removed, renamed,
    // placed or reordered. A selection beyond the last map is dropped.
    void Refresh();
    // Highlights the map at this document index, or none.
    void SetSelectedMap(std::optional<std::size_t> mapIndex);
    std::optional<std::size_t> SelectedMap() const { return selected; }
    // Where a place is drawn, in the widget's pixels.
    QPointF PointOf(double longitude, double latitude) const;

    QSize sizeHint() const override { return {180, 140}; }

signals:
    // The user clicked the outline of the map at this document index (and it is now selected).
    void mapClicked(std::size_t mapIndex);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    view::CoverageViewport Viewport() const;
    std::optional<std::size_t> MapUnder(const QPointF& pixel) const;
    void PaintGrid(QPainter& painter, const view::CoverageViewport& viewport) const;
    void PaintGroup(QPainter& painter, const view::CoverageViewport& viewport, const view::OutlineGroup& group,
                    const QColor& color) const;
    void PaintOutline(QPainter& painter, const view::CoverageViewport& viewport, const view::GeoBox& box,
                      const QPen& pen) const;
    QRectF OnScreen(const view::CoverageViewport& viewport, const view::GeoBox& box) const;
    QString Description(std::size_t mapIndex) const;

    const mapdb::CPDBDoc& doc;
    view::Coverage coverage;
    std::optional<std::size_t> selected;
};

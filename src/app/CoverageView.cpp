#include "CoverageView.h"

#include <algorithm>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "view/CoverageGrid.h"

namespace {

// Room between the widget's edge and the drawing.
constexpr qreal kInset = 4;
// How near, in pixels, a click or the mouse must come to an outline to reach it.
constexpr qreal kReach = 4;
// The widest label a longitude line can carry, for spacing them.
const QString kWidestLabel = QStringLiteral("000\u00B0 00' 00\" W");

// Hues far apart for neighbouring groups, none near the red of wrong corners.
QColor GroupColor(std::size_t group) {
    return QColor::fromHsv(30 + static_cast<int>(group * 137 % 300), 220, 190);
}

}  // namespace

CoverageView::CoverageView(const mapdb::CPDBDoc& doc, QWidget* parent)
    : QWidget(parent), doc(doc), coverage(doc) {
    setObjectName("coverageView");
    setMinimumSize(80, 64);
}

void CoverageView::Refresh() {
    coverage = view::Coverage(doc);
    if (selected && *selected >= doc.GetMapCount()) {
        selected.reset();
    }
    update();
}

void CoverageView::SetSelectedMap(std::optional<std::size_t> mapIndex) {
    selected = mapIndex;
    update();
}

QPointF CoverageView::PointOf(double longitude, double latitude) const {
    const view::PixelPoint pixel = Viewport().ToPixels(longitude, latitude);
    return {pixel.x + kInset, pixel.y + kInset};
}

view::CoverageViewport CoverageView::Viewport() const {
    return view::CoverageViewport(coverage.Extent(), std::max(0.0, width() - 2 * kInset),
                                  std::max(0.0, height() - 2 * kInset));
}

std::optional<std::size_t> CoverageView::MapUnder(const QPointF& pixel) const {
    const view::CoverageViewport viewport = Viewport();
    const view::PixelPoint place = viewport.ToDegrees({pixel.x() - kInset, pixel.y() - kInset});
    return coverage.MapAt(place.x, place.y, kReach / viewport.PixelsPerDegreeOfLongitude(),
                          kReach / viewport.PixelsPerDegreeOfLatitude());
}

QRectF CoverageView::OnScreen(const view::CoverageViewport& viewport, const view::GeoBox& box) const {
    const view::PixelPoint topLeft = viewport.ToPixels(box.west, box.north);
    const view::PixelPoint bottomRight = viewport.ToPixels(box.east, box.south);
    return QRectF(QPointF(topLeft.x, topLeft.y), QPointF(bottomRight.x, bottomRight.y)).translated(kInset, kInset);
}

QString CoverageView::Description(std::size_t mapIndex) const {
    const view::Outline* outline = coverage.Find(mapIndex);
    QString text = QString::fromLatin1(outline->name);
    for (const std::string& warning : outline->warnings) {
        text += QLatin1Char('\n') + QString::fromStdString(warning);
    }
    return text;
}

bool CoverageView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (auto mapIndex = MapUnder(help->pos())) {
            QToolTip::showText(help->globalPos(), Description(*mapIndex), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void CoverageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (auto mapIndex = MapUnder(event->position())) {
        SetSelectedMap(mapIndex);
        emit mapClicked(*mapIndex);
    }
}

void CoverageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setRenderHint(QPainter::Antialiasing);
    const view::CoverageViewport viewport = Viewport();
    PaintGrid(painter, viewport);
    if (coverage.Empty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, tr("No maps to show"));
        return;
    }

    const auto& groups = coverage.Groups();
    for (std::size_t i = 0; i < groups.size(); ++i) {
        PaintGroup(painter, viewport, groups[i], GroupColor(i));
    }
    // Wrong corners over everything else, so that no other outline hides them.
    for (const view::OutlineGroup& group : groups) {
        for (const view::Outline& outline : group.outlines) {
            if (!outline.warnings.empty()) {
                PaintOutline(painter, viewport, outline.box, QPen(Qt::red, 2, Qt::DashLine));
            }
        }
    }
    for (std::size_t i = 0; i < groups.size() && selected; ++i) {
        for (const view::Outline& outline : groups[i].outlines) {
            if (outline.mapIndex != *selected) {
                continue;
            }
            const bool wrong = !outline.warnings.empty();
            QColor fill = wrong ? QColor(Qt::red) : GroupColor(i);
            QPen pen(fill, 3, wrong ? Qt::DashLine : Qt::SolidLine);
            fill.setAlpha(90);
            painter.setBrush(fill);
            PaintOutline(painter, viewport, outline.box, pen);
            painter.setBrush(Qt::NoBrush);
        }
    }
}

void CoverageView::PaintGrid(QPainter& painter, const view::CoverageViewport& viewport) const {
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QRectF area = rect().adjusted(kInset, kInset, -kInset, -kInset);
    const view::GeoBox visible = viewport.Visible();
    const int longitudeLines =
        std::max(2, static_cast<int>(area.width() / (metrics.horizontalAdvance(kWidestLabel) + 8)));
    const int latitudeLines = std::max(2, static_cast<int>(area.height() / (2 * metrics.height())));
    const QPen linePen(palette().color(QPalette::Midlight), 0);
    const QPen labelPen(palette().color(QPalette::PlaceholderText));

    const std::int64_t longitudeStep = view::GridStep(visible.Width(), longitudeLines);
    for (std::int64_t seconds : view::GridLines(visible.west, visible.east, longitudeStep)) {
        const qreal x = viewport.ToPixels(static_cast<double>(seconds) / 3600, 0).x + kInset;
        painter.setPen(linePen);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const QString label = QString::fromStdString(view::GridLabel(seconds, false));
        if (x + 2 + metrics.horizontalAdvance(label) <= area.right()) {
            painter.setPen(labelPen);
            painter.drawText(QPointF(x + 2, area.bottom() - metrics.descent() - 1), label);
        }
    }
    const std::int64_t latitudeStep = view::GridStep(visible.Height(), latitudeLines);
    for (std::int64_t seconds : view::GridLines(visible.south, visible.north, latitudeStep)) {
        const qreal y = viewport.ToPixels(0, static_cast<double>(seconds) / 3600).y + kInset;
        painter.setPen(linePen);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(labelPen);
        painter.drawText(QPointF(area.left() + 2, y - metrics.descent() - 1),
                         QString::fromStdString(view::GridLabel(seconds, true)));
    }
}

void CoverageView::PaintGroup(QPainter& painter, const view::CoverageViewport& viewport,
                              const view::OutlineGroup& group, const QColor& color) const {
    const bool tiled = group.category != 0;
    for (const view::Outline& outline : group.outlines) {
        PaintOutline(painter, viewport, outline.box, QPen(color, tiled ? 1 : 2));
    }
    if (tiled) {
        PaintOutline(painter, viewport, group.bounds, QPen(color, 2));
    }
}

void CoverageView::PaintOutline(QPainter& painter, const view::CoverageViewport& viewport, const view::GeoBox& box,
                                const QPen& pen) const {
    painter.setPen(pen);
    const QRectF drawn = OnScreen(viewport, box);
    // A map without area would vanish: it gets a small ring.
    if (drawn.width() < 3 && drawn.height() < 3) {
        painter.drawEllipse(drawn.center(), kReach, kReach);
    } else if (drawn.width() < 1 || drawn.height() < 1) {
        painter.drawLine(drawn.topLeft(), drawn.bottomRight());
    } else {
        painter.drawRect(drawn);
    }
}

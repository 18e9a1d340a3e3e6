#include "MapPreview.h"

#include <cstring>

#include <QPainter>

#include "view/MapPicture.h"

MapPreview::MapPreview(QWidget* parent) : QWidget(parent) {
    setObjectName("mapPreview");
    setMinimumSize(64, 64);
}

void MapPreview::ShowMap(const mapdb::MapRecord* map) {
    picture = QImage();
    note.clear();
    if (map == nullptr) {
        note = tr("No map selected");
    } else if (auto pixels = view::RenderMap(*map); pixels && pixels->width > 0 && pixels->height > 0) {
        picture = QImage(pixels->width, pixels->height, QImage::Format_ARGB32);
        for (int y = 0; y < pixels->height; ++y) {
            std::memcpy(picture.scanLine(y),
                        pixels->argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(pixels->width),
                        static_cast<std::size_t>(pixels->width) * sizeof(std::uint32_t));
        }
    } else {
        note = tr("This map has no picture that can be shown");
    }
    update();
}

void MapPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (picture.isNull()) {
        painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, note);
        return;
    }
    QSize fitted = picture.size().scaled(size() - 2 * QSize(kMargin, kMargin), Qt::KeepAspectRatio);
    if (fitted.isEmpty()) {
        return;
    }
    QRect target(QPoint(0, 0), fitted);
    target.moveCenter(rect().center());
    // Shrinking blends neighbouring pixels; enlarging keeps them sharp.
    const bool shrinking = fitted.width() < picture.width();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shrinking);
    painter.drawImage(target, picture);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(target.adjusted(-1, -1, 0, 0));
}

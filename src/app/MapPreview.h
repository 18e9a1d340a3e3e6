#pragma once

#include <optional>

#include <QImage>
#include <QWidget>

#include "mapdb/MapRecord.h"

// The selected map drawn as the handheld shows it, scaled to fit.
class MapPreview : public QWidget {
    Q_OBJECT

public:
    explicit MapPreview(QWidget* parent = nullptr);

    // Shows this map, or nothing.
    void ShowMap(const mapdb::MapRecord* map);
    const QImage& Picture() const { return picture; }
    const QString& Note() const { return note; }

    // Room for a whole tile of 256 x 240 pixels at its own size.
    QSize sizeHint() const override { return QSize(256, 240) + 2 * QSize(kMargin, kMargin); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kMargin = 4;
    QImage picture;
    QString note;
};

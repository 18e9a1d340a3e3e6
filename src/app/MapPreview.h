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

    QSize sizeHint() const override { return {140, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
    QString note;
};

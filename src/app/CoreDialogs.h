#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

#include "palm/MapLoader.h"
#include "palm/PalmBitmap.h"

// "Choose the color depth of the map" (template 133): the depth, compression,
// colour table and dithering of a new map, beside the record's size at each
// depth. One OK button; closed any other way, the dialog answers its first
// choices (1 bit, no compression, no colour table, no dithering).
class ColorDepthDialog : public QDialog {
public:
    ColorDepthDialog(const palm::PictureFacts& picture, QWidget* parent);
    palm::ConversionOptions Answer() const;

private:
    QButtonGroup* depths;
    QCheckBox* compress;
    QCheckBox* colorTable;
    QCheckBox* dither;
};

// "Enter map coordinates" (template 134): the four corner texts of a new map.
// One OK button; closed any other way, the dialog answers what it proposed.
class CoordinatesDialog : public QDialog {
public:
    CoordinatesDialog(const palm::CornerTexts& proposed, QWidget* parent);
    palm::CornerTexts Answer() const;

private:
    palm::CornerTexts proposed;
    QLineEdit* topLeftLatitude;
    QLineEdit* topLeftLongitude;
    QLineEdit* bottomRightLatitude;
    QLineEdit* bottomRightLongitude;
};

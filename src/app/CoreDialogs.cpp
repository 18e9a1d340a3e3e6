#include "CoreDialogs.h"

#include <array>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "view/MapDisplay.h"

namespace {

// The texts of the two dialogs (UTF-8), and the control numbers of their templates.
constexpr const char* kColorDepthTitle = "Choose the color depth of the map";
constexpr const char* kSizeCaption = "Size uncompressed:";
constexpr const char* kSizeUnit = "KB";
constexpr std::array<const char*, 4> kDepthLabels{"1 bit - 2 colors", "2 bits - 4 colors",
                                                  "4 bits - 16 colors palmOS 3.3 min.",
                                                  "8 bits - 256 colors palmOS 3.5 min."};
constexpr std::array<unsigned, 4> kDepths{1, 2, 4, 8};
constexpr std::array<int, 4> kDepthControls{1037, 1036, 1042, 1038};
constexpr std::array<int, 4> kEstimateControls{1039, 1040, 1043, 1041};
constexpr const char* kCompressLabel = "Compress        palmOS 3.3 min.";
constexpr const char* kColorTableLabel = " Include color table palmOS 3.5 min.";
constexpr const char* kDitherLabel = "Dither";
constexpr const char* kDitherHelp =
    "Mixes neighbouring pixels of the colours or grey levels the map has, to show the ones it lacks: "
    "for photographs and shaded relief. Maps of lines and flat colours look best without it.";
constexpr const char* kSourceDepthSuffix = "bits to :";

constexpr const char* kCoordinatesTitle = "Enter map coordinates";
constexpr const char* kCornersCaption = "Corners";
constexpr const char* kTopLeftLabel = "Top left";
constexpr const char* kBottomRightLabel = "Bottom right";
constexpr const char* kLatitudeLabel = "Latitude";
constexpr const char* kLongitudeLabel = "Longitude";
constexpr const char* kFormatHelp =
    "Format:\nLatitude: [N/+]/(S/-) DD[.dd] [MM[.mm]] [SS[.ss]]\n"
    "Longitude: [E/+]/(W/-) DDD[.dd] [MM[.mm]] [SS[.ss]]\n\n"
    "example: W37\u00BA37'8\" or -37.61889 or 37 37.133 W";

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

void Name(QDialog& dialog, const char* objectName, const char* title) {
    dialog.setObjectName(QString::fromLatin1(objectName));
    dialog.setWindowTitle(Text(title));
}

// The dialog's only button.
QDialogButtonBox* OkButton(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    return buttons;
}

QLineEdit* ReadOnlyEdit(const QString& text, const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000.00000")) + 12);
    return edit;
}

}  // namespace

ColorDepthDialog::ColorDepthDialog(const palm::PictureFacts& picture, QWidget* parent) : QDialog(parent) {
    Name(*this, "colorDepthDlg", kColorDepthTitle);
    auto* layout = new QGridLayout(this);

    auto* source = ReadOnlyEdit(QString::number(picture.bitCount), QStringLiteral("sourceDepth"), this);
    source->setMaximumWidth(source->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    layout->addWidget(source, 0, 0, Qt::AlignRight);
    layout->addWidget(new QLabel(Text(kSourceDepthSuffix), this), 0, 1);
    layout->addWidget(new QLabel(Text(kSizeCaption), this), 0, 2, 1, 2);

    const std::array<float, 4> estimates = palm::SizeEstimates(picture.width, picture.height);
    depths = new QButtonGroup(this);
    for (std::size_t i = 0; i < kDepths.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        auto* radio = new QRadioButton(Text(kDepthLabels[i]), this);
        radio->setObjectName(QStringLiteral("depth%1").arg(i));
        radio->setProperty("controlId", kDepthControls[i]);
        depths->addButton(radio, static_cast<int>(i));
        layout->addWidget(radio, row, 0, 1, 2);
        auto* size = ReadOnlyEdit(QString::fromStdString(view::FormatFloat(estimates[i])),
                                  QStringLiteral("estimate%1").arg(i), this);
        size->setProperty("controlId", kEstimateControls[i]);
        layout->addWidget(size, row, 2);
        layout->addWidget(new QLabel(Text(kSizeUnit), this), row, 3);
    }
    depths->button(0)->setChecked(true);
    compress = new QCheckBox(Text(kCompressLabel), this);
    compress->setObjectName("compress");
    layout->addWidget(compress, 5, 0, 1, 4);
    colorTable = new QCheckBox(Text(kColorTableLabel), this);
    colorTable->setObjectName("colorTable");
    layout->addWidget(colorTable, 6, 0, 1, 4);
    dither = new QCheckBox(Text(kDitherLabel), this);
    dither->setObjectName("dither");
    dither->setToolTip(Text(kDitherHelp));
    layout->addWidget(dither, 7, 0, 1, 4);
    layout->addWidget(OkButton(*this), 8, 0, 1, 4);
}

palm::ConversionOptions ColorDepthDialog::Answer() const {
    // Only OK takes what the user left in the controls.
    if (result() != QDialog::Accepted) {
        return {};
    }
    const int chosen = depths->checkedId();
    return {chosen >= 0 ? kDepths[static_cast<std::size_t>(chosen)] : kDepths[0], compress->isChecked(),
            colorTable->isChecked(), dither->isChecked()};
}

CoordinatesDialog::CoordinatesDialog(const palm::CornerTexts& proposed, QWidget* parent)
    : QDialog(parent), proposed(proposed) {
    Name(*this, "coordinatesDlg", kCoordinatesTitle);
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(Text(kFormatHelp), this);
    help->setObjectName("format");
    help->setTextFormat(Qt::PlainText);
    layout->addWidget(help);

    auto* corners = new QGroupBox(Text(kCornersCaption), this);
    auto* grid = new QGridLayout(corners);
    grid->addWidget(new QLabel(Text(kLatitudeLabel), corners), 0, 1);
    grid->addWidget(new QLabel(Text(kLongitudeLabel), corners), 0, 2);
    grid->addWidget(new QLabel(Text(kTopLeftLabel), corners), 1, 0);
    grid->addWidget(new QLabel(Text(kBottomRightLabel), corners), 2, 0);
    auto edit = [corners, grid](const std::string& text, const char* objectName, int controlId, int row, int column) {
        auto* field = new QLineEdit(QString::fromStdString(text), corners);
        field->setObjectName(QString::fromLatin1(objectName));
        field->setProperty("controlId", controlId);
        grid->addWidget(field, row, column);
        return field;
    };
    topLeftLatitude = edit(proposed.topLeftLatitude, "topLeftLatitude", 1055, 1, 1);
    topLeftLongitude = edit(proposed.topLeftLongitude, "topLeftLongitude", 1052, 1, 2);
    bottomRightLatitude = edit(proposed.bottomRightLatitude, "bottomRightLatitude", 1054, 2, 1);
    bottomRightLongitude = edit(proposed.bottomRightLongitude, "bottomRightLongitude", 1053, 2, 2);
    layout->addWidget(corners);
    layout->addWidget(OkButton(*this));
}

palm::CornerTexts CoordinatesDialog::Answer() const {
    if (result() != QDialog::Accepted) {
        return proposed;
    }
    return {topLeftLatitude->text().toStdString(), topLeftLongitude->text().toStdString(),
            bottomRightLatitude->text().toStdString(), bottomRightLongitude->text().toStdString()};
}

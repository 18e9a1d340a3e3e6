#include "CoreDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "palm/PalmDialogs.h"
#include "view/MapDisplay.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A dialog whose only button is OK.
std::unique_ptr<QDialog> OkDialog(const char* objectName, const char* title, QWidget* parent) {
    auto dialog = std::make_unique<QDialog>(parent);
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setWindowTitle(Text(title));
    return dialog;
}

QDialogButtonBox* OkButton(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    return buttons;
}

QLineEdit* ReadOnlyEdit(const QString& text, const char* objectName, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setEnabled(false);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000.00000")) + 12);
    return edit;
}

ShownDialog ColorDepthDialog(palm::CColorDepthDlg& core, QWidget* parent) {
    using Dlg = palm::CColorDepthDlg;
    auto dialog = OkDialog("colorDepthDlg", Dlg::kTitle, parent);
    auto* layout = new QGridLayout(dialog.get());

    auto* source = ReadOnlyEdit(QString::number(core.sourceDepth), "sourceDepth", dialog.get());
    source->setMaximumWidth(source->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    layout->addWidget(source, 0, 0, Qt::AlignRight);
    layout->addWidget(new QLabel(Text(Dlg::kSourceDepthSuffix), dialog.get()), 0, 1);
    layout->addWidget(new QLabel(Text(Dlg::kSizeCaption), dialog.get()), 0, 2, 1, 2);

    auto* group = new QButtonGroup(dialog.get());
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(Text(Dlg::kDepthLabels[static_cast<std::size_t>(i)]), dialog.get());
        radio->setObjectName(QStringLiteral("depth%1").arg(i));
        radio->setProperty("controlId", Dlg::kDepthControls[static_cast<std::size_t>(i)]);
        group->addButton(radio, i);
        layout->addWidget(radio, i + 1, 0, 1, 2);
        const float estimate = core.sizeEstimates[static_cast<std::size_t>(i)];
        auto* size = ReadOnlyEdit(QString::fromStdString(view::FormatFloat(estimate)),
                                  QStringLiteral("estimate%1").arg(i).toLatin1().constData(), dialog.get());
        size->setProperty("controlId", Dlg::kEstimateControls[static_cast<std::size_t>(i)]);
        layout->addWidget(size, i + 1, 2);
        layout->addWidget(new QLabel(Text(Dlg::kSizeUnit), dialog.get()), i + 1, 3);
    }
    if (QAbstractButton* chosen = group->button(core.depthChoice)) {
        chosen->setChecked(true);
    }
    auto* compress = new QCheckBox(Text(Dlg::kCompressLabel), dialog.get());
    compress->setObjectName("compress");
    compress->setChecked(core.compress);
    layout->addWidget(compress, 5, 0, 1, 4);
    auto* table = new QCheckBox(Text(Dlg::kColorTableLabel), dialog.get());
    table->setObjectName("colorTable");
    table->setChecked(core.includeColorTable);
    layout->addWidget(table, 6, 0, 1, 4);
    layout->addWidget(OkButton(*dialog), 7, 0, 1, 4);

    auto read = [&core, group, compress, table] {
        if (group->checkedId() >= 0) {
            core.depthChoice = group->checkedId();
        }
        core.compress = compress->isChecked();
        core.includeColorTable = table->isChecked();
    };
    return {std::move(dialog), read};
}

ShownDialog CoordinatesDialog(palm::CCoordinatesDlg& core, QWidget* parent) {
    using Dlg = palm::CCoordinatesDlg;
    auto dialog = OkDialog("coordinatesDlg", Dlg::kTitle, parent);
    auto* layout = new QVBoxLayout(dialog.get());
    auto* help = new QLabel(Text(Dlg::kFormatHelp), dialog.get());
    help->setObjectName("format");
    help->setTextFormat(Qt::PlainText);
    layout->addWidget(help);

    auto* corners = new QGroupBox(Text(Dlg::kCornersCaption), dialog.get());
    auto* grid = new QGridLayout(corners);
    grid->addWidget(new QLabel(Text(Dlg::kLatitudeLabel), corners), 0, 1);
    grid->addWidget(new QLabel(Text(Dlg::kLongitudeLabel), corners), 0, 2);
    grid->addWidget(new QLabel(Text(Dlg::kTopLeftLabel), corners), 1, 0);
    grid->addWidget(new QLabel(Text(Dlg::kBottomRightLabel), corners), 2, 0);
    struct Field {
        std::string* member;
        const char* objectName;
        int controlId;
        int row;
        int column;
    };
    const Field fields[] = {
        {&core.topLeftLatitude, "topLeftLatitude", 1055, 1, 1},
        {&core.topLeftLongitude, "topLeftLongitude", 1052, 1, 2},
        {&core.bottomRightLatitude, "bottomRightLatitude", 1054, 2, 1},
        {&core.bottomRightLongitude, "bottomRightLongitude", 1053, 2, 2},
    };
    std::vector<std::pair<std::string*, QLineEdit*>> edits;
    for (const Field& field : fields) {
        auto* edit = new QLineEdit(QString::fromStdString(*field.member), corners);
        edit->setObjectName(QString::fromLatin1(field.objectName));
        edit->setProperty("controlId", field.controlId);
        grid->addWidget(edit, field.row, field.column);
        edits.emplace_back(field.member, edit);
    }
    layout->addWidget(corners);
    layout->addWidget(OkButton(*dialog));

    auto read = [edits] {
        for (const auto& [member, edit] : edits) {
            *member = edit->text().toStdString();
        }
    };
    return {std::move(dialog), read};
}

ShownDialog UnsupportedFormatDialog(QWidget* parent) {
    using Dlg = palm::CUnsupportedFormatDlg;
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, Text(Dlg::kTitle), Text(Dlg::kText),
                                             QMessageBox::Ok, parent);
    box->setObjectName("unsupportedFormatDlg");
    return {std::move(box), {}};
}

}  // namespace

std::optional<ShownDialog> BuildDialog(platform::CDialog& dialog, QWidget* parent) {
    if (auto* depth = dynamic_cast<palm::CColorDepthDlg*>(&dialog)) {
        return ColorDepthDialog(*depth, parent);
    }
    if (auto* corners = dynamic_cast<palm::CCoordinatesDlg*>(&dialog)) {
        return CoordinatesDialog(*corners, parent);
    }
    if (dynamic_cast<palm::CUnsupportedFormatDlg*>(&dialog) != nullptr) {
        return UnsupportedFormatDialog(parent);
    }
    return std::nullopt;
}

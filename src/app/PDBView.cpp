#include "PDBView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "view/ImportFlow.h"
#include "view/MapDisplay.h"
#include "view/SingleMapOutput.h"

namespace {

// Map names are stored in the handheld's 8-bit character set, one byte a character.
QString FromMapText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToMapText(const QString& text) {
    return text.toLatin1().toStdString();
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The Windows rounding of a × b / c for the small positive values of a layout.
int MulDiv(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

void SetText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

}  // namespace

const std::vector<CPDBView::ControlSpec>& CPDBView::Template() {
    static const std::vector<ControlSpec> controls = {
        {1000, ControlSpec::ListBox, "mapList", "", 10, 10, 104, 53, true},
        {0, ControlSpec::Label, "nameLabel", "Name", 9, 63, 20, 8, true},
        {1001, ControlSpec::Edit, "name", "", 8, 71, 106, 12, true},
        {0, ControlSpec::Label, "topLeftLabel", "Top left", 8, 85, 26, 8, true},
        {0, ControlSpec::Label, "latLabel", "Lat", 37, 85, 11, 8, true},
        {0, ControlSpec::Label, "lonLabel", "Lon", 64, 85, 13, 8, true},
        {1030, ControlSpec::Edit, "topLeftLat", "", 8, 94, 50, 12, true},
        {1031, ControlSpec::Edit, "topLeftLon", "", 61, 94, 50, 12, true},
        {0, ControlSpec::Label, "bottomRightLabel", "Bottom right", 8, 108, 40, 8, true},
        {1032, ControlSpec::Edit, "bottomRightLat", "", 7, 116, 50, 12, true},
        {1033, ControlSpec::Edit, "bottomRightLon", "", 60, 116, 50, 12, true},
        {1025, ControlSpec::Button, "add", "Add", 17, 136, 30, 14, true},
        {1026, ControlSpec::Button, "remove", "Remove", 72, 136, 30, 14, true},
        {0, ControlSpec::Label, "sizeLabel", "Size", 124, 43, 14, 8, true},
        {1027, ControlSpec::Edit, "width", "", 160, 43, 20, 12, false},
        {0, ControlSpec::Label, "byLabel", "x", 184, 46, 8, 8, true},
        {1028, ControlSpec::Edit, "height", "", 193, 43, 20, 12, false},
        {0, ControlSpec::Label, "colorLabel", "Color", 124, 62, 17, 8, true},
        {1029, ControlSpec::Edit, "colorDepth", "", 160, 62, 27, 12, false},
        {1046, ControlSpec::CheckBox, "colorTable", "Table", 191, 62, 34, 10, false},
        {1045, ControlSpec::CheckBox, "compressed", "Compressed", 160, 77, 55, 10, false},
        {0, ControlSpec::Label, "memoryLabel", "Memory", 124, 85, 26, 8, true},
        {1034, ControlSpec::Edit, "memory", "", 160, 91, 50, 12, false},
        {0, ControlSpec::Label, "kbLabel", "KB", 214, 93, 10, 8, true},
        {1035, ControlSpec::Button, "beam", "Beam", 193, 123, 30, 14, true},
        {1036, ControlSpec::Button, "export", "Export", 193, 137, 30, 14, true},
    };
    return controls;
}

QSize CPDBView::DialogBaseUnits(const QFont& font) {
    QFontMetrics metrics(font);
    int sample = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(sample / 26 + 1) / 2, metrics.height()};
}

QRect CPDBView::MapDialogRect(const QRect& dialogUnits, QSize baseUnits) {
    int left = MulDiv(dialogUnits.left(), baseUnits.width(), 4);
    int top = MulDiv(dialogUnits.top(), baseUnits.height(), 8);
    int right = MulDiv(dialogUnits.left() + dialogUnits.width(), baseUnits.width(), 4);
    int bottom = MulDiv(dialogUnits.top() + dialogUnits.height(), baseUnits.height(), 8);
    return {left, top, right - left, bottom - top};
}

CPDBView::CPDBView(mapdb::CPDBDoc& doc, QtUserInterface& ui, QWidget* parent)
    : QScrollArea(parent), form(doc), ui(ui) {
    setObjectName("pdbView");
    promptImport = PromptImportBitmap;
    CreateControls();
    form.SetControls(this);
}

CPDBView::~CPDBView() {
    form.SetControls(nullptr);
}

QWidget* CPDBView::Control(int id) const {
    auto found = controls.find(id);
    return found == controls.end() ? nullptr : found->second;
}

void CPDBView::CreateControls() {
    page = new QWidget;
    page->setObjectName("form101");
    QFont font = page->font();
    font.setPointSize(8);
    page->setFont(font);
    const QSize base = DialogBaseUnits(font);

    for (const ControlSpec& control : Template()) {
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlSpec::ListBox: widget = new QListWidget(page); break;
            case ControlSpec::Label: widget = new QLabel(QString::fromLatin1(control.text), page); break;
            case ControlSpec::Edit: widget = new QLineEdit(page); break;
            case ControlSpec::Button: widget = new QPushButton(QString::fromLatin1(control.text), page); break;
            case ControlSpec::CheckBox: widget = new QCheckBox(QString::fromLatin1(control.text), page); break;
        }
        widget->setObjectName(QString::fromLatin1(control.objectName));
        widget->setGeometry(MapDialogRect(QRect(control.left, control.top, control.width, control.height), base));
        widget->setEnabled(control.enabled);
        if (control.id != 0) {
            widget->setProperty("controlId", control.id);
            controls[control.id] = widget;
        }
    }
    page->setFixedSize(MapDialogRect(QRect(0, 0, kFormWidthDlu, kFormHeightDlu), base).size());
    setWidget(page);
    setWidgetResizable(false);

    mapList = qobject_cast<QListWidget*>(Control(1000));
    // Every row is one line of text: the list need not measure each one.
    mapList->setUniformItemSizes(true);
    mapList->setSelectionMode(QAbstractItemView::SingleSelection);
    name = qobject_cast<QLineEdit*>(Control(1001));
    topLeftLat = qobject_cast<QLineEdit*>(Control(1030));
    topLeftLon = qobject_cast<QLineEdit*>(Control(1031));
    bottomRightLat = qobject_cast<QLineEdit*>(Control(1032));
    bottomRightLon = qobject_cast<QLineEdit*>(Control(1033));
    width = qobject_cast<QLineEdit*>(Control(1027));
    height = qobject_cast<QLineEdit*>(Control(1028));
    colorDepth = qobject_cast<QLineEdit*>(Control(1029));
    memory = qobject_cast<QLineEdit*>(Control(1034));
    colorTable = qobject_cast<QCheckBox*>(Control(1046));
    compressed = qobject_cast<QCheckBox*>(Control(1045));
    name->setMaxLength(view::MapListForm::kNameLimit);
    // A character the handheld's character set lacks could not be stored.
    name->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x{1}-\\x{FF}]*")), name));
    for (QLineEdit* corner : {topLeftLat, topLeftLon, bottomRightLat, bottomRightLon}) {
        corner->setMaxLength(view::MapListForm::kCornerLimit);
    }

    // Only the user's own actions reach the handlers: textEdited is not sent when
    // the program sets a text, and the list's signals are blocked while it is filled.
    connect(mapList, &QListWidget::currentRowChanged, this, &CPDBView::OnUserSelchange);
    connect(name, &QLineEdit::textEdited, this, [this] { form.OnChangeName(); });
    connect(topLeftLat, &QLineEdit::textEdited, this, [this] { form.OnChangeTopLeftLat(); });
    connect(topLeftLon, &QLineEdit::textEdited, this, [this] { form.OnChangeTopLeftLon(); });
    connect(bottomRightLat, &QLineEdit::textEdited, this, [this] { form.OnChangeBottomRightLat(); });
    connect(bottomRightLon, &QLineEdit::textEdited, this, [this] { form.OnChangeBottomRightLon(); });
    connect(qobject_cast<QPushButton*>(Control(1025)), &QPushButton::clicked, this, &CPDBView::OnAdd);
    connect(qobject_cast<QPushButton*>(Control(1026)), &QPushButton::clicked, this, [this] { form.OnRemove(); });
    connect(qobject_cast<QPushButton*>(Control(1035)), &QPushButton::clicked, this, &CPDBView::OnBeam);
    connect(qobject_cast<QPushButton*>(Control(1036)), &QPushButton::clicked, this, &CPDBView::OnExport);
}

QSize CPDBView::sizeHint() const {
    return page->size() + QSize(2 * frameWidth(), 2 * frameWidth());
}

void CPDBView::OnInitialUpdate() {
    form.RefreshMapList();
}

void CPDBView::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        form.m_name = ToMapText(name->text());
        form.m_topLeftLat = ToMapText(topLeftLat->text());
        form.m_topLeftLon = ToMapText(topLeftLon->text());
        form.m_bottomRightLat = ToMapText(bottomRightLat->text());
        form.m_bottomRightLon = ToMapText(bottomRightLon->text());
        return;
    }
    const QSignalBlocker blockers[] = {QSignalBlocker(name), QSignalBlocker(topLeftLat), QSignalBlocker(topLeftLon),
                                       QSignalBlocker(bottomRightLat), QSignalBlocker(bottomRightLon)};
    SetText(height, QString::number(form.m_height));
    SetText(width, QString::number(form.m_width));
    SetText(name, FromMapText(form.m_name));
    SetText(memory, QString::fromStdString(view::FormatFloat(form.m_memory)));
    SetText(colorDepth, QString::fromStdString(form.m_colorDepth));
    SetText(topLeftLat, FromMapText(form.m_topLeftLat));
    SetText(bottomRightLon, FromMapText(form.m_bottomRightLon));
    SetText(bottomRightLat, FromMapText(form.m_bottomRightLat));
    SetText(topLeftLon, FromMapText(form.m_topLeftLon));
    compressed->setChecked(form.m_compressed);
    colorTable->setChecked(form.m_colorTable);
    emit mapShown();
}

void CPDBView::ListChanged() {
    const QSignalBlocker blocker(mapList);
    mapList->clear();
    // All the names in one insertion: item by item, 65,535 maps take seconds.
    const auto& items = form.m_mapList.Items();
    QStringList names;
    names.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items) {
        names.append(FromMapText(item.text));
    }
    mapList->addItems(names);
    for (std::size_t i = 0; i < items.size(); ++i) {
        mapList->item(static_cast<int>(i))->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(items[i].data));
    }
    int selected = form.m_mapList.GetCurSel();
    mapList->setCurrentRow(selected);
    if (selected >= 0) {
        mapList->scrollToItem(mapList->item(selected));
    }
    emit mapShown();
}

void CPDBView::OnUserSelchange(int row) {
    form.m_mapList.SetCurSel(row);
    form.OnSelchangeMapList();
}

void CPDBView::ImportBitmapFile(const QString& path) {
    if (auto added = view::ImportPicture(GetDocument(), &form, LocalPath(path), view::Handover::kDropped,
                                         ui.ImportAnswers());
        !added) {
        ui.ShowError(added.error());
    }
}

void CPDBView::OnAdd() {
    QString chosen = promptImport ? promptImport() : QString();
    if (chosen.isEmpty()) {
        return;
    }
    // The dialog leaves the current folder at the picture's: Beam and Export write there.
    QFileInfo picture(chosen);
    QDir::setCurrent(picture.absolutePath());
    if (auto added = view::ImportPicture(GetDocument(), &form, LocalPath(picture.absoluteFilePath()),
                                         view::Handover::kAddButton, ui.ImportAnswers());
        !added) {
        ui.ShowError(added.error());
    }
}

void CPDBView::OnBeam() {
    if (auto index = form.SelectedMap()) {
        if (auto beamed = view::BeamMap(GetDocument().GetMap(*index), view::kBeamFileName); !beamed) {
            ui.ShowError(beamed.error());
        }
    }
}

void CPDBView::OnExport() {
    if (auto index = form.SelectedMap()) {
        if (auto exported = view::ExportMap(GetDocument().GetMap(*index), view::kExportFileName); !exported) {
            ui.ShowError(exported.error());
        }
    }
}

QString PromptImportBitmap() {
    // The dialog has no owner window.
    QFileDialog dialog(nullptr, QStringLiteral("Import bitmap"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Pictures (*.bmp *.gif *.jpg *.jpeg *.jpe *.jfif *.png *.tif *.tiff)"),
                           QStringLiteral("BMP (*.bmp)"), QStringLiteral("GIF (*.gif)"),
                           QStringLiteral("JPEG (*.jpg *.jpeg *.jpe *.jfif)"), QStringLiteral("PNG (*.png)"),
                           QStringLiteral("TIFF and GeoTIFF (*.tif *.tiff)")});
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

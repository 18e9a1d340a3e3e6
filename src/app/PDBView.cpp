#include "PDBView.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "PictureFilters.h"
#include "platform/Files.h"
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

void SetText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

QLabel* MakeLabel(const char* objectName, const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

// The width of an edit that shows `widestText` whole, with its frame and margins.
int EditWidthFor(const QLineEdit* edit, const QString& widestText) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins margins = edit->textMargins();
    const int text = edit->fontMetrics().horizontalAdvance(widestText) + margins.left() + margins.right() + 4;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text, edit->fontMetrics().height()), edit)
        .width();
}

// The form's dialog units: a vertical one is an eighth of a line of text.
int LinesOfText(const QWidget* widget, int eighths) {
    return widget->fontMetrics().height() * eighths / 8;
}

// What a user can do about a file that could not be written in the current
// folder, which is the folder of the last picture added.
QString WhatToDo(int code) {
    switch (code) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("Maps are written to the folder of the last picture added: add a picture from a "
                              "folder you may write to, then try again.");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Make room on the disk, then try again.");
    default: return {};
    }
}

// "The map could not be written to Essai.map: permission denied." A failure
// without a system error already says what happened, in a sentence of its own.
QString WriteFailure(const char* written, const QString& path, const platform::Error& error) {
    if (error.code == 0) {
        return QString::fromStdString(error.message);
    }
    // Creating a file meets "no such file" only when its folder is gone.
    const QString reason = error.code == ENOENT ? QStringLiteral("its folder no longer exists")
                                                : QString::fromStdString(platform::ReasonInWords(error.code));
    return QStringLiteral("The map could not be %1 %2: %3.")
        .arg(QString::fromLatin1(written), QFileInfo(path).fileName(), reason);
}

// The operation's own words begin a sentence of the status bar.
QString AsSentence(const std::string& text) {
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
        if (!sentence.endsWith(QLatin1Char('.'))) {
            sentence += QLatin1Char('.');
        }
    }
    return sentence;
}

}  // namespace

CPDBView::CPDBView(mapdb::CPDBDoc& doc, QtUserInterface& ui, QWidget* parent)
    : QWidget(parent), form(doc), ui(ui) {
    setObjectName("pdbView");
    promptImport = [this] { return PromptImportBitmap(window()); };
    CreateControls();
    ConnectControls();
    form.SetControls(this);
}

CPDBView::~CPDBView() {
    form.SetControls(nullptr);
}

QLineEdit* CPDBView::MakeEdit(const char* objectName, int maxLength) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMaxLength(maxLength);
    return edit;
}

// A field the program fills: read-only, yet in the normal text colour, and its
// text can be selected and copied.
QLineEdit* CPDBView::MakeDisplayField(const char* objectName, const QString& widestText) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(objectName));
    field->setReadOnly(true);
    field->setFixedWidth(EditWidthFor(field, widestText));
    return field;
}

// A check box the program sets: shown as enabled, but neither mouse nor keys change it.
QCheckBox* CPDBView::MakeDisplayCheck(const char* objectName, const char* text) {
    auto* check = new QCheckBox(QString::fromLatin1(text), this);
    check->setObjectName(QString::fromLatin1(objectName));
    check->setAttribute(Qt::WA_TransparentForMouseEvents);
    check->setFocusPolicy(Qt::NoFocus);
    return check;
}

QPushButton* CPDBView::MakeButton(const char* objectName, const char* text) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

void CPDBView::CreateControls() {
    mapList = new QListWidget(this);
    mapList->setObjectName("mapList");
    // Every row is one line of text: the list need not measure each one.
    mapList->setUniformItemSizes(true);
    mapList->setSelectionMode(QAbstractItemView::SingleSelection);
    mapList->setMinimumHeight(LinesOfText(mapList, 4 * 8));
    mapList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);

    name = MakeEdit("name", view::MapListForm::kNameLimit);
    // A character the handheld's character set lacks could not be stored.
    name->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x{1}-\\x{FF}]*")), name));
    topLeftLat = MakeEdit("topLeftLat", view::MapListForm::kCornerLimit);
    topLeftLon = MakeEdit("topLeftLon", view::MapListForm::kCornerLimit);
    bottomRightLat = MakeEdit("bottomRightLat", view::MapListForm::kCornerLimit);
    bottomRightLon = MakeEdit("bottomRightLon", view::MapListForm::kCornerLimit);
    for (QLineEdit* corner : {topLeftLat, topLeftLon, bottomRightLat, bottomRightLon}) {
        corner->setMinimumWidth(EditWidthFor(corner, QStringLiteral("-000.00000")));
        corner->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    add = MakeButton("add", "Add");
    remove = MakeButton("remove", "Remove");

    width = MakeDisplayField("width", QStringLiteral("00000"));
    height = MakeDisplayField("height", QStringLiteral("00000"));
    colorDepth = MakeDisplayField("colorDepth", QStringLiteral("8 bits"));
    colorTable = MakeDisplayCheck("colorTable", "Table");
    compressed = MakeDisplayCheck("compressed", "Compressed");
    memory = MakeDisplayField("memory", QStringLiteral("00.0000"));
    beam = MakeButton("beam", "Beam");
    exportButton = MakeButton("export", "Export");

    // Left: the list over the selected map's name, its corners, Add and Remove.
    auto* left = new QGridLayout;
    left->addWidget(mapList, 0, 0, 1, 2);
    left->setRowStretch(0, 1);
    left->addWidget(MakeLabel("nameLabel", "Name", this), 1, 0, 1, 2);
    left->addWidget(name, 2, 0, 1, 2);
    auto* topLeftCaption = new QHBoxLayout;
    topLeftCaption->addWidget(MakeLabel("topLeftLabel", "Top left", this));
    topLeftCaption->addWidget(MakeLabel("latLabel", "Lat", this));
    topLeftCaption->addStretch();
    left->addLayout(topLeftCaption, 3, 0);
    left->addWidget(MakeLabel("lonLabel", "Lon", this), 3, 1);
    left->addWidget(topLeftLat, 4, 0);
    left->addWidget(topLeftLon, 4, 1);
    left->addWidget(MakeLabel("bottomRightLabel", "Bottom right", this), 5, 0, 1, 2);
    left->addWidget(bottomRightLat, 6, 0);
    left->addWidget(bottomRightLon, 6, 1);
    left->setRowMinimumHeight(7, LinesOfText(this, 6));
    left->addWidget(add, 8, 0, Qt::AlignHCenter);
    left->addWidget(remove, 8, 1, Qt::AlignHCenter);

    // Right: what the selected map is, level with the lower half of the list,
    // and Beam and Export level with Add and Remove.
    auto* facts = new QGridLayout;
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(width);
    sizeRow->addWidget(MakeLabel("byLabel", "x", this));
    sizeRow->addWidget(height);
    sizeRow->addStretch();
    facts->addWidget(MakeLabel("sizeLabel", "Size", this), 0, 0);
    facts->addLayout(sizeRow, 0, 1);
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(colorDepth);
    colorRow->addWidget(colorTable);
    colorRow->addStretch();
    facts->addWidget(MakeLabel("colorLabel", "Color", this), 1, 0);
    facts->addLayout(colorRow, 1, 1);
    facts->addWidget(compressed, 2, 1);
    auto* memoryRow = new QHBoxLayout;
    memoryRow->addWidget(memory);
    memoryRow->addWidget(MakeLabel("kbLabel", "KB", this));
    memoryRow->addStretch();
    facts->addWidget(MakeLabel("memoryLabel", "Memory", this), 3, 0);
    facts->addLayout(memoryRow, 3, 1);

    auto* outputs = new QVBoxLayout;
    outputs->setSpacing(0);
    outputs->addWidget(beam);
    outputs->addWidget(exportButton);

    auto* right = new QVBoxLayout;
    right->addSpacing(LinesOfText(this, 33));
    right->addLayout(facts);
    right->addStretch(1);
    right->addLayout(outputs);
    right->setAlignment(outputs, Qt::AlignRight);

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 1);
    columns->addSpacing(LinesOfText(this, 8));
    columns->addLayout(right);
}

void CPDBView::ConnectControls() {
    // Only the user's own actions reach the handlers: textEdited is not sent when
    // the program sets a text, and the list's signals are blocked while it is filled.
    connect(mapList, &QListWidget::currentRowChanged, this, &CPDBView::OnUserSelchange);
    connect(name, &QLineEdit::textEdited, this, [this] { form.OnChangeName(); });
    connect(topLeftLat, &QLineEdit::textEdited, this, [this] {
        form.OnChangeTopLeftLat();
        emit cornersEdited();
    });
    connect(topLeftLon, &QLineEdit::textEdited, this, [this] {
        form.OnChangeTopLeftLon();
        emit cornersEdited();
    });
    connect(bottomRightLat, &QLineEdit::textEdited, this, [this] {
        form.OnChangeBottomRightLat();
        emit cornersEdited();
    });
    connect(bottomRightLon, &QLineEdit::textEdited, this, [this] {
        form.OnChangeBottomRightLon();
        emit cornersEdited();
    });
    connect(add, &QPushButton::clicked, this, &CPDBView::OnAdd);
    connect(remove, &QPushButton::clicked, this, [this] { form.OnRemove(); });
    connect(beam, &QPushButton::clicked, this, &CPDBView::OnBeam);
    connect(exportButton, &QPushButton::clicked, this, &CPDBView::OnExport);
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

bool CPDBView::MayWrite(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    if (ui.AskToReplace(path)) {
        return true;
    }
    ui.ShowStatus(QStringLiteral("%1 was kept; nothing was written.").arg(QDir::toNativeSeparators(path)));
    return false;
}

void CPDBView::OnBeam() {
    auto index = form.SelectedMap();
    if (!index) {
        return;
    }
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(view::kBeamFileName));
    if (!MayWrite(path)) {
        return;
    }
    if (auto beamed = view::BeamMap(GetDocument().GetMap(*index), LocalPath(path)); !beamed) {
        ui.ShowFailure(WriteFailure("written to", path, beamed.error()), WhatToDo(beamed.error().code));
        return;
    }
    ui.ShowStatus(QStringLiteral("The map was written to %1.").arg(QDir::toNativeSeparators(path)));
}

void CPDBView::OnExport() {
    auto index = form.SelectedMap();
    if (!index) {
        return;
    }
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(view::kExportFileName));
    if (!MayWrite(path)) {
        return;
    }
    auto exported = view::ExportMap(GetDocument().GetMap(*index), LocalPath(path));
    if (!exported) {
        ui.ShowFailure(WriteFailure("exported to", path, exported.error()), WhatToDo(exported.error().code));
        return;
    }
    QString told = QStringLiteral("The map was exported to %1").arg(QDir::toNativeSeparators(path));
    if (exported->noWorldFile.empty()) {
        told += QStringLiteral(", with its world file, .prj and .aux.xml.");
    } else {
        told += QStringLiteral(". ") + AsSentence(exported->noWorldFile);
    }
    ui.ShowStatus(told);
}

QString PromptImportBitmap(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Import bitmap"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(PictureNameFilters());
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

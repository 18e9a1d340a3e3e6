#pragma once

#include <functional>
#include <map>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>

#include "QtUserInterface.h"
#include "view/MapListForm.h"

// The map list form (template 101) in Qt widgets: a thin layer that mirrors
// the form model into its controls and hands the user's own edits and clicks
// to the model's handlers. The controls keep the layout of the template, in
// dialog units converted with the form's font; the form scrolls when the
// window is smaller.
class CPDBView : public QScrollArea, public view::FormControls {
    Q_OBJECT

public:
    // One control of the template: rectangle in dialog units (left, top, width, height).
    struct ControlSpec {
        int id;  // 0 for labels
        enum Kind { ListBox, Label, Edit, Button, CheckBox } kind;
        const char* objectName;
        const char* text;
        int left, top, width, height;
        bool enabled;
    };
    static const std::vector<ControlSpec>& Template();
    static constexpr int kFormWidthDlu = 239;
    static constexpr int kFormHeightDlu = 164;

    CPDBView(mapdb::CPDBDoc& doc, QtUserInterface& ui, QWidget* parent = nullptr);
    ~CPDBView() override;

    view::MapListForm& Form() { return form; }
    mapdb::CPDBDoc& GetDocument() { return form.GetDocument(); }

    // Fills the form from the document for the first time.
    void OnInitialUpdate();
    // Imports a dropped picture as one or more maps.
    void ImportBitmapFile(const QString& path);
    void OnAdd();
    void OnBeam();
    void OnExport();

    // The "Import bitmap" file dialog of the Add button; returns the chosen
    // file or an empty text. Tests replace it.
    std::function<QString()> promptImport;

    // Dialog units to pixels with the form's font, as dialog templates are laid out.
    static QSize DialogBaseUnits(const QFont& font);
    static QRect MapDialogRect(const QRect& dialogUnits, QSize baseUnits);
    QWidget* Control(int id) const;

    // The whole form and the scroll area's frame, so the window gives it its room first.
    QSize sizeHint() const override;

    void UpdateData(bool saveAndValidate) override;
    void ListChanged() override;

signals:
    // The selected map or its picture may have changed.
    void mapShown();

private:
    void CreateControls();
    void OnUserSelchange(int row);

    view::MapListForm form;
    QtUserInterface& ui;
    QWidget* page = nullptr;
    std::map<int, QWidget*> controls;
    QListWidget* mapList = nullptr;
    QLineEdit* width = nullptr;
    QLineEdit* height = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* memory = nullptr;
    QLineEdit* colorDepth = nullptr;
    QLineEdit* topLeftLat = nullptr;
    QLineEdit* topLeftLon = nullptr;
    QLineEdit* bottomRightLat = nullptr;
    QLineEdit* bottomRightLon = nullptr;
    QCheckBox* compressed = nullptr;
    QCheckBox* colorTable = nullptr;
};

// Picks a picture for the Add button in a file dialog titled "Import bitmap".
QString PromptImportBitmap();

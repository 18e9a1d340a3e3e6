#pragma once

#include <functional>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "QtUserInterface.h"
#include "view/MapListForm.h"

// The map list form in Qt widgets: a thin layer that mirrors the form model
// into its controls and hands the user's own edits and clicks to the model's
// handlers. The controls are arranged by layouts: the list takes the height
// the form is given beyond its own.
class CPDBView : public QWidget, public view::FormControls {
    Q_OBJECT

public:
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

    void UpdateData(bool saveAndValidate) override;
    void ListChanged() override;

signals:
    // The selected map or its picture may have changed.
    void mapShown();
    // A corner of the selected map was typed in.
    void cornersEdited();

private:
    void CreateControls();
    void ConnectControls();
    QLineEdit* MakeEdit(const char* objectName, int maxLength);
    QLineEdit* MakeDisplayField(const char* objectName, const QString& widestText);
    QCheckBox* MakeDisplayCheck(const char* objectName, const char* text);
    QPushButton* MakeButton(const char* objectName, const char* text);
    void OnUserSelchange(int row);
    // Whether the file the map is about to be written to may be written: it
    // does not exist yet, or the user agrees to replace it.
    bool MayWrite(const QString& path);

    view::MapListForm form;
    QtUserInterface& ui;
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
    QPushButton* add = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* beam = nullptr;
    QPushButton* exportButton = nullptr;
};

// Picks a picture for the Add button in a file dialog titled "Import bitmap",
// centred on `parent`.
QString PromptImportBitmap(QWidget* parent);

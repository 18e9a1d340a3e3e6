#pragma once

#include <functional>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSplitter>
#include <QToolBar>

#include "LockKeys.h"
#include "mapdb/PDBDoc.h"

class CPDBApp;
class CoverageView;
class CPDBView;
class MapPreview;
class QtUserInterface;

// The main window: menus, tool bar, status bar with the lock-key panes, the
// form as its view with the map preview on its right, and files dropped onto
// it. It remembers its size, its place and the preview's width.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kInitialWidth = 580;
    static constexpr int kInitialHeight = 450;

    CMainFrame(CPDBApp& app, mapdb::CPDBDoc& doc, QtUserInterface& ui);
    ~CMainFrame() override;

    CPDBView* GetActiveView() { return view; }
    MapPreview* GetPreview() { return preview; }
    QSplitter* GetRightPane() { return rightPane; }
    QToolBar* GetToolBar() { return toolBar; }
    // Adds a widget below the preview, in the pane that takes the window's extra width.
    void AddBesidePreview(QWidget* widget);

    // Caption "TITLE - Navrello Plandrel", with "*" after the title while the
    // document has changes not saved.
    void OnUpdateFrameTitle();
    void UpdateRecentFileMenu(const QStringList& files);
    // Dropped files: databases (a first path containing ".pdb") are opened in
    // turn; otherwise the first file is imported as a picture.
    void OnDropFiles(const QStringList& paths);

    // Lights the CAP, NUM and SCRL panes from the lock keys' state.
    void UpdateIndicators();
    std::function<LockKeys()> queryLockKeys = QueryLockKeys;
    QLabel* Indicator(int i) { return indicators[i]; }
    QLabel* MessagePane() { return messagePane; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeAction(const char* objectName, const QString& text, const char* prompt, const char* tip);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanes(QtUserInterface& ui);
    void ShowSelectedMap();
    void ReadSettings();
    void WriteSettings() const;

    CPDBApp& app;
    mapdb::CPDBDoc& doc;
    CPDBView* view = nullptr;
    MapPreview* preview = nullptr;
    QSplitter* panes = nullptr;
    QSplitter* rightPane = nullptr;
    CoverageView* coverage = nullptr;
    // The preview's width to restore once the window has its size; 0: as the layout gives it.
    int rememberedPreviewWidth = 0;
    QToolBar* toolBar = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* recentPlaceholder = nullptr;
    QAction* recentSeparator = nullptr;
    QList<QAction*> recentActions;
    QAction* newAct = nullptr;
    QAction* openAct = nullptr;
    QAction* saveAct = nullptr;
    QAction* saveAsAct = nullptr;
    QAction* exitAct = nullptr;
    QAction* toolBarAct = nullptr;
    QAction* statusBarAct = nullptr;
    QAction* aboutAct = nullptr;
    QLabel* messagePane = nullptr;
    QLabel* indicators[3] = {};
};

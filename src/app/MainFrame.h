#pragma once

#include <functional>

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

#include "LockKeys.h"
#include "mapdb/PDBDoc.h"

class CPDBApp;
class CPDBView;
class MapPreview;
class QtUserInterface;

// The main window: menus, tool bar, status bar with the lock-key panes, the
// form as its view, the map preview, and files dropped onto it.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kInitialWidth = 580;
    static constexpr int kInitialHeight = 450;

    CMainFrame(CPDBApp& app, mapdb::CPDBDoc& doc, QtUserInterface& ui);
    ~CMainFrame() override;

    CPDBView* GetActiveView() { return view; }
    MapPreview* GetPreview() { return preview; }
    QDockWidget* GetPreviewDock() { return previewDock; }
    QToolBar* GetToolBar() { return toolBar; }

    // Caption "TITLE - Navrello Plandrel".
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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeAction(const char* objectName, const QString& text, const char* prompt, const char* tip);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePreview();
    void ShowSelectedMap();

    CPDBApp& app;
    mapdb::CPDBDoc& doc;
    CPDBView* view = nullptr;
    MapPreview* preview = nullptr;
    QDockWidget* previewDock = nullptr;
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

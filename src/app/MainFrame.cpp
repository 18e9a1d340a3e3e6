#include "MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

#include "AppSettings.h"
#include "AppTexts.h"
#include "CoverageView.h"
#include "MapPreview.h"
#include "PDBApp.h"
#include "PDBView.h"
#include "Resources.h"

namespace {

constexpr const char* kIndicatorTexts[3] = {"CAP", "NUM", "SCRL"};
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kPreviewWidthKey = "window/previewWidth";

}  // namespace

CMainFrame::CMainFrame(CPDBApp& app, mapdb::CPDBDoc& doc, QtUserInterface& ui) : app(app), doc(doc) {
    setObjectName("mainFrame");
    setWindowIcon(ApplicationIcon());
    CreateStatusBar();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePanes(ui);
    ReadSettings();
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    UpdateIndicators();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
}

QAction* CMainFrame::MakeAction(const char* objectName, const QString& text, const char* prompt, const char* tip) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setStatusTip(QString::fromLatin1(prompt));
    if (tip != nullptr) {
        action->setToolTip(QString::fromLatin1(tip));
    }
    return action;
}

void CMainFrame::CreateActions() {
    newAct = MakeAction("fileNew", tr("&New..."), "Create a new maps database", "New maps DB");
    newAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    newAct->setIcon(ToolBarIcon(ToolBarButton::New));
    connect(newAct, &QAction::triggered, &app, &CPDBApp::OnFileNew);

    openAct = MakeAction("fileOpen", tr("&Open..."), "Open an existing  maps database", "Open maps DB");
    openAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    openAct->setIcon(ToolBarIcon(ToolBarButton::Open));
    connect(openAct, &QAction::triggered, &app, &CPDBApp::OnFileOpen);

    saveAct = MakeAction("fileSave", tr("&Save"), "Save the active maps database", "Save maps DB");
    saveAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAct->setIcon(ToolBarIcon(ToolBarButton::Save));
    connect(saveAct, &QAction::triggered, &app, &CPDBApp::OnFileSave);

    saveAsAct = MakeAction("fileSaveAs", tr("Save &As..."), "Save the active maps database with a new name",
                           "Save As maps DB");
    connect(saveAsAct, &QAction::triggered, &app, &CPDBApp::OnFileSaveAs);

    exitAct = MakeAction("appExit", tr("E&xit"), "Quit the application; prompts to save documents", "Exit");
    connect(exitAct, &QAction::triggered, this, &QWidget::close);

    toolBarAct = MakeAction("viewToolBar", tr("&Toolbar"), "Show or hide the toolbar", "Toggle ToolBar");
    toolBarAct->setCheckable(true);
    toolBarAct->setChecked(true);
    statusBarAct = MakeAction("viewStatusBar", tr("&Status Bar"), "Show or hide the status bar", "Toggle StatusBar");
    statusBarAct->setCheckable(true);
    statusBarAct->setChecked(true);
    connect(statusBarAct, &QAction::toggled, statusBar(), &QWidget::setVisible);

    aboutAct = MakeAction("appAbout", tr("About Plandrel ..."),
                          "Display program information, version number and copyright", "About");
    aboutAct->setIcon(ToolBarIcon(ToolBarButton::About));
    connect(aboutAct, &QAction::triggered, &app, &CPDBApp::OnAppAbout);
}

void CMainFrame::CreateMenus() {
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->setObjectName("fileMenu");
    fileMenu->addAction(newAct);
    fileMenu->addAction(openAct);
    fileMenu->addAction(saveAct);
    fileMenu->addAction(saveAsAct);
    fileMenu->addSeparator();
    recentPlaceholder = MakeAction("recentFile", tr("Recent File"), "Open this maps database", nullptr);
    recentPlaceholder->setEnabled(false);
    fileMenu->addAction(recentPlaceholder);
    recentSeparator = fileMenu->addSeparator();
    fileMenu->addAction(exitAct);

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->setObjectName("viewMenu");
    viewMenu->addAction(toolBarAct);
    viewMenu->addAction(statusBarAct);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->setObjectName("helpMenu");
    helpMenu->addAction(aboutAct);
}

void CMainFrame::CreateToolBar() {
    toolBar = new QToolBar(tr("Toolbar"), this);
    toolBar->setObjectName("toolBar");
    toolBar->setIconSize(QSize(16, 15));
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar->addAction(newAct);
    toolBar->addAction(openAct);
    toolBar->addAction(saveAct);
    toolBar->addSeparator();
    toolBar->addAction(aboutAct);
    addToolBar(Qt::TopToolBarArea, toolBar);
    connect(toolBarAct, &QAction::toggled, toolBar, &QWidget::setVisible);
    connect(toolBar, &QToolBar::visibilityChanged, toolBarAct, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    // The message pane: prompts of the commands show over it as temporary messages.
    messagePane = new QLabel(QString::fromLatin1(kIdleText));
    messagePane->setObjectName("messagePane");
    bar->addWidget(messagePane, 1);
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel;
        pane->setObjectName(QString::fromLatin1(kIndicatorTexts[i]));
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
        bar->addPermanentWidget(pane);
        indicators[i] = pane;
    }
}

// The form on the left keeps its width; the pane on the right, the preview
// and what may be added below it, takes what the window has beyond.
void CMainFrame::CreatePanes(QtUserInterface& ui) {
    panes = new QSplitter(Qt::Horizontal, this);
    panes->setObjectName("panes");
    panes->setChildrenCollapsible(false);
    view = new CPDBView(doc, ui, panes);
    rightPane = new QSplitter(Qt::Vertical, panes);
    rightPane->setObjectName("rightPane");
    rightPane->setChildrenCollapsible(false);
    preview = new MapPreview(rightPane);
    coverage = new CoverageView(doc, rightPane);
    coverage->setObjectName("coverage");
    AddBesidePreview(coverage);
    panes->addWidget(view);
    panes->addWidget(rightPane);
    panes->setStretchFactor(0, 0);
    panes->setStretchFactor(1, 1);
    setCentralWidget(panes);

    // Each pane on the right has its toggle in the View menu; an empty right
    // side would keep the width the form could have.
    auto addToggle = [this](QWidget* pane, const QString& text, const char* objectName, const QString& tip,
                            const QString& toolTip) {
        auto* act = new QAction(text, this);
        act->setObjectName(objectName);
        act->setCheckable(true);
        act->setChecked(true);
        act->setStatusTip(tip);
        act->setToolTip(toolTip);
        connect(act, &QAction::toggled, this, [this, pane](bool shown) {
            pane->setVisible(shown);
            bool anyShown = false;
            for (int i = 0; i < rightPane->count(); ++i) {
                anyShown = anyShown || !rightPane->widget(i)->isHidden();
            }
            rightPane->setVisible(anyShown);
        });
        menuBar()->findChild<QMenu*>("viewMenu")->addAction(act);
    };
    addToggle(preview, tr("&Preview"), "viewPreview", tr("Show or hide the preview of the selected map"),
              tr("Toggle Preview"));
    addToggle(coverage, tr("&Coverage"), "viewCoverage", tr("Show or hide the outlines of all maps"),
              tr("Toggle Coverage"));
    connect(view, &CPDBView::mapShown, this, &CMainFrame::ShowSelectedMap);
    connect(view, &CPDBView::cornersEdited, coverage, &CoverageView::Refresh);
    connect(coverage, &CoverageView::mapClicked, this, [this](std::size_t index) { view->Form().SelectMap(index); });
    ShowSelectedMap();
}

void CMainFrame::AddBesidePreview(QWidget* widget) {
    rightPane->addWidget(widget);
}

void CMainFrame::ReadSettings() {
    QSettings settings = AppSettings();
    if (!restoreGeometry(settings.value(kGeometryKey).toByteArray())) {
        resize(kInitialWidth, kInitialHeight);
    }
    rememberedPreviewWidth = settings.value(kPreviewWidthKey, 0).toInt();
}

void CMainFrame::WriteSettings() const {
    QSettings settings = AppSettings();
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kPreviewWidthKey, rightPane->width());
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The splitter knows its width only once the window is laid out.
    if (rememberedPreviewWidth > 0) {
        const int total = panes->sizes().value(0) + panes->sizes().value(1);
        panes->setSizes({total - rememberedPreviewWidth, rememberedPreviewWidth});
        rememberedPreviewWidth = 0;
    }
}

void CMainFrame::ShowSelectedMap() {
    auto index = view->Form().SelectedMap();
    preview->ShowMap(index ? &doc.GetMap(*index) : nullptr);
    coverage->Refresh();
    coverage->SetSelectedMap(index);
}

void CMainFrame::OnUpdateFrameTitle() {
    // "[*]" marks where "*" shows; one in the file's name is doubled to be shown as it is.
    QString title = QString::fromStdString(doc.GetTitle()).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(QStringLiteral("%1[*] - %2").arg(title, QString::fromLatin1(kAppTitle)));
    setWindowModified(doc.IsModified());
}

void CMainFrame::UpdateRecentFileMenu(const QStringList& files) {
    for (QAction* action : recentActions) {
        fileMenu->removeAction(action);
        action->deleteLater();
    }
    recentActions.clear();
    recentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        QString shown = QDir::toNativeSeparators(files.at(i));
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
        action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        action->setStatusTip(QStringLiteral("Open this maps database"));
        action->setData(files.at(i));
        connect(action, &QAction::triggered, &app, [this, i] { app.OnOpenRecentFile(i); });
        fileMenu->insertAction(recentSeparator, action);
        recentActions.append(action);
    }
}

void CMainFrame::OnDropFiles(const QStringList& paths) {
    if (paths.isEmpty()) {
        return;
    }
    activateWindow();
    // The whole first path is examined: a longer path once cut at 99 characters
    // could name another file or none.
    const QString& first = paths.constFirst();
    if (first.contains(QStringLiteral(".pdb"), Qt::CaseSensitive)) {
        for (const QString& path : paths) {
            app.OpenDocumentFile(path);
        }
        return;
    }
    view->ImportBitmapFile(first);
}

void CMainFrame::UpdateIndicators() {
    const LockKeys keys = queryLockKeys ? queryLockKeys() : LockKeys{};
    const bool lit[3] = {keys.capsLock, keys.numLock, keys.scrollLock};
    for (int i = 0; i < 3; ++i) {
        indicators[i]->setText(lit[i] ? QString::fromLatin1(kIndicatorTexts[i]) : QString());
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (app.SaveModified()) {
        WriteSettings();
        event->accept();
    } else {
        event->ignore();
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    // The import's dialogs are modal: run them once the drag has ended, not inside it.
    QMetaObject::invokeMethod(this, [this, paths] { OnDropFiles(paths); }, Qt::QueuedConnection);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // The lock panes follow every key and every return to the application.
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::ApplicationActivate) {
        UpdateIndicators();
    }
    return QMainWindow::eventFilter(watched, event);
}

#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QStringList>

#include "QtUserInterface.h"
#include "RecentFileList.h"
#include "mapdb/PDBDoc.h"

class CMainFrame;

// The application: one document, one main window with its form, the recent-file
// list and the commands that work on whole databases.
class CPDBApp : public QObject {
    Q_OBJECT

public:
    enum class SaveAnswer { Save, Discard, Cancel };

    CPDBApp();
    ~CPDBApp() override;

    // Start-up: settings and recent files, the main window, then the command
    // line (no argument: a new database; one: that file opened). False when the
    // program must end, after the user has been told why.
    bool InitInstance(const QStringList& arguments);

    mapdb::CPDBDoc& GetDocument() { return doc; }
    CMainFrame* GetMainFrame() { return frame.get(); }
    QtUserInterface& GetUserInterface() { return ui; }
    const QStringList& RecentFiles() const { return recent.Files(); }

    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnOpenRecentFile(int index);
    void OnAppAbout();
    // Opens a database as the document, after the save question; false when it is not opened.
    bool OpenDocumentFile(const QString& path);
    // The save question for a modified document; false when the user cancels or the save fails.
    bool SaveModified();

    // The user's answers, replaced by tests: the save question (given the
    // document's title), whether to save over a file another program changed,
    // the Open and Save As file dialogs (empty: cancelled), the About box.
    std::function<SaveAnswer(const QString& title)> askToSave;
    std::function<bool(const QString& title)> askToOverwrite;
    std::function<QString()> promptOpenFile;
    std::function<QString(const QString& proposed)> promptSaveFile;
    std::function<void()> showAbout;

signals:
    void recentFilesChanged();

private:
    bool ReadDocument(const QString& path);
    bool DoSave(const QString& path);
    void DocumentReplaced();
    void Remember(const QString& path);
    void Forget(const QString& path);

    mapdb::CPDBDoc doc;
    QtUserInterface ui;
    RecentFileList recent;
    std::unique_ptr<CMainFrame> frame;
};

// A name typed without extension gets ".pdb".
QString WithDefaultExtension(const QString& path);

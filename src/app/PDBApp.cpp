#include "PDBApp.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "AboutDlg.h"
#include "AppSettings.h"
#include "AppTexts.h"
#include "DelayedProgress.h"
#include "MainFrame.h"
#include "PDBView.h"
#include "platform/FolderLock.h"

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromLocal(const std::string& text) {
    return QFile::decodeName(QByteArray::fromStdString(text));
}

}  // namespace

QString WithDefaultExtension(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + QString::fromLatin1(kDefaultExtension);
}

CPDBApp::CPDBApp() {
    askToSave = [this](const QString& title) {
        auto answer = QMessageBox::question(frame.get(), QString::fromLatin1(kAppTitle),
                                            tr("Save changes to %1?").arg(title),
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return answer == QMessageBox::Yes ? SaveAnswer::Save
               : answer == QMessageBox::No ? SaveAnswer::Discard
                                           : SaveAnswer::Cancel;
    };
    askToOverwrite = [this](const QString& title) {
        return QMessageBox::question(frame.get(), QString::fromLatin1(kAppTitle),
                                     tr("%1 has been changed by another program. Save anyway?").arg(title),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    promptOpenFile = [this] {
        return QFileDialog::getOpenFileName(frame.get(), tr("Open"), QString(), QString::fromLatin1(kFileFilter));
    };
    promptSaveFile = [this](const QString& proposed) {
        QFileDialog dialog(frame.get(), tr("Save As"), proposed, QString::fromLatin1(kFileFilter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("pdb"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().constFirst();
    };
    showAbout = [this] {
        CAboutDlg about(frame.get());
        about.exec();
    };
}

CPDBApp::~CPDBApp() {
    // The window and its form go before the document they show.
    doc.modifiedChanged = nullptr;
    frame.reset();
}

bool CPDBApp::InitInstance(const QStringList& arguments) {
    {
        QSettings settings = AppSettings();
        recent.Load(settings);
    }
    frame = std::make_unique<CMainFrame>(*this, doc, ui);
    ui.SetParent(frame.get());
    doc.modifiedChanged = [this](bool modified) { frame->setWindowModified(modified); };
    frame->UpdateRecentFileMenu(recent.Files());

    if (arguments.isEmpty()) {
        doc.OnNewDocument();
        frame->GetActiveView()->OnInitialUpdate();
        frame->OnUpdateFrameTitle();
    } else {
        frame->GetActiveView()->OnInitialUpdate();
        if (!OpenDocumentFile(arguments.constFirst())) {
            return false;
        }
    }
    frame->show();
    return true;
}

void CPDBApp::DocumentReplaced() {
    doc.UpdateAllViews(nullptr);
    if (frame) {
        frame->OnUpdateFrameTitle();
    }
}

void CPDBApp::Remember(const QString& path) {
    recent.Add(path);
    QSettings settings = AppSettings();
    recent.Save(settings);
    if (frame) {
        frame->UpdateRecentFileMenu(recent.Files());
    }
    emit recentFilesChanged();
}

void CPDBApp::Forget(const QString& path) {
    recent.Remove(path);
    QSettings settings = AppSettings();
    recent.Save(settings);
    if (frame) {
        frame->UpdateRecentFileMenu(recent.Files());
    }
    emit recentFilesChanged();
}

bool CPDBApp::SaveModified() {
    if (!doc.IsModified()) {
        return true;
    }
    switch (askToSave(QString::fromStdString(doc.GetTitle()))) {
        case SaveAnswer::Save: return OnFileSave();
        case SaveAnswer::Discard: return true;
        case SaveAnswer::Cancel: break;
    }
    return false;
}

void CPDBApp::OnFileNew() {
    if (!SaveModified()) {
        return;
    }
    doc.OnNewDocument();
    DocumentReplaced();
}

void CPDBApp::OnFileOpen() {
    QString path = promptOpenFile();
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

bool CPDBApp::OpenDocumentFile(const QString& path) {
    return SaveModified() && ReadDocument(path);
}

bool CPDBApp::ReadDocument(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    platform::Result<void> opened = [&] {
        platform::FolderLocks lock({LocalPath(absolute)}, platform::FolderLocks::Mode::kShared);
        return doc.OnOpenDocument(LocalPath(absolute));
    }();
    // A file that could not be read leaves the database as it was; one that
    // was read and refused leaves a new one.
    if (opened || opened.error().code == 0) {
        DocumentReplaced();
    }
    if (!opened) {
        ui.ShowError(opened.error());
        return false;
    }
    Remember(absolute);
    return true;
}

void CPDBApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= recent.Files().size()) {
        return;
    }
    const QString path = recent.Files().at(index);
    // A file that can no longer be opened leaves the list.
    if (SaveModified() && !ReadDocument(path)) {
        Forget(path);
    }
}

bool CPDBApp::OnFileSave() {
    if (doc.GetPathName().empty()) {
        return OnFileSaveAs();
    }
    return DoSave(FromLocal(doc.GetPathName()));
}

bool CPDBApp::OnFileSaveAs() {
    QString proposed = doc.GetPathName().empty() ? QString::fromStdString(doc.GetTitle())
                                                 : FromLocal(doc.GetPathName());
    QString path = WithDefaultExtension(promptSaveFile(proposed));
    if (path.isEmpty()) {
        return false;
    }
    return DoSave(path);
}

bool CPDBApp::DoSave(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const std::string target = LocalPath(absolute);
    // Another program's changes to the document's own file are not saved over
    // without asking.
    if (target == doc.GetPathName() && doc.ChangedOnDisk() &&
        !askToOverwrite(FromLocal(platform::FileNameOfPath(target)))) {
        return false;
    }
    platform::Result<void> saved = [&] {
        platform::FolderLocks lock({target}, platform::FolderLocks::Mode::kExclusive);
        DelayedProgress progress(frame.get(), QStringLiteral("saveProgress"), tr("Saving the database"));
        const QString label = tr("Saving %1…").arg(FromLocal(platform::FileNameOfPath(target)));
        doc.saveProgress = [&progress, &label](double done) { progress.Tell(label, done); };
        platform::Result<void> result = doc.OnSaveDocument(target);
        doc.saveProgress = nullptr;
        return result;
    }();
    if (!saved) {
        // The document keeps its modified flag and its name.
        ui.ShowError(saved.error());
        return false;
    }
    DocumentReplaced();
    Remember(absolute);
    return true;
}

void CPDBApp::OnAppAbout() {
    showAbout();
}

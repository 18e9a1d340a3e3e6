#pragma once

#include <string>
#include <vector>

#include "Archive.h"

namespace platform {

class CDocument;

// Something that shows a document and is told when it changes.
class CView {
public:
    virtual ~CView() = default;
    virtual void OnUpdate(CView* sender) = 0;
};

// The framework's document: path, title, modified flag, attached views, and the
// file handling around the document's own reading and writing. Saving is atomic:
// the new file is written beside the target and renamed over it only when complete.
class CDocument {
public:
    virtual ~CDocument() = default;

    bool IsModified() const { return modified; }
    void SetModifiedFlag(bool isModified = true) { modified = isModified; }

    const std::string& GetPathName() const { return pathName; }
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return title; }
    void SetTitle(const std::string& newTitle) { title = newTitle; }

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return views; }
    void UpdateAllViews(CView* sender);

    // Makes the document new and untitled.
    virtual bool OnNewDocument();
    // Reads the file at `path`; on failure `error` says why and the document is new.
    bool OnOpenDocument(const std::string& path, std::string& error);
    // Writes the document to `path` atomically; on failure `error` says why and
    // the file at `path` is exactly as it was.
    bool OnSaveDocument(const std::string& path, std::string& error);
    // Writes the document through a given archive (tests inject faults here).
    bool SaveThrough(CArchive& archive, std::string& error);

    static constexpr const char* kUntitled = "Untitled";

protected:
    // Reads the document; returns false when the file is refused.
    virtual bool Load(CArchive& archive) = 0;
    // Writes the document; throws ArchiveError when the archive fails. On a throw the
    // document must be left as it was before the call. A save is complete once the
    // archive has been flushed (for a file: written, made durable and renamed to the
    // target), which the framework does after Store unless Store did it: a document
    // that changes itself while writing flushes inside Store, so that it can undo its
    // changes whatever step fails.
    virtual void Store(CArchive& archive) = 0;

private:
    std::string pathName;
    std::string title = kUntitled;
    bool modified = false;
    std::vector<CView*> views;
};

}  // namespace platform

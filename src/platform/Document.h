#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Files.h"
#include "Result.h"

namespace platform {

// Something that shows a document and is told when it changes.
class CView {
public:
    virtual ~CView() = default;
    virtual void OnUpdate(CView* sender) = 0;
};

// The framework's document: path, title, modified flag, attached views, and the
// file handling around the document's own reading and writing.
class CDocument {
public:
    virtual ~CDocument() = default;

    bool IsModified() const { return modified; }
    void SetModifiedFlag(bool isModified = true);
    // Called after every change of the modified flag, with its new value.
    std::function<void(bool modified)> modifiedChanged;
    // Told while the document is saved how far the save has come, from 0 as it
    // begins to 1 once the file is complete and on the disk.
    std::function<void(double done)> saveProgress;

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
    // Reads the file at `path`. A file that cannot be read leaves the document
    // as it was ("Cannot open NAME: REASON"); a file that is read and refused
    // leaves it new, and the error says why.
    Result<void> OnOpenDocument(const std::string& path);
    // Writes the document to `path`, or to the file it links to; on failure the
    // file is as it was, unless it had to be rewritten in place.
    virtual Result<void> OnSaveDocument(const std::string& path) = 0;
    // Whether the document's file has been changed by another program since it
    // was opened or last saved (a file since removed counts as unchanged).
    bool ChangedOnDisk() const;

    static constexpr const char* kUntitled = "Untitled";

protected:
    // Reads the document from the file: the system's error (with its code)
    // when the file cannot be read, leaving the document as it was; an error
    // of code 0 when the file is refused.
    virtual Result<void> Load(const InputFile& file) = 0;
    // Puts the parts, one after another, as the file at `path` (or the file it
    // links to). A new file is written beside it, made durable and renamed over
    // it only when complete, with the owner, group and permissions of the one it
    // replaces; a file that shares its data with other names, or whose owner,
    // group or folder the program cannot give a new file, is rewritten in place
    // and made durable. Then the document is named after `path` and unmodified.
    // saveProgress is told how much of the file the disk has as it is written.
    Result<void> SaveFile(const std::string& path, std::span<const ByteSpan> parts);

private:
    std::string pathName;
    std::string title = kUntitled;
    bool modified = false;
    std::vector<CView*> views;
    std::optional<FileIdentity> onDisk;  // the file as this document last read or wrote it
};

}  // namespace platform

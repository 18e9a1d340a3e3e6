#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
    // Reads the file at `path`; on failure the document is new and the error says why.
    Result<void> OnOpenDocument(const std::string& path);
    // Writes the document to `path`; on failure the file at `path` is exactly as it was.
    virtual Result<void> OnSaveDocument(const std::string& path) = 0;

    static constexpr const char* kUntitled = "Untitled";

protected:
    // Reads the document from the whole file; an error when the file is refused.
    virtual Result<void> Load(std::span<const std::uint8_t> file) = 0;
    // Puts the parts, one after another, in place as the file at `path`,
    // atomically: they are written beside it, made durable and renamed over it
    // only when complete. Then the document is named after `path` and unmodified.
    Result<void> SaveFile(const std::string& path, std::span<const std::span<const std::uint8_t>> parts);

private:
    std::string pathName;
    std::string title = kUntitled;
    bool modified = false;
    std::vector<CView*> views;
};

}  // namespace platform

#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// The most recently opened or saved databases, newest first, kept in the
// settings under "Recent File List" as File1, File2, ...
class RecentFileList {
public:
    static constexpr int kSize = 4;

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

    // Puts the file first, removing an older entry for it and the oldest beyond the size.
    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return files; }

private:
    QStringList files;
};

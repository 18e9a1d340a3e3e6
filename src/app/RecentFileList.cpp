#include "RecentFileList.h"

#include <QFileInfo>

namespace {

constexpr const char* kGroup = "Recent File List";

QString Key(int i) {
    return QStringLiteral("File%1").arg(i + 1);
}

}  // namespace

void RecentFileList::Load(QSettings& settings) {
    files.clear();
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        QString path = settings.value(Key(i)).toString();
        if (!path.isEmpty() && !files.contains(path)) {
            files.append(path);
        }
    }
    settings.endGroup();
}

void RecentFileList::Save(QSettings& settings) const {
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        if (i < files.size()) {
            settings.setValue(Key(i), files.at(i));
        } else {
            settings.remove(Key(i));
        }
    }
    settings.endGroup();
    settings.sync();
}

void RecentFileList::Add(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kSize) {
        files.removeLast();
    }
}

void RecentFileList::Remove(const QString& path) {
    files.removeAll(QFileInfo(path).absoluteFilePath());
}

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include "MainFrame.h"
#include "PDBApp.h"
#include "PDBView.h"
#include "mapdb/PDBDoc.h"

// What a test saw of one modal dialog or notice.
struct SeenDialog {
    QString objectName;
    QString title;
    QStringList texts;  // every label, button and edit text, in creation order
    QWidget* parent = nullptr;
};

// An application whose every question is answered by the test: the save
// question, the file dialogs and the modal dialogs, each recorded.
class Harness {
public:
    Harness() {
        app.askToSave = [this](const QString& title) {
            saveQuestions.append(title);
            return saveAnswer;
        };
        app.askToOverwrite = [this](const QString& title) {
            overwriteQuestions.append(title);
            return overwriteAnswer;
        };
        app.promptOpenFile = [this] { return openAnswer; };
        app.promptSaveFile = [this](const QString& proposed) {
            proposedNames.append(proposed);
            return saveAsAnswer;
        };
        app.GetUserInterface().run = [this](QDialog& dialog) {
            SeenDialog seen{dialog.objectName(), dialog.windowTitle(), {}, dialog.parentWidget()};
            for (QWidget* child : dialog.findChildren<QWidget*>()) {
                if (auto* label = qobject_cast<QLabel*>(child); label && !label->text().isEmpty()) {
                    seen.texts.append(label->text());
                } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
                    seen.texts.append(button->text());
                } else if (auto* edit = qobject_cast<QLineEdit*>(child)) {
                    seen.texts.append(edit->text());
                } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
                    seen.texts.append(group->title());
                }
            }
            dialogs.push_back(seen);
            if (answer) {
                answer(dialog);
            } else {
                dialog.accept();
            }
        };
    }

    bool Start(const QStringList& arguments = {}) {
        bool started = app.InitInstance(arguments);
        if (started) {
            app.GetMainFrame()->GetActiveView()->promptImport = [this] { return importAnswer; };
        }
        return started;
    }

    QStringList DialogTitles() const {
        QStringList titles;
        for (const auto& seen : dialogs) {
            titles.append(seen.title);
        }
        return titles;
    }

    CPDBApp app;
    CPDBApp::SaveAnswer saveAnswer = CPDBApp::SaveAnswer::Discard;
    QStringList saveQuestions;
    bool overwriteAnswer = false;
    QStringList overwriteQuestions;
    QString openAnswer;
    QString saveAsAnswer;
    QString importAnswer;
    QStringList proposedNames;
    std::vector<SeenDialog> dialogs;
    std::function<void(QDialog&)> answer;
};

// A map of `rows` rows whose place in the scale order follows `rows`.
inline mapdb::MapRecord TestMap(const std::string& name, std::uint16_t rows, std::uint8_t depth = 1) {
    mapdb::MapRecord map;
    map.SetName(name);
    map.width = 16;
    map.height = rows;
    map.pixelSize = depth;
    map.rowBytes = static_cast<std::uint16_t>(2 * depth);
    map.topLeftLat = 36000000;
    map.bottomRightLat = 0;
    map.data.assign(std::size_t{map.rowBytes} * rows, 0);
    return map;
}

// Writes a database of these maps.
inline QString WriteDatabase(const QString& path, std::vector<mapdb::MapRecord> maps) {
    mapdb::CPDBDoc doc;
    doc.OnNewDocument();
    for (auto& map : maps) {
        doc.AddMap(std::move(map), mapdb::RecordEntry{});
    }
    if (auto saved = doc.OnSaveDocument(path.toStdString()); !saved) {
        qFatal("cannot write %s: %s", qPrintable(path), saved.error().message.c_str());
    }
    return path;
}

// Writes an 8-bit Windows bitmap: entry 0 black, 1 white; pixel (x, y) is (x + y) % 2.
inline QString WriteBitmap(const QString& path, int width, int height) {
    const int rowSize = (width + 3) & ~3;
    const int offset = 14 + 40 + 256 * 4;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(offset + rowSize * height), 0);
    auto le32 = [&bytes](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    le32(2, static_cast<std::uint32_t>(bytes.size()));
    le32(10, offset);
    le32(14, 40);
    le32(18, static_cast<std::uint32_t>(width));
    le32(22, static_cast<std::uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 8;
    bytes[54 + 4] = bytes[54 + 5] = bytes[54 + 6] = 255;  // entry 1: white
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes[static_cast<std::size_t>(offset + y * rowSize + x)] = static_cast<std::uint8_t>((x + y) % 2);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// The side file that gives a picture its corners without the coordinates dialog.
inline void WriteSideFile(const QString& picturePath) {
    QFile file(picturePath.left(picturePath.size() - 3) + "txt");
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot write the side file");
    }
    file.write("46.5,6.5\n46.0,7.0\n");
}

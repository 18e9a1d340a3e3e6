// Databases: opening and saving one of 1,000 maps (about 60 MB) against
// copying its file with cp (and with cp making the copy durable, as a save
// does), and opening one of 65,535 maps and refilling the map list form, in
// absolute time, through the program's window.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QListWidget>
#include <QSettings>
#include <QStandardPaths>

#include "BenchSupport.h"
#include "MainFrame.h"
#include "PDBApp.h"
#include "PDBView.h"
#include "mapdb/PDBDoc.h"
#include "view/MapListForm.h"

namespace bench {

namespace {

// A map of width × height at 8 bits cut from the picture at (x0, y0), named
// like a tile, its scale depending on `scale`.
mapdb::MapRecord MapOf(int width, int height, int x0, int y0, const std::string& name, int scale) {
    mapdb::MapRecord map;
    map.SetName(name);
    map.width = static_cast<std::uint16_t>(width);
    map.height = static_cast<std::uint16_t>(height);
    map.rowBytes = static_cast<std::uint16_t>((width + 1) & ~1);
    map.pixelSize = 8;
    map.topLeftLat = 180000000 - y0 * scale;
    map.bottomRightLat = map.topLeftLat - height * scale;
    map.topLeftLon = x0 * scale;
    map.bottomRightLon = map.topLeftLon + width * scale;
    auto& data = map.data.emplace(std::size_t{map.rowBytes} * static_cast<std::size_t>(height), 0).Bytes();
    const auto& pixels = MapPixels();
    for (int y = 0; y < height; ++y) {
        std::memcpy(&data[static_cast<std::size_t>(y) * map.rowBytes],
                    &pixels[static_cast<std::size_t>(y0 + y) * kSide + static_cast<std::size_t>(x0)],
                    static_cast<std::size_t>(width));
    }
    return map;
}

// A database file of `count` maps of width × height, of several scales and
// categories, saved in scale order.
std::string MakeDatabase(const std::string& name, int count, int width, int height) {
    mapdb::CPDBDoc doc;
    doc.OnNewDocument();
    const int columns = (kSide - width) / width;
    for (int i = 0; i < count; ++i) {
        int x0 = (i % columns) * width;
        int y0 = (i / columns * height) % (kSide - height);
        mapdb::RecordEntry entry;
        entry.attributes = static_cast<std::uint8_t>(1 + i % 15);
        std::string tile = std::string(i % 3 == 0 ? "Alpes" : i % 3 == 1 ? "jura" : "Vosges") +
                           std::to_string(i % 97) + "-" + std::to_string(i / 97);
        doc.AddMap(MapOf(width, height, x0, y0, tile, 100 + i % 7 * 50), entry);
    }
    std::string path = WorkPath(name);
    std::string error;
    if (!doc.OnSaveDocument(path, error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    }
    return path;
}

const std::string& ThousandMaps() {
    static const std::string path = MakeDatabase("thousand.pdb", 1000, 256, 240);
    return path;
}

const std::string& AllMaps() {
    static const std::string path = MakeDatabase("all.pdb", 65535, 32, 30);
    return path;
}

void OpenSaveOurs(benchmark::State& state) {
    const std::string& path = ThousandMaps();
    const std::string saved = WorkPath("thousand-saved.pdb");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(saved.c_str());
        state.ResumeTiming();
        mapdb::CPDBDoc doc;
        std::string error;
        if (!doc.OnOpenDocument(path, error) || !doc.OnSaveDocument(saved, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}

void OpenSaveCp(benchmark::State& state) {
    const std::string& path = ThousandMaps();
    const std::string copied = WorkPath("thousand-copied.pdb");
    const std::string command = "cp " + ShellQuote(path) + " " + ShellQuote(copied);
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(copied.c_str());
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("cp failed");
            break;
        }
    }
}

// Sorted by name without regard to case, and by map index among equal names:
// the order of adding the names one by one after those that compare equal.
bool IsTheFormsOrder(const std::vector<view::SortedListBox::Item>& items) {
    auto folded = [](const std::string& text) {
        std::string lower = text;
        for (char& c : lower) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return lower;
    };
    for (std::size_t i = 1; i < items.size(); ++i) {
        auto [before, after] = std::pair{folded(items[i - 1].text), folded(items[i].text)};
        if (after < before || (after == before && items[i].data < items[i - 1].data)) {
            return false;
        }
    }
    return true;
}

// The program's window, offscreen, opening the database: the document read,
// the form refilled (scale order, every name in the list widget, the first map
// shown). The settings go to the work folder, not the user's.
void OpenAndListAll(benchmark::State& state) {
    const std::string& path = AllMaps();
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(WorkPath("settings")));
    CPDBApp app;
    if (!app.InitInstance({})) {
        state.SkipWithError("the window did not start");
        return;
    }
    auto* list = app.GetMainFrame()->GetActiveView()->findChild<QListWidget*>("mapList");
    for (auto _ : state) {
        if (!app.OpenDocumentFile(QString::fromStdString(path))) {
            state.SkipWithError("the database did not open");
            break;
        }
        QCoreApplication::processEvents();
    }
    std::vector<view::SortedListBox::Item> items;
    for (int row = 0; row < list->count(); ++row) {
        items.push_back({list->item(row)->text().toStdString(), list->item(row)->data(Qt::UserRole).toULongLong()});
    }
    if (items.size() != 65535 || !IsTheFormsOrder(items)) {
        state.SkipWithError("the list does not hold every map in the form's order");
    }
}

// cp, then the copy made durable as a save makes it before renaming.
void OpenSaveCpSync(benchmark::State& state) {
    const std::string& path = ThousandMaps();
    const std::string copied = WorkPath("thousand-copied.pdb");
    const std::string command = "cp " + ShellQuote(path) + " " + ShellQuote(copied) + " && sync " + ShellQuote(copied);
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(copied.c_str());
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("cp or sync failed");
            break;
        }
    }
}

}  // namespace

void RegisterDatabaseRows() {
    AddRow("Database of 1,000 maps (60 MB): open + save", "cp of the file", 2.0, OpenSaveOurs, OpenSaveCp);
    AddRow("  the same, against a durable copy", "cp, then sync of it", 0, OpenSaveOurs, OpenSaveCpSync);
    AddAbsoluteRow("Database of 65,535 maps: open + form refresh", 1000.0, OpenAndListAll);
}

}  // namespace bench

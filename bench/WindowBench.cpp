// Opening a database of 65,535 maps in the program's window and refilling the
// map list form, in absolute time.
#include <QCoreApplication>
#include <QListWidget>
#include <QSettings>
#include <QStandardPaths>

#include "BenchSupport.h"
#include "MainFrame.h"
#include "PDBApp.h"
#include "PDBView.h"
#include "view/MapListForm.h"

namespace bench {

namespace {

const std::string& AllMaps() {
    static const std::string path = MakeDatabase("all.pdb", 65535, 32, 30);
    return path;
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

}  // namespace

void RegisterWindowRows() {
    AddAbsoluteRow("Database of 65,535 maps: open + form refresh", 1000.0, OpenAndListAll);
}

}  // namespace bench

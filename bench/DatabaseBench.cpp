// Databases: opening and saving one of 1,000 maps (about 60 MB) against
// copying its file with cp, and opening one of 65,535 maps and refilling the
// map list, in absolute time.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "mapdb/PDBDoc.h"

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
    auto& data = map.data.emplace(std::size_t{map.rowBytes} * static_cast<std::size_t>(height), 0);
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

// What the form does to refill its list, in plain C++ (the form itself is
// being built elsewhere): the maps put in scale order, then every name in a
// list sorted without regard to case, each after the names that compare equal
// to it, with the map's index as item data. Adding the names one by one at
// their sorted places gives this list at a cost that grows with the square of
// the count (about 4 s for 65,535 names); one stable sort gives the same list.
struct ListItem {
    std::string text;
    std::size_t data = 0;
};

unsigned char Folded(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Folded(x) < Folded(y); });
}

std::vector<ListItem> RefreshMapList(mapdb::CPDBDoc& doc) {
    doc.SortByScale();
    std::vector<ListItem> items(doc.GetMapCount());
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i] = ListItem{doc.GetMap(i).GetName(), i};
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const ListItem& a, const ListItem& b) { return LessIgnoringCase(a.text, b.text); });
    return items;
}

// Sorted by name, and by index among equal names: what adding them one by one gives.
bool IsTheFormsOrder(const std::vector<ListItem>& items) {
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (LessIgnoringCase(items[i].text, items[i - 1].text) ||
            (!LessIgnoringCase(items[i - 1].text, items[i].text) && items[i].data < items[i - 1].data)) {
            return false;
        }
    }
    return true;
}

void OpenAndListAll(benchmark::State& state) {
    const std::string& path = AllMaps();
    std::vector<ListItem> items;
    for (auto _ : state) {
        mapdb::CPDBDoc doc;
        std::string error;
        if (!doc.OnOpenDocument(path, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        items = RefreshMapList(doc);
        benchmark::DoNotOptimize(items.data());
    }
    if (items.size() != 65535 || !IsTheFormsOrder(items)) {
        state.SkipWithError("the list does not hold every map in the form's order");
    }
}

}  // namespace

void RegisterDatabaseRows() {
    AddRow("Database of 1,000 maps (60 MB): open + save", "cp of the file", 2.0, OpenSaveOurs, OpenSaveCp);
    AddAbsoluteRow("Database of 65,535 maps: open + list refresh", 1000.0, OpenAndListAll);
}

}  // namespace bench

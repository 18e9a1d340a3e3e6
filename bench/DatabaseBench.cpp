// Databases: opening and saving one of 1,000 maps (about 60 MB) against
// copying its file with cp and making the copy durable, as a save does.
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
    map.data.assign(std::size_t{map.rowBytes} * static_cast<std::size_t>(height), 0);
    const auto& pixels = MapPixels();
    for (int y = 0; y < height; ++y) {
        std::memcpy(&map.data[static_cast<std::size_t>(y) * map.rowBytes],
                    &pixels[static_cast<std::size_t>(y0 + y) * kSide + static_cast<std::size_t>(x0)],
                    static_cast<std::size_t>(width));
    }
    return map;
}

}  // namespace

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
    if (auto saved = doc.OnSaveDocument(path); !saved) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), saved.error().message.c_str());
    }
    return path;
}

namespace {

const std::string& ThousandMaps() {
    static const std::string path = MakeDatabase("thousand.pdb", 1000, 256, 240);
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
        auto done = doc.OnOpenDocument(path);
        if (done) {
            done = doc.OnSaveDocument(saved);
        }
        if (!done) {
            state.SkipWithError(done.error().message.c_str());
            break;
        }
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
    AddRow("Database of 1,000 maps (60 MB): open + save", "cp, then sync of it", 1.5, OpenSaveOurs, OpenSaveCpSync);
}

}  // namespace bench

// The whole import of the map-like GIF with `plandrel add` at 4 bits,
// compressed, into a new database (decoding, the bitmap written beside the
// picture, conversion, tiling, compression, saving), against netpbm turning
// the same GIF into one compressed 4-bit Palm bitmap.
#include <cstdio>
#include <string>

#include "BenchSupport.h"

namespace bench {

namespace {

const std::string& MapGifPath() {
    static const std::string path = [] {
        std::string name = WorkPath("import.gif");
        WriteFile(name, MapGifFile());
        return name;
    }();
    return path;
}

void ImportOurs(benchmark::State& state) {
    const std::string& gif = MapGifPath();
    const std::string database = WorkPath("import.pdb");
    const std::string bitmap = WorkPath("import.bmp");
    const std::string command = ShellQuote(PLANDREL_CLI) + " add " + ShellQuote(database) + " " + ShellQuote(gif) +
                                " --depth 4 --compress --top-left 47,6 --bottom-right 46,7 >/dev/null";
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(database.c_str());
        std::remove(bitmap.c_str());
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("plandrel add failed");
            break;
        }
    }
}

void ImportNetpbm(benchmark::State& state) {
    const std::string& gif = MapGifPath();
    const std::string palm = WorkPath("import.palm");
    const std::string command = "giftopnm " + ShellQuote(gif) +
                                " 2>/dev/null | ppmtopgm | pnmtopalm -depth 4 -scanline_compression >" +
                                ShellQuote(palm);
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(palm.c_str());
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("the netpbm pipeline failed");
            break;
        }
    }
}

}  // namespace

void RegisterImportRows() {
    AddRow("Whole import: GIF to database, 4 bits, compr.", "netpbm pipeline", 0.7, ImportOurs, ImportNetpbm);
}

}  // namespace bench

// A batch: 32 map-like pictures of 2000 x 2000 imported at 4 bits, compressed,
// with the pictures prepared side by side (one per processor), against the same
// one picture after the other (--jobs 1), and against the netpbm pipeline run
// on each picture in a shell loop. A database holds the tiles of at most 15
// pictures, so the batch goes into four databases of eight pictures, one
// `plandrel add` each.
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "MapPicture.h"
#include "image/GifCodec.h"

namespace bench {

namespace {

// "sheetN.gif", built by appending: `"..." + std::string` trips a false -Wrestrict in GCC 12.
std::string SheetPath(int i, const char* extension) {
    std::string name = "sheet";
    name.append(std::to_string(i)).append(extension);
    return WorkPath(name);
}

constexpr int kPictures = 32;
constexpr int kPerDatabase = 8;
constexpr int kBatchSide = 2000;

// The pictures' paths, quoted, each group of kPerDatabase on one line.
const std::vector<std::string>& BatchGroups() {
    static const std::vector<std::string> groups = [] {
        image::CImageImpl picture;
        MakeMapPicture(picture, kBatchSide, kBatchSide);
        const std::vector<std::uint8_t> gif = *image::WriteGifStream(picture);
        std::vector<std::string> made(kPictures / kPerDatabase);
        for (int i = 0; i < kPictures; ++i) {
            const std::string path = SheetPath(i, ".gif");
            WriteFile(path, gif);
            made[static_cast<std::size_t>(i / kPerDatabase)].append(" ").append(ShellQuote(path));
        }
        return made;
    }();
    return groups;
}

void RemoveOutputs() {
    for (int i = 0; i < kPictures; ++i) {
        std::remove(SheetPath(i, ".bmp").c_str());
        std::remove(SheetPath(i, ".palm").c_str());
    }
    for (std::size_t g = 0; g < BatchGroups().size(); ++g) {
        std::remove(WorkPath("batch" + std::to_string(g) + ".pdb").c_str());
    }
}

BenchFunction BatchOurs(const std::string& jobs) {
    return [jobs](benchmark::State& state) {
        std::string command;
        for (std::size_t g = 0; g < BatchGroups().size(); ++g) {
            command += ShellQuote(PLANDREL_CLI) + " add " + ShellQuote(WorkPath("batch" + std::to_string(g) + ".pdb")) +
                       BatchGroups()[g] + " --depth 4 --compress --top-left 47,6 --bottom-right 46,7" + jobs +
                       " >/dev/null && ";
        }
        command += "true";
        for (auto _ : state) {
            state.PauseTiming();
            RemoveOutputs();
            state.ResumeTiming();
            if (!RunShell(command)) {
                state.SkipWithError("plandrel add failed");
                break;
            }
        }
    };
}

void BatchNetpbm(benchmark::State& state) {
    BatchGroups();
    const std::string command = "for f in " + ShellQuote(WorkPath("")) +
                                "sheet*.gif; do giftopnm \"$f\" 2>/dev/null | ppmtopgm | "
                                "pnmtopalm -depth 4 -scanline_compression >\"${f%.gif}.palm\" || exit 1; done";
    for (auto _ : state) {
        state.PauseTiming();
        RemoveOutputs();
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError("the netpbm loop failed");
            break;
        }
    }
}

}  // namespace

void RegisterBatchRows() {
    AddRow("Batch: 32 x 2000x2000 GIF, 4 bits, compr.", "same, --jobs 1", 0.6, BatchOurs(""), BatchOurs(" --jobs 1"));
    AddRow("Batch: the same 32 GIF, all processors", "netpbm pipeline, loop", 0.3, BatchOurs(""), BatchNetpbm);
}

}  // namespace bench

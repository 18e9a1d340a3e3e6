// A batch: 32 map-like pictures of 2000 x 2000 imported at 4 bits, compressed,
// with the pictures prepared side by side (one per processor), against the same
// one picture after the other (--jobs 1), and against the netpbm pipeline run
// on each picture in a shell loop; and, for the machine's own ceiling, two
// processes of --jobs 1 at once, each with half of the batch. A database holds the tiles of at most 15
// pictures, so the batch goes into four databases of eight pictures, one
// `plandrel add` each.
#include <cstdio>
#include <filesystem>
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

// The database of group g: in a folder of its own per process when two run at
// once, since a command that changes a database locks its folder.
std::string DatabasePath(std::size_t g, bool ownFolder) {
    std::string name = ownFolder ? "process" + std::to_string(g % 2) : std::string(".");
    name.append("/batch").append(std::to_string(g)).append(".pdb");
    return WorkPath(name);
}

void RemoveOutputs() {
    for (int i = 0; i < kPictures; ++i) {
        std::remove(SheetPath(i, ".bmp").c_str());
        std::remove(SheetPath(i, ".palm").c_str());
    }
    for (std::size_t g = 0; g < BatchGroups().size(); ++g) {
        std::remove(DatabasePath(g, false).c_str());
        std::remove(DatabasePath(g, true).c_str());
    }
}

// The `plandrel add` of group g, and "&& " after it.
std::string AddGroup(std::size_t g, const std::string& jobs, bool ownFolder = false) {
    return ShellQuote(PLANDREL_CLI) + " add " + ShellQuote(DatabasePath(g, ownFolder)) + BatchGroups()[g] + " --depth 4 --compress --top-left 47,6 --bottom-right 46,7" + jobs + " >/dev/null && ";
}

void RunBatch(benchmark::State& state, const std::string& command, const char* failed = "plandrel add failed") {
    for (auto _ : state) {
        state.PauseTiming();
        RemoveOutputs();
        state.ResumeTiming();
        if (!RunShell(command)) {
            state.SkipWithError(failed);
            break;
        }
    }
}

BenchFunction BatchOurs(const std::string& jobs) {
    return [jobs](benchmark::State& state) {
        std::string command;
        for (std::size_t g = 0; g < BatchGroups().size(); ++g) {
            command += AddGroup(g, jobs);
        }
        RunBatch(state, command + "true");
    };
}

// What two processors give this work at best: two shells, each adding half
// of the groups one picture after the other, share nothing but the machine.
void BatchTwoProcesses(benchmark::State& state) {
    std::string halves[2];
    for (std::size_t g = 0; g < BatchGroups().size(); ++g) {
        std::filesystem::create_directories(std::filesystem::path(DatabasePath(g, true)).parent_path());
        halves[g % 2] += AddGroup(g, " --jobs 1", true);
    }
    std::string command = "(";
    command.append(halves[0]).append("true) & first=$!; (").append(halves[1]).append("true) && wait $first");
    RunBatch(state, command);
}

void BatchNetpbm(benchmark::State& state) {
    BatchGroups();
    const std::string command = "for f in " + ShellQuote(WorkPath("")) +
                                "sheet*.gif; do giftopnm \"$f\" 2>/dev/null | ppmtopgm | "
                                "pnmtopalm -depth 4 -scanline_compression >\"${f%.gif}.palm\" || exit 1; done";
    RunBatch(state, command, "the netpbm loop failed");
}

}  // namespace

void RegisterBatchRows() {
    AddRow("Batch: 32 x 2000x2000 GIF, 4 bits, compr.", "same, --jobs 1", 0.6, BatchOurs(""), BatchOurs(" --jobs 1"));
    AddRow("Batch: the same 32 GIF, all processors", "netpbm pipeline, loop", 0.3, BatchOurs(""), BatchNetpbm);
    AddRow("Batch: two processes of --jobs 1 at once", "same, --jobs 1", 0, BatchTwoProcesses, BatchOurs(" --jobs 1"));
}

}  // namespace bench

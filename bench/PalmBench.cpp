// Conversion of the map-like picture into Palm bitmaps, and scan-line
// compression, against a plain copy of the same bytes into a new block: how
// close each comes to memory speed.
#include <cstring>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "palm/PalmBitmap.h"
#include "palm/PalmDialogs.h"
#include "palm/ScanLines.h"
#include "platform/UserInterface.h"

namespace bench {

namespace {

// Answers the colour-depth dialog with a fixed choice.
class FixedChoice : public platform::UserInterface {
public:
    explicit FixedChoice(int choice) : choice(choice) {}
    void MessageBox(const std::string&, const std::string&) override {}
    void DoModal(platform::CDialog& dialog) override {
        if (auto* depth = dynamic_cast<palm::CColorDepthDlg*>(&dialog)) {
            depth->depthChoice = choice;
        }
    }

private:
    int choice;
};

// The conversion reads the .bmp file image from memory, as the import does
// once it has read the file.
BenchFunction Convert(int choice) {
    return [choice](benchmark::State& state) {
        const auto& file = MapBmpFile();
        FixedChoice ui(choice);
        platform::ScopedUserInterface scope(ui);
        for (auto _ : state) {
            mapdb::MapRecord map;
            palm::BuildPalmBitmap(map, file.data(), file.size());
            if (!map.data) {
                state.SkipWithError("conversion refused the picture");
                break;
            }
            benchmark::DoNotOptimize(map.data->data());
        }
    };
}

// The floor: the picture's pixel bytes copied into a new block.
void CopyPixels(benchmark::State& state) {
    const auto& pixels = MapPixelsBottomUp();
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[pixels.size()]);
        std::memcpy(copy.get(), pixels.data(), pixels.size());
        benchmark::DoNotOptimize(copy.get());
    }
}

void Compress(benchmark::State& state) {
    FixedChoice ui(3);
    platform::ScopedUserInterface scope(ui);
    mapdb::MapRecord original;
    palm::BuildPalmBitmap(original, MapBmpFile().data(), MapBmpFile().size());
    for (auto _ : state) {
        state.PauseTiming();
        mapdb::MapRecord map = original;
        state.ResumeTiming();
        palm::CompressScanLines(map);
        benchmark::DoNotOptimize(map.data->data());
    }
}

}  // namespace

void RegisterPalmRows() {
    for (int choice = 0; choice < 4; ++choice) {
        std::string bits = std::to_string(1 << choice);
        AddRow("Palm bitmap at " + bits + (choice == 0 ? " bit" : " bits") + " from the .bmp", "memcpy", 4.0,
               Convert(choice), CopyPixels);
    }
    AddRow("Scan-line compression, 8 bits", "memcpy", 4.0, Compress, CopyPixels);
}

}  // namespace bench

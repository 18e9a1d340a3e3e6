// Conversion and compression of a 4000 × 4000 map-like picture, against a plain
// copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/Dib.h"
#include "palm/PalmBitmap.h"
#include "palm/PalmDialogs.h"
#include "palm/ScanLines.h"
#include "platform/ByteOrder.h"

namespace {

constexpr std::uint32_t kSide = 4000;

// An 8-bit .bmp of areas of one colour crossed by roads and contour lines:
// most rows repeat the row above in most places, as on a scanned map.
const std::vector<std::uint8_t>& MapLikeBmp() {
    static const std::vector<std::uint8_t> file = [] {
        const std::size_t pixelOffset = 14 + 40 + 1024;
        std::vector<std::uint8_t> bytes(pixelOffset + std::size_t{kSide} * kSide, 0);
        bytes[0] = 'B';
        bytes[1] = 'M';
        platform::WriteLE32(&bytes[2], static_cast<std::uint32_t>(bytes.size()));
        platform::WriteLE32(&bytes[10], pixelOffset);
        platform::WriteLE32(&bytes[14], 40);
        platform::WriteLE32(&bytes[18], kSide);
        platform::WriteLE32(&bytes[22], kSide);
        platform::WriteLE16(&bytes[26], 1);
        platform::WriteLE16(&bytes[28], 8);
        std::mt19937 random(1);
        for (std::size_t i = 0; i < 256; ++i) {
            bytes[54 + 4 * i] = static_cast<std::uint8_t>(random());
            bytes[55 + 4 * i] = static_cast<std::uint8_t>(random());
            bytes[56 + 4 * i] = static_cast<std::uint8_t>(random());
        }
        for (std::uint32_t y = 0; y < kSide; ++y) {
            std::uint8_t* row = &bytes[pixelOffset + std::size_t{y} * kSide];
            for (std::uint32_t x = 0; x < kSide; ++x) {
                bool line = (x + y / 3) % 97 == 0 || (x * 7 + y * 5) % 1013 < 3 || y % 211 == 0;
                row[x] = line ? static_cast<std::uint8_t>(random() % 8) : static_cast<std::uint8_t>(x / 250 * 16 + y / 250);
            }
        }
        return bytes;
    }();
    return file;
}

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

void BuildPalmBitmap(benchmark::State& state) {
    const auto& file = MapLikeBmp();
    FixedChoice ui(static_cast<int>(state.range(0)));
    platform::ScopedUserInterface scope(ui);
    for (auto _ : state) {
        mapdb::MapRecord map;
        palm::BuildPalmBitmap(map, file.data(), file.size());
        benchmark::DoNotOptimize(map.data->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
    state.SetLabel(std::to_string(1 << state.range(0)) + " bits");
}
BENCHMARK(BuildPalmBitmap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void CompressScanLines(benchmark::State& state) {
    FixedChoice ui(3);
    platform::ScopedUserInterface scope(ui);
    mapdb::MapRecord original;
    palm::BuildPalmBitmap(original, MapLikeBmp().data(), MapLikeBmp().size());
    for (auto _ : state) {
        state.PauseTiming();
        mapdb::MapRecord map = original;
        state.ResumeTiming();
        palm::CompressScanLines(map);
        benchmark::DoNotOptimize(map.data->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}
BENCHMARK(CompressScanLines)->Unit(benchmark::kMillisecond);

void ExpandScanLines(benchmark::State& state) {
    FixedChoice ui(3);
    platform::ScopedUserInterface scope(ui);
    mapdb::MapRecord map;
    palm::BuildPalmBitmap(map, MapLikeBmp().data(), MapLikeBmp().size());
    palm::CompressScanLines(map);
    for (auto _ : state) {
        auto block = palm::ExpandScanLines(map);
        benchmark::DoNotOptimize(block->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}
BENCHMARK(ExpandScanLines)->Unit(benchmark::kMillisecond);

// The floor: copying the picture's bytes into a new block.
void CopyBytes(benchmark::State& state) {
    const auto& file = MapLikeBmp();
    for (auto _ : state) {
        std::vector<std::uint8_t> copy(std::size_t{kSide} * kSide);
        std::memcpy(copy.data(), file.data() + 1078, copy.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}
BENCHMARK(CopyBytes)->Unit(benchmark::kMillisecond);

}  // namespace
namespace {
void LoadOnly(benchmark::State& state) {
    const auto& file = MapLikeBmp();
    for (auto _ : state) {
        auto block = image::LoadBmpFromMemory(file.data(), file.size());
        benchmark::DoNotOptimize(block->data());
    }
}
BENCHMARK(LoadOnly)->Unit(benchmark::kMillisecond);
}

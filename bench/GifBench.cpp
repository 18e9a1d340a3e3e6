// Our GIF codec against giflib on a large map-like picture: decoding and
// encoding in memory, row by row into and out of ready buffers on both sides.
// At the end the ratio of our time to giflib's is printed for each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "image/GifCodec.h"

namespace {

constexpr int kSide = 4000;

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }

private:
    std::uint32_t state;
};

// Top-down pixels of a map: large areas of flat colour with wavy borders,
// roads and rivers as lines, lettering as small patches of busy pixels, and a
// few scattered specks.
std::vector<std::uint8_t> MakeMap() {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(kSide) * kSide);
    auto at = [&](int x, int y) -> std::uint8_t& { return p[static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x)]; };
    Lcg random(2024);
    std::vector<std::uint8_t> areaColour(400);
    for (auto& c : areaColour) {
        c = static_cast<std::uint8_t>(random.Next() % 40);
    }
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            int cx = (x + static_cast<int>(40 * std::sin(y / 97.0))) / 200;
            int cy = (y + static_cast<int>(40 * std::sin(x / 131.0))) / 200;
            at(x, y) = areaColour[static_cast<std::size_t>(((cy + 1) * 20 + cx + 1) % 400)];
        }
    }
    for (int line = 0; line < 120; ++line) {
        double x0 = random.Next() % kSide, y0 = random.Next() % kSide;
        double angle = (random.Next() % 6283) / 1000.0;
        auto colour = static_cast<std::uint8_t>(200 + random.Next() % 30);
        int width = 1 + static_cast<int>(random.Next() % 4);
        for (int t = 0; t < 3000; ++t) {
            for (int w = 0; w < width; ++w) {
                int x = static_cast<int>(x0 + t * std::cos(angle) - w * std::sin(angle));
                int y = static_cast<int>(y0 + t * std::sin(angle) + w * std::cos(angle));
                if (x >= 0 && x < kSide && y >= 0 && y < kSide) {
                    at(x, y) = colour;
                }
            }
        }
    }
    for (int label = 0; label < 1500; ++label) {
        int x0 = static_cast<int>(random.Next() % (kSide - 60)), y0 = static_cast<int>(random.Next() % (kSide - 12));
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 60; ++x) {
                if (random.Next() % 3 == 0) {
                    at(x0 + x, y0 + y) = static_cast<std::uint8_t>(240 + random.Next() % 8);
                }
            }
        }
    }
    for (int speck = 0; speck < 40000; ++speck) {
        at(static_cast<int>(random.Next() % kSide), static_cast<int>(random.Next() % kSide)) =
            static_cast<std::uint8_t>(random.Next() % 256);
    }
    return p;
}

struct Fixture {
    std::vector<std::uint8_t> topDown = MakeMap();
    std::vector<std::uint8_t> bottomUp;  // as the image library holds it (rows of 4000 need no padding)
    std::vector<platform::PaletteEntry> palette;
    std::vector<std::uint8_t> file;

    Fixture() {
        bottomUp.resize(topDown.size());
        for (int y = 0; y < kSide; ++y) {
            std::memcpy(&bottomUp[static_cast<std::size_t>(kSide - 1 - y) * kSide],
                        &topDown[static_cast<std::size_t>(y) * kSide], kSide);
        }
        for (int i = 0; i < 256; ++i) {
            palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                               static_cast<std::uint8_t>(i * 3), 0});
        }
        image::GifByteSink sink;
        image::WriteGifStream(sink, View());
        file = sink.Bytes();
    }
    image::GifPictureView View() const {
        image::GifPictureView view;
        view.pixels = bottomUp.data();
        view.rowBytes = kSide;
        view.width = view.height = kSide;
        view.bitCount = 8;
        view.palette = palette.data();
        view.paletteCount = palette.size();
        return view;
    }
};

const Fixture& TheFixture() {
    static const Fixture fixture;
    return fixture;
}

// A picture that keeps its buffer between runs, as giflib's side does.
class ReusedPicture : public image::GifPictureTarget {
public:
    bool CreatePicture(int width, int height) override {
        rowBytes = (8 * width + 31) / 32 * 4;
        bits.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
        return true;
    }
    std::uint8_t* PictureBits() override { return bits.data(); }
    std::ptrdiff_t PictureRowBytes() override { return rowBytes; }
    void SetPalette(const image::GifPalette&) override {}

    std::vector<std::uint8_t> bits;
    int rowBytes = 0;
};

struct MemoryReader {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    auto count = std::min(static_cast<std::size_t>(n), reader->bytes->size() - reader->at);
    std::memcpy(out, reader->bytes->data() + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

int WriteToMemory(GifFileType* gif, const GifByteType* bytes, int n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
}

void DecodeOurs(benchmark::State& state) {
    const Fixture& f = TheFixture();
    ReusedPicture picture;
    for (auto _ : state) {
        int transparent = -1;
        if (image::ReadGif(f.file, picture, transparent) != 1) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(picture.bits.data());
    }
    if (!std::equal(f.bottomUp.begin(), f.bottomUp.end(), picture.bits.begin())) {
        state.SkipWithError("decoded pixels differ");
    }
}

void DecodeGiflib(benchmark::State& state) {
    const Fixture& f = TheFixture();
    std::vector<GifPixelType> raster(f.topDown.size());
    for (auto _ : state) {
        MemoryReader reader{&f.file};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
        GifRecordType type;
        while (DGifGetRecordType(gif, &type) == GIF_OK && type != IMAGE_DESC_RECORD_TYPE && type != TERMINATE_RECORD_TYPE) {
        }
        DGifGetImageDesc(gif);
        for (int y = 0; y < kSide; ++y) {
            DGifGetLine(gif, &raster[static_cast<std::size_t>(y) * kSide], kSide);
        }
        DGifCloseFile(gif, &error);
        benchmark::DoNotOptimize(raster.data());
    }
    if (raster != f.topDown) {
        state.SkipWithError("giflib decoded other pixels");
    }
}

void EncodeOurs(benchmark::State& state) {
    const Fixture& f = TheFixture();
    for (auto _ : state) {
        image::GifByteSink sink;
        image::WriteGifStream(sink, f.View());
        benchmark::DoNotOptimize(sink.Bytes().data());
    }
}

void EncodeGiflib(benchmark::State& state) {
    const Fixture& f = TheFixture();
    std::vector<GifColorType> colours;
    for (const auto& e : f.palette) {
        colours.push_back({e.red, e.green, e.blue});
    }
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToMemory, &error);
        ColorMapObject* map = GifMakeMapObject(256, colours.data());
        EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr);
        for (int y = 0; y < kSide; ++y) {
            EGifPutLine(gif, const_cast<GifPixelType*>(&f.topDown[static_cast<std::size_t>(y) * kSide]), kSide);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        benchmark::DoNotOptimize(out.data());
    }
}

constexpr int kRepetitions = 5;

BENCHMARK(DecodeOurs)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(DecodeGiflib)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(EncodeOurs)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(EncodeGiflib)->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

// Prints as usual and keeps the fastest repetition of each benchmark, the one
// least disturbed by whatever else the machine was doing, in processor time
// (on a shared machine wall time mostly measures the others) and wall time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double cpu = std::numeric_limits<double>::max();
        double real = std::numeric_limits<double>::max();
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                Times& t = fastest[run.run_name.function_name];
                t.cpu = std::min(t.cpu, run.GetAdjustedCPUTime());
                t.real = std::min(t.real, run.GetAdjustedRealTime());
            }
        }
    }
    std::map<std::string, Times> fastest;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const Fixture& f = TheFixture();
    std::printf("picture %d x %d, 8 bits, GIF file %zu bytes\n", kSide, kSide, f.file.size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\nfastest of %d, ours / giflib (target <= 1.00):\n", kRepetitions);
    for (const char* what : {"Decode", "Encode"}) {
        auto ours = reporter.fastest.find(std::string(what) + "Ours");
        auto theirs = reporter.fastest.find(std::string(what) + "Giflib");
        if (ours != reporter.fastest.end() && theirs != reporter.fastest.end()) {
            const auto& o = ours->second;
            const auto& t = theirs->second;
            std::printf("  %s: cpu %.1f ms / %.1f ms = %.2f   (wall %.1f ms / %.1f ms = %.2f)\n", what, o.cpu, t.cpu,
                        o.cpu / t.cpu, o.real, t.real, o.real / t.real);
        }
    }
    return 0;
}

// Reducing a true-colour photograph of 4000 x 4000 pixels to 256 colours, as a
// whole job: `plandrel convert photo.png photo.gif` against ImageMagick's
// `convert photo.png -colors 256 photo.gif`. A note after the table compares
// how far each result's colours are from the photograph's.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "image/Picture.h"
#include "support/Lcg.h"

namespace bench {

namespace {

// A photograph-like picture: smooth waves of colour over fine grain.
image::Color PhotoColor(int x, int y, testing_support::Lcg& grain) {
    auto channel = [&](double wave) {
        const double noise = static_cast<double>(grain.Next() % 17) - 8.0;
        return static_cast<std::uint8_t>(std::clamp(127.5 + 110.0 * wave + noise, 0.0, 255.0));
    };
    return {channel(std::sin(x / 310.0 + y / 530.0)), channel(std::sin(x / 170.0) * std::cos(y / 260.0)),
            channel(std::cos((x + 2 * y) / 420.0))};
}

const std::string& PhotoPath() {
    static const std::string path = [] {
        std::string name = WorkPath("photo.png");
        image::CPicture picture;
        picture.Create(kSide, kSide, 24);
        testing_support::Lcg grain(7);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const image::Color c = PhotoColor(x, y, grain);
                picture.SetPixelRGB(x, kSide - 1 - y, c.red, c.green, c.blue);
            }
        }
        if (!picture.Save(name)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
        }
        return name;
    }();
    return path;
}

const std::string kOurs = "photo-ours.gif";
const std::string kTheirs = "photo-magick.gif";

void Run(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        if (!RunShell(command)) {
            state.SkipWithError("the conversion failed");
            break;
        }
    }
}

void ReduceOurs(benchmark::State& state) {
    Run(state, ShellQuote(PLANDREL_CLI) + " convert " + ShellQuote(PhotoPath()) + " " +
                   ShellQuote(WorkPath(kOurs)) + " 2>/dev/null");
}

void ReduceMagick(benchmark::State& state) {
    Run(state, "convert " + ShellQuote(PhotoPath()) + " -colors 256 " + ShellQuote(WorkPath(kTheirs)));
}

// Mean difference of a result's colours from the photograph's, per channel; negative when it cannot be read.
double MeanError(const std::string& result) {
    image::CPicture original;
    image::CPicture reduced;
    if (!original.Load(PhotoPath()) || !reduced.Load(WorkPath(result)) ||
        reduced.GetWidth() != original.GetWidth() || reduced.GetHeight() != original.GetHeight()) {
        return -1;
    }
    double sum = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            image::Color a;
            image::Color b;
            original.GetPixelRGB(x, y, a.red, a.green, a.blue);
            reduced.GetPixelRGB(x, y, b.red, b.green, b.blue);
            sum += std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
        }
    }
    return sum / (3.0 * kSide * kSide);
}

std::string ErrorNote() {
    const double ours = MeanError(kOurs);
    const double theirs = MeanError(kTheirs);
    if (ours < 0 || theirs < 0) {
        return {};  // the row did not run
    }
    char text[160];
    std::snprintf(text, sizeof text, "%-46s %10.2f  %-22s %10.2f %7.2f %8s %s", "  mean error per channel (0-255)",
                  ours, "ImageMagick", theirs, theirs > 0 ? ours / theirs : 0.0, "<= 1.00",
                  ours <= theirs ? "" : "MISSED");
    return text;
}

}  // namespace

void RegisterReductionRows() {
    AddRow("Reduce 4000x4000 photo to 256 colours (to GIF)", "ImageMagick -colors 256", 0.5, ReduceOurs,
           ReduceMagick);
    AddNote(ErrorNote);
}

}  // namespace bench

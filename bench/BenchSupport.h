#pragma once

// What the benchmarks share: the map-like picture they all work on, a folder
// for their files, and the table of rows that pairs each of our operations
// with the peer that does comparable work.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/ImageImpl.h"

namespace bench {

// Side of the picture, in pixels.
constexpr int kSide = 4000;

// Top-down 8-bit pixels of a map: large areas of flat colour with wavy
// borders, roads and rivers as lines, lettering as small patches of busy
// pixels, and a few scattered specks.
const std::vector<std::uint8_t>& MapPixels();
// Its 256 colours.
const std::vector<image::Color>& MapPalette();
// The same pixels bottom-up, as the image library holds them (rows of 4000
// bytes need no padding).
const std::vector<std::uint8_t>& MapPixelsBottomUp();
// The picture as the image library holds it, and the GIF file our writer makes of it.
const image::CImageImpl& MapPicture();
const std::vector<std::uint8_t>& MapGifFile();

// A database file of `count` maps of width × height cut from the picture, of
// several scales and categories, saved in scale order; its path.
std::string MakeDatabase(const std::string& name, int count, int width, int height);

// A path in the benchmarks' own folder (removed when the program ends).
std::string WorkPath(const std::string& name);
std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Runs a command line through /bin/sh; true when it exits with status 0.
bool RunShell(const std::string& commandLine);
std::string ShellQuote(const std::string& text);

using BenchFunction = std::function<void(benchmark::State&)>;

// One row of the table: our operation and the peer's, measured in the same run.
// `target` is the largest ratio ours / peer we accept (0: the row only reports).
void AddRow(const std::string& operation, const std::string& peer, double target, BenchFunction ours,
            BenchFunction theirs);
// A row measured in absolute time, without a peer: `limit` in milliseconds.
void AddAbsoluteRow(const std::string& operation, double limitMs, BenchFunction ours);

// A line printed under the table once every row has run (none when it is empty).
void AddNote(std::function<std::string()> note);

// The rows of each group, in the order the table lists them.
void RegisterGifRows();
void RegisterImageRows();
void RegisterImportRows();
void RegisterBatchRows();
void RegisterReductionRows();
void RegisterGeoImportRows();
void RegisterDatabaseRows();
void RegisterWindowRows();

}  // namespace bench

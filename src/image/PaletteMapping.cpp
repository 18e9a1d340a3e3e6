#include "PaletteMapping.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace image {

namespace {

constexpr int kCellShift = 4;
constexpr int kCellSide = 1 << kCellShift;
constexpr int kCellsPerSide = 256 / kCellSide;

int Square(int v) {
    return v * v;
}

int Distance(Color a, Color b) {
    return Square(a.red - b.red) + Square(a.green - b.green) + Square(a.blue - b.blue);
}

// The squared distances along one channel from a value to the nearest and to
// the farthest value of the cell that starts at `low`.
std::pair<int, int> AxisDistances(int value, int low) {
    const int high = low + kCellSide - 1;
    const int nearest = value < low ? low - value : value > high ? value - high : 0;
    const int farthest = std::max(std::abs(value - low), std::abs(value - high));
    return {Square(nearest), Square(farthest)};
}

std::size_t CellOf(Color c) {
    return (std::size_t{c.red} >> kCellShift) * kCellsPerSide * kCellsPerSide +
           (std::size_t{c.green} >> kCellShift) * kCellsPerSide + (std::size_t{c.blue} >> kCellShift);
}

std::uint8_t Clamp(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

NearestColors::NearestColors(std::vector<Color> colors) : palette(std::move(colors)) {
    palette.resize(std::clamp<std::size_t>(palette.size(), 1, 256));
    std::vector<Candidate> cell;
    cellStarts.reserve(kCellsPerSide * kCellsPerSide * kCellsPerSide + 1);
    for (int r = 0; r < 256; r += kCellSide) {
        for (int g = 0; g < 256; g += kCellSide) {
            for (int b = 0; b < 256; b += kCellSide) {
                // A colour can be nearest only if it is nearer to the cell than
                // the least farthest distance of any colour to it.
                cell.clear();
                int bound = 1 << 30;
                for (std::size_t i = 0; i < palette.size(); ++i) {
                    const auto [rNear, rFar] = AxisDistances(palette[i].red, r);
                    const auto [gNear, gFar] = AxisDistances(palette[i].green, g);
                    const auto [bNear, bFar] = AxisDistances(palette[i].blue, b);
                    bound = std::min(bound, rFar + gFar + bFar);
                    cell.push_back({rNear + gNear + bNear, static_cast<std::uint8_t>(i)});
                }
                std::erase_if(cell, [bound](const Candidate& c) { return c.boxDistance > bound; });
                std::stable_sort(cell.begin(), cell.end(), [](const Candidate& a, const Candidate& b) {
                    return a.boxDistance < b.boxDistance;
                });
                cellStarts.push_back(static_cast<std::uint32_t>(candidates.size()));
                candidates.insert(candidates.end(), cell.begin(), cell.end());
            }
        }
    }
    cellStarts.push_back(static_cast<std::uint32_t>(candidates.size()));
}

std::uint8_t NearestColors::operator()(Color c) const {
    const std::size_t cell = CellOf(c);
    int best = 1 << 30;
    std::uint8_t bestIndex = 0;
    for (std::uint32_t k = cellStarts[cell]; k < cellStarts[cell + 1]; ++k) {
        const Candidate& candidate = candidates[k];
        if (candidate.boxDistance > best) {
            break;
        }
        const int distance = Distance(palette[candidate.index], c);
        if (distance < best || (distance == best && candidate.index < bestIndex)) {
            best = distance;
            bestIndex = candidate.index;
        }
    }
    return bestIndex;
}

ErrorDiffusion::ErrorDiffusion(const NearestColors& nearest, std::size_t width)
    : nearest(nearest), width(width), current(width + 2), next(width + 2) {}

void ErrorDiffusion::Row(const Color* colors, std::uint8_t* indexes) {
    std::fill(next.begin(), next.end(), std::array<int, 3>{});
    const std::ptrdiff_t step = rightToLeft ? -1 : 1;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t x = rightToLeft ? width - 1 - i : i;
        const std::size_t at = x + 1;  // in the error rows, past their margin
        const std::array<int, 3>& error = current[at];
        const Color wanted{Clamp(colors[x].red + ((error[0] + 8) >> 4)), Clamp(colors[x].green + ((error[1] + 8) >> 4)),
                           Clamp(colors[x].blue + ((error[2] + 8) >> 4))};
        const std::uint8_t index = nearest(wanted);
        indexes[x] = index;
        const Color got = nearest.At(index);
        const std::array<int, 3> left{wanted.red - got.red, wanted.green - got.green, wanted.blue - got.blue};
        const auto ahead = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) + step);
        const auto behind = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) - step);
        for (std::size_t k = 0; k < 3; ++k) {
            current[ahead][k] += 7 * left[k];
            next[behind][k] += 3 * left[k];
            next[at][k] += 5 * left[k];
            next[ahead][k] += left[k];
        }
    }
    std::swap(current, next);
    rightToLeft = !rightToLeft;
}

}  // namespace image

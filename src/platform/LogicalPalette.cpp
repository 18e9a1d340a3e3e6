#include "LogicalPalette.h"

#include <algorithm>
#include <limits>

namespace platform {

std::size_t LogicalPalette::GetPaletteEntries(std::size_t start, std::size_t count, PaletteEntry* out) const {
    if (start >= entries.size()) {
        return 0;
    }
    std::size_t copied = std::min(count, entries.size() - start);
    std::copy_n(entries.begin() + static_cast<std::ptrdiff_t>(start), copied, out);
    return copied;
}

std::size_t LogicalPalette::GetNearestPaletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    std::size_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        int dr = entries[i].red - red;
        int dg = entries[i].green - green;
        int db = entries[i].blue - blue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) {
                break;
            }
        }
    }
    return best;
}

const LogicalPalette& LogicalPalette::Default() {
    static const LogicalPalette palette({
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
        {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
        {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
        {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
    });
    return palette;
}

}  // namespace platform

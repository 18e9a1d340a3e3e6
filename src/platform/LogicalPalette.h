#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;

    bool operator==(const PaletteEntry&) const = default;
};

// A logical palette: a list of colours with the nearest-colour search of the
// Windows graphics interface (smallest squared distance in red, green and blue;
// the lowest index wins a tie).
class LogicalPalette {
public:
    LogicalPalette() = default;
    explicit LogicalPalette(std::vector<PaletteEntry> entries) : entries(std::move(entries)) {}

    std::size_t GetEntryCount() const { return entries.size(); }
    const std::vector<PaletteEntry>& Entries() const { return entries; }
    // Copies up to `count` entries from `start`; returns how many were copied.
    std::size_t GetPaletteEntries(std::size_t start, std::size_t count, PaletteEntry* out) const;
    // Index of the colour nearest to (red, green, blue); 0 for an empty palette.
    std::size_t GetNearestPaletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

    // The system's default palette: the 20 static colours.
    static const LogicalPalette& Default();

private:
    std::vector<PaletteEntry> entries;
};

}  // namespace platform

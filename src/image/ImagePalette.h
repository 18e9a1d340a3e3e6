#pragma once

#include <cstdint>
#include <optional>

#include "platform/LogicalPalette.h"

namespace image {

// The palette object an image owns: one logical palette, or none yet.
class CImagePalette {
public:
    CImagePalette() = default;
    explicit CImagePalette(platform::LogicalPalette palette) : logical(std::move(palette)) {}

    // Builds the palette from n entries; 0 when the object already holds one.
    int CreateFromRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue);
    // Index of the nearest colour by the platform's rule.
    int NearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;
    // 1 and the entry's colour; 0 for an index outside 0..255 or without an entry.
    int GetEntryRGB(int index, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const;

    bool HasPalette() const { return logical.has_value(); }
    std::size_t GetEntryCount() const { return logical ? logical->GetEntryCount() : 0; }
    const platform::LogicalPalette* GetLogicalPalette() const { return logical ? &*logical : nullptr; }

private:
    std::optional<platform::LogicalPalette> logical;
};

}  // namespace image

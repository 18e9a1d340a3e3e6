#include "ImagePalette.h"

#include <vector>

namespace image {

namespace {

constexpr int kMaxPaletteEntries = 65535;  // a logical palette counts its entries in 16 bits

}  // namespace

int CImagePalette::CreateFromRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue) {
    if (logical || n <= 0 || n > kMaxPaletteEntries || red == nullptr || green == nullptr || blue == nullptr) {
        return 0;
    }
    std::vector<platform::PaletteEntry> entries(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = {red[i], green[i], blue[i], 0};
    }
    logical.emplace(std::move(entries));
    return 1;
}

int CImagePalette::NearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    if (!logical) {
        return 0;
    }
    return static_cast<int>(logical->GetNearestPaletteIndex(red, green, blue));
}

int CImagePalette::GetEntryRGB(int index, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const {
    if (index < 0 || index > 255 || !logical) {
        return 0;
    }
    platform::PaletteEntry entry;
    if (logical->GetPaletteEntries(static_cast<std::size_t>(index), 1, &entry) != 1) {
        return 0;
    }
    red = entry.red;
    green = entry.green;
    blue = entry.blue;
    return 1;
}

}  // namespace image

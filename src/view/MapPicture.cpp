#include "MapPicture.h"

#include <array>

#include "palm/MapColors.h"
#include "palm/ScanLines.h"

namespace view {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uint32_t Rgb(unsigned red, unsigned green, unsigned blue) {
    return kOpaque | (red << 16) | (green << 8) | blue;
}

}  // namespace

std::optional<MapPixels> RenderMap(const mapdb::MapRecord& map) {
    const unsigned depth = map.pixelSize;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        return std::nullopt;
    }
    auto block = palm::ExpandScanLines(map);
    if (!block) {
        return std::nullopt;
    }
    const std::size_t colors = std::size_t{1} << depth;
    std::array<std::uint32_t, 256> palette{};
    const image::CImagePalette shown = palm::MapColors(map, *block);
    for (std::size_t i = 0; i < colors; ++i) {
        const image::Color color = shown.At(i);
        palette[i] = Rgb(color.red, color.green, color.blue);
    }
    const std::size_t rowsStart = mapdb::GetColorTableSize(map);
    const std::size_t rowBytes = map.rowBytes;
    if (rowBytes * 8 < std::size_t{map.width} * depth || block->size() < rowsStart + rowBytes * map.height) {
        return std::nullopt;
    }

    MapPixels pixels;
    pixels.width = map.width;
    pixels.height = map.height;
    pixels.argb.resize(std::size_t{map.width} * map.height);
    const unsigned mask = static_cast<unsigned>(colors - 1);
    const unsigned perByte = 8 / depth;
    for (std::size_t y = 0; y < map.height; ++y) {
        const std::uint8_t* row = block->data() + rowsStart + y * rowBytes;
        for (std::size_t x = 0; x < map.width; ++x) {
            const unsigned shift = (perByte - 1 - static_cast<unsigned>(x % perByte)) * depth;
            const unsigned value = (unsigned{row[x / perByte]} >> shift) & mask;
            pixels.argb[y * map.width + x] = palette[value];
        }
    }
    return pixels;
}

}  // namespace view

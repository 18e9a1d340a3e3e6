#include "MapColors.h"

#include <array>

#include "palm/PalmBitmap.h"

namespace palm {

namespace {

image::CImagePalette MakeSystemPalette() {
    constexpr std::array<std::uint8_t, 6> kLevels{255, 204, 153, 102, 51, 0};
    std::vector<image::Color> colors;
    for (std::size_t blueHalf = 0; blueHalf < 2; ++blueHalf) {
        for (std::uint8_t red : kLevels) {
            for (std::size_t b = 0; b < 3; ++b) {
                for (std::uint8_t green : kLevels) {
                    colors.push_back({red, green, kLevels[3 * blueHalf + b]});
                }
            }
        }
    }
    colors.pop_back();  // black comes at 230
    for (int level : {17, 34, 68, 85, 119, 136, 170, 187, 221, 238}) {
        const auto grey = static_cast<std::uint8_t>(level);
        colors.push_back({grey, grey, grey});
    }
    colors.insert(colors.end(), {{192, 192, 192}, {128, 0, 0}, {128, 0, 128}, {0, 128, 0}, {0, 128, 128}});
    colors.resize(256, image::Color{0, 0, 0});
    return image::CImagePalette(std::move(colors));
}

}  // namespace

const image::CImagePalette& SystemPalette() {
    static const image::CImagePalette palette = MakeSystemPalette();
    return palette;
}

image::CImagePalette GreyLevels(unsigned depth) {
    const std::size_t count = std::size_t{1} << depth;
    const unsigned step = 255 / static_cast<unsigned>(count - 1);
    std::vector<image::Color> greys;
    for (std::size_t i = 0; i < count; ++i) {
        const auto grey = static_cast<std::uint8_t>(255 - i * step);
        greys.push_back({grey, grey, grey});
    }
    return image::CImagePalette(std::move(greys));
}

image::CImagePalette MapColors(const mapdb::MapRecord& map, std::span<const std::uint8_t> data) {
    const std::size_t count = std::size_t{1} << map.pixelSize;
    if (map.HasColorTable()) {
        std::vector<image::Color> colors = ReadPalmColorTable(data, count).Colors();
        colors.resize(count);
        return image::CImagePalette(std::move(colors));
    }
    if (map.pixelSize == 8) {
        return SystemPalette();
    }
    return GreyLevels(map.pixelSize);
}

}  // namespace palm

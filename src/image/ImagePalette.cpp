#include "ImagePalette.h"

#include <limits>

namespace image {

int CImagePalette::CreateFromRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue) {
    if (!colors.empty() || n <= 0 || n > 65535 || red == nullptr || green == nullptr || blue == nullptr) {
        return 0;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        colors.push_back({red[i], green[i], blue[i]});
    }
    return 1;
}

int CImagePalette::NearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    std::size_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < colors.size(); ++i) {
        int dr = colors[i].red - red;
        int dg = colors[i].green - green;
        int db = colors[i].blue - blue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) {
                break;
            }
        }
    }
    return static_cast<int>(best);
}

int CImagePalette::GetEntryRGB(int index, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const {
    if (index < 0 || index > 255 || static_cast<std::size_t>(index) >= colors.size()) {
        return 0;
    }
    const Color& color = colors[static_cast<std::size_t>(index)];
    red = color.red;
    green = color.green;
    blue = color.blue;
    return 1;
}

const CImagePalette& CImagePalette::Default() {
    static const CImagePalette palette({
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    });
    return palette;
}

}  // namespace image

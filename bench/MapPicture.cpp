#include "MapPicture.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "support/Lcg.h"

namespace bench {

namespace {

using testing_support::Lcg;

constexpr double kBaseArea = 4000.0 * 4000.0;

}  // namespace

std::vector<std::uint8_t> MakeMapPixels(int width, int height) {
    const auto w = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> p(w * static_cast<std::size_t>(height));
    auto at = [&](int x, int y) -> std::uint8_t& {
        return p[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)];
    };
    const double scale = static_cast<double>(width) * height / kBaseArea;
    auto scaled = [&](int count) { return static_cast<int>(count * scale); };
    Lcg random(2024);
    std::vector<std::uint8_t> areaColour(400);
    for (auto& c : areaColour) {
        c = static_cast<std::uint8_t>(random.Next() % 40);
    }
    // The borders' waves: one shift per row and one per column.
    std::vector<int> rowShift(static_cast<std::size_t>(height));
    std::vector<int> columnShift(w);
    for (int y = 0; y < height; ++y) {
        rowShift[static_cast<std::size_t>(y)] = static_cast<int>(40 * std::sin(y / 97.0));
    }
    for (int x = 0; x < width; ++x) {
        columnShift[static_cast<std::size_t>(x)] = static_cast<int>(40 * std::sin(x / 131.0));
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int cx = (x + rowShift[static_cast<std::size_t>(y)]) / 200;
            int cy = (y + columnShift[static_cast<std::size_t>(x)]) / 200;
            at(x, y) = areaColour[static_cast<std::size_t>(((cy + 1) * 20 + cx + 1) % 400)];
        }
    }
    for (int line = 0; line < scaled(120); ++line) {
        double x0 = random.Next() % static_cast<std::uint32_t>(width);
        double y0 = random.Next() % static_cast<std::uint32_t>(height);
        double angle = (random.Next() % 6283) / 1000.0;
        auto colour = static_cast<std::uint8_t>(200 + random.Next() % 30);
        int lineWidth = 1 + static_cast<int>(random.Next() % 4);
        for (int t = 0; t < 3000; ++t) {
            for (int k = 0; k < lineWidth; ++k) {
                int x = static_cast<int>(x0 + t * std::cos(angle) - k * std::sin(angle));
                int y = static_cast<int>(y0 + t * std::sin(angle) + k * std::cos(angle));
                if (x >= 0 && x < width && y >= 0 && y < height) {
                    at(x, y) = colour;
                }
            }
        }
    }
    if (width > 60 && height > 12) {
        for (int label = 0; label < scaled(1500); ++label) {
            int x0 = static_cast<int>(random.Next() % static_cast<std::uint32_t>(width - 60));
            int y0 = static_cast<int>(random.Next() % static_cast<std::uint32_t>(height - 12));
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 60; ++x) {
                    if (random.Next() % 3 == 0) {
                        at(x0 + x, y0 + y) = static_cast<std::uint8_t>(240 + random.Next() % 8);
                    }
                }
            }
        }
    }
    for (int speck = 0; speck < scaled(40000); ++speck) {
        int x = static_cast<int>(random.Next() % static_cast<std::uint32_t>(width));
        int y = static_cast<int>(random.Next() % static_cast<std::uint32_t>(height));
        at(x, y) = static_cast<std::uint8_t>(random.Next() % 256);
    }
    return p;
}

std::vector<image::Color> MapColours() {
    std::vector<image::Color> colours;
    for (int i = 0; i < 256; ++i) {
        colours.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>(i * 3)});
    }
    return colours;
}

void MakeMapPicture(image::CImageImpl& picture, int width, int height) {
    picture.Create(width, height, 8, -1);
    picture.SetPaletteObject(std::make_unique<image::CImagePalette>(MapColours()));
    const std::vector<std::uint8_t> pixels = MakeMapPixels(width, height);
    const auto side = static_cast<std::size_t>(width);
    const auto rowBytes = static_cast<std::size_t>(picture.imageRowBytes);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::memcpy(picture.imageBits + (static_cast<std::size_t>(height) - 1 - y) * rowBytes, &pixels[y * side], side);
    }
}

}  // namespace bench

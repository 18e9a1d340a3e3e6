#include "image/PaletteMapping.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/Lcg.h"

namespace {

using image::Color;

Color RandomColor(testing_support::Lcg& random) {
    return {static_cast<std::uint8_t>(random.Next()), static_cast<std::uint8_t>(random.Next()),
            static_cast<std::uint8_t>(random.Next())};
}

TEST(NearestColors, AgreesWithASearchOfEveryColour) {
    testing_support::Lcg random(17);
    for (std::size_t size : {1u, 2u, 16u, 200u, 256u}) {
        std::vector<Color> colors;
        for (std::size_t i = 0; i < size; ++i) {
            colors.push_back(RandomColor(random));
        }
        // Repeated colours: the lower index wins the tie.
        colors.push_back(colors.front());
        const image::CImagePalette everyColour(colors);
        const image::NearestColors nearest(colors);
        for (int i = 0; i < 20000; ++i) {
            const Color c = RandomColor(random);
            ASSERT_EQ(nearest(c), everyColour.NearestIndex(c.red, c.green, c.blue)) << size;
        }
    }
}

TEST(ErrorDiffusion, AnAreaOfOneColourMixesItsNeighboursInProportion) {
    const image::NearestColors blackAndWhite({{0, 0, 0}, {255, 255, 255}});
    constexpr std::size_t kSide = 64;
    for (int level : {64, 128, 191}) {
        const auto grey = static_cast<std::uint8_t>(level);
        image::ErrorDiffusion diffusion(blackAndWhite, kSide);
        const std::vector<Color> row(kSide, Color{grey, grey, grey});
        std::vector<std::uint8_t> indexes(kSide);
        std::size_t white = 0;
        for (std::size_t y = 0; y < kSide; ++y) {
            diffusion.Row(row.data(), indexes.data());
            for (std::uint8_t index : indexes) {
                white += index;
            }
        }
        EXPECT_NEAR(static_cast<double>(white) / (kSide * kSide), grey / 255.0, 0.01) << int{grey};
    }
}

}  // namespace

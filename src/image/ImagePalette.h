#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace image {

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Color&) const = default;
};

// A palette: the colours of a picture's indices, with the nearest-colour
// search of the Windows graphics interface (smallest squared distance in red,
// green and blue; the lowest index wins a tie). The one colour table type of
// the image library and the conversion.
class CImagePalette {
public:
    CImagePalette() = default;
    explicit CImagePalette(std::vector<Color> colors) : colors(std::move(colors)) {}

    // Builds the palette from n entries; 0 when it already has colours, or for
    // a count outside 1..65535 (a logical palette counts in 16 bits).
    int CreateFromRGB(int n, const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue);
    // Index of the nearest colour; 0 for an empty palette.
    int NearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;
    // 1 and the entry's colour; 0 for an index outside 0..255 or without an entry.
    int GetEntryRGB(int index, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const;
    // The colour of an index; black for one the palette lacks.
    Color At(std::size_t index) const { return index < colors.size() ? colors[index] : Color{}; }

    std::size_t Size() const { return colors.size(); }
    bool Empty() const { return colors.empty(); }
    const std::vector<Color>& Colors() const { return colors; }

    // The system's default palette: the 20 static colours.
    static const CImagePalette& Default();

private:
    std::vector<Color> colors;
};

}  // namespace image

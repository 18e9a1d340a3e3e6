#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ImagePalette.h"

namespace image {

// The nearest colour of a palette to any colour: the least squared distance in
// red, green and blue, the lowest index winning a tie. The colour cube is cut
// into 16 x 16 x 16 cells, and each cell lists the few palette colours that can
// be nearest to a colour inside it, nearest first: a search looks at those alone.
class NearestColors {
public:
    explicit NearestColors(std::vector<Color> palette);

    std::uint8_t operator()(Color c) const;
    Color At(std::uint8_t index) const { return palette[index]; }

private:
    struct Candidate {
        int boxDistance;  // to the cell: no colour in it is nearer
        std::uint8_t index;
    };

    std::vector<Color> palette;  // 1 to 256 colours
    std::vector<std::uint32_t> cellStarts;  // into candidates, one more than the cells
    std::vector<Candidate> candidates;
};

// Floyd-Steinberg error diffusion: each pixel takes the nearest palette colour
// to its own colour plus the errors its neighbours passed on, and passes its own
// error on to the pixels right of it and below it. Rows come from the top down;
// every other row runs right to left, which keeps the errors from drifting into
// diagonal streaks.
class ErrorDiffusion {
public:
    ErrorDiffusion(const NearestColors& nearest, std::size_t width);

    // The palette indexes of the next row's colours.
    void Row(const Color* colors, std::uint8_t* indexes);

private:
    using Errors = std::vector<std::array<int, 3>>;  // sixteenths, one pixel of margin each side

    const NearestColors& nearest;
    std::size_t width;
    Errors current;
    Errors next;
    bool rightToLeft = false;
};

}  // namespace image

// map_picture OUT.gif WIDTH HEIGHT: writes a map-like 8-bit GIF of any size,
// the picture of the scale test.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "MapPicture.h"
#include "image/GifCodec.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: map_picture OUT.gif WIDTH HEIGHT\n");
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        std::fprintf(stderr, "map_picture: sides from 1 to 65535 pixels\n");
        return 2;
    }
    const auto pixels = bench::MakeMapPixels(width, height);
    const auto colours = bench::MapColours();
    // The pixels are top-down; the writer takes the bottom row and a stride upwards.
    image::GifPictureView view;
    view.pixels = pixels.data() + static_cast<std::size_t>(height - 1) * static_cast<std::size_t>(width);
    view.rowBytes = -static_cast<std::ptrdiff_t>(width);
    view.width = width;
    view.height = height;
    view.bitCount = 8;
    view.palette = colours.data();
    view.paletteCount = colours.size();
    if (image::WriteGifFile(argv[1], view) != 1) {
        std::fprintf(stderr, "map_picture: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

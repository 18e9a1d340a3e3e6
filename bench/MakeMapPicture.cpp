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
    image::CImageImpl picture;
    bench::MakeMapPicture(picture, width, height);
    if (auto written = image::WriteGifFile(argv[1], picture); !written) {
        std::fprintf(stderr, "map_picture: %s: %s\n", argv[1], written.error().message.c_str());
        return 1;
    }
    return 0;
}

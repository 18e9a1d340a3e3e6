// JPEG load with 128-colour quantisation against libjpeg doing that alone.
#include <cstdio>
#include <memory>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "BenchSupport.h"
#include "image/Picture.h"

namespace bench {

namespace {

// A colour JPEG of the picture, written by libjpeg at a common quality.
const std::string& MapJpegPath() {
    static const std::string path = [] {
        std::string name = WorkPath("map.jpg");
        std::FILE* file = std::fopen(name.c_str(), "wb");
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, file);
        cinfo.image_width = kSide;
        cinfo.image_height = kSide;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 85, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        std::vector<std::uint8_t> line(3 * kSide);
        const auto& pixels = MapPixels();
        const auto& palette = MapPalette();
        while (cinfo.next_scanline < cinfo.image_height) {
            const std::uint8_t* row = &pixels[std::size_t{cinfo.next_scanline} * kSide];
            for (std::size_t x = 0; x < kSide; ++x) {
                line[3 * x] = palette[row[x]].red;
                line[3 * x + 1] = palette[row[x]].green;
                line[3 * x + 2] = palette[row[x]].blue;
            }
            JSAMPROW rows = line.data();
            jpeg_write_scanlines(&cinfo, &rows, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return name;
    }();
    return path;
}

void JpegLoadOurs(benchmark::State& state) {
    const std::string& path = MapJpegPath();
    for (auto _ : state) {
        image::CPicture picture;
        if (!picture.Load(path)) {
            state.SkipWithError("cannot load the JPEG");
            break;
        }
        benchmark::DoNotOptimize(picture.GetBits());
    }
}

// libjpeg alone: the same file, the same quantisation to 128 colours, the
// rows into a buffer of its own.
void JpegLoadLibjpeg(benchmark::State& state) {
    const std::string& path = MapJpegPath();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, file);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 128;
        jpeg_start_decompress(&cinfo);
        std::size_t width = cinfo.output_width;
        std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[width * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + width * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        benchmark::DoNotOptimize(pixels.get());
    }
}

}  // namespace

void RegisterImageRows() {
    AddRow("JPEG load 4000x4000, 128 colours", "libjpeg alone", 0, JpegLoadOurs, JpegLoadLibjpeg);
}

}  // namespace bench

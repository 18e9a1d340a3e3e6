// The picture library's files: .bmp load and save against plain reads and
// writes of the same bytes (the most any loader or saver can hope for), and
// JPEG load with 128-colour quantisation against libjpeg doing that alone.
#include <cstdio>
#include <memory>
#include <sys/stat.h>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "BenchSupport.h"
#include "image/Picture.h"

namespace bench {

namespace {

const std::string& MapBmpPath() {
    static const std::string path = [] {
        std::string name = WorkPath("map.bmp");
        WriteFile(name, MapBmpFile());
        return name;
    }();
    return path;
}

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

void BmpLoadOurs(benchmark::State& state) {
    const std::string& path = MapBmpPath();
    for (auto _ : state) {
        image::CPicture picture;
        if (picture.Load(path) == 0) {
            state.SkipWithError("cannot load the bitmap");
            break;
        }
        benchmark::DoNotOptimize(picture.GetBits());
    }
}

// Opens the file, makes room for all of it and reads it in one call.
void BmpLoadRead(benchmark::State& state) {
    const std::string& path = MapBmpPath();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        struct stat info {};
        ::fstat(::fileno(file), &info);
        auto size = static_cast<std::size_t>(info.st_size);
        std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
        if (std::fread(bytes.get(), 1, size, file) != size) {
            state.SkipWithError("short read");
        }
        std::fclose(file);
        benchmark::DoNotOptimize(bytes.get());
    }
}

void BmpSaveOurs(benchmark::State& state) {
    image::CPicture picture;
    if (picture.Load(MapBmpPath()) == 0) {
        state.SkipWithError("cannot load the bitmap");
        return;
    }
    const std::string path = WorkPath("saved.bmp");
    for (auto _ : state) {
        if (picture.Save(path, image::IMAGE_BMP) == 0) {
            state.SkipWithError("cannot save the bitmap");
            break;
        }
    }
    if (ReadFile(path) != MapBmpFile()) {
        state.SkipWithError("the saved bitmap differs from the file it was loaded from");
    }
}

void BmpSaveWrite(benchmark::State& state) {
    const auto& bytes = MapBmpFile();
    const std::string path = WorkPath("written.bmp");
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            state.SkipWithError("short write");
        }
        std::fclose(file);
    }
}

void JpegLoadOurs(benchmark::State& state) {
    const std::string& path = MapJpegPath();
    for (auto _ : state) {
        image::CPicture picture;
        if (picture.Load(path) == 0) {
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
    AddRow("BMP load 4000x4000 8-bit, file", "fread of its bytes", 1.5, BmpLoadOurs, BmpLoadRead);
    AddRow("BMP save 4000x4000 8-bit, file", "fwrite of its bytes", 1.5, BmpSaveOurs, BmpSaveWrite);
    AddRow("JPEG load 4000x4000, 128 colours", "libjpeg alone", 0, JpegLoadOurs, JpegLoadLibjpeg);
}

}  // namespace bench

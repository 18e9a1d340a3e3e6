// The files the command-line tool writes, checked byte for byte against the
// sizes and CRC-32s recorded in golden-outputs.txt: databases (dates masked),
// the bitmaps written beside GIF, JPEG and PNG pictures, exports, beams,
// conversions, and the text of `add` and `list`. The pictures are made here,
// in code, with giflib, libjpeg and libpng, so that nothing but the tool
// decides what is written. A change that moves any byte shows up as the lines
// that differ; PLANDREL_UPDATE_GOLDEN=1 writes the file anew.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include "support/BmpFixture.h"
#include "support/RunCommand.h"

using testing_support::IndexedBmpBytes;
using testing_support::ReadFileBytes;
using testing_support::Rgb;
using testing_support::RunCli;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;
using Pixel = std::function<int(int, int)>;

namespace {

std::vector<Rgb> Colours(int count, unsigned seed) {
    std::vector<Rgb> colours;
    for (int i = 0; i < count; ++i) {
        unsigned v = (static_cast<unsigned>(i) + 1) * 2654435761u ^ seed;
        colours.push_back({static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 12),
                           static_cast<std::uint8_t>(v >> 4)});
    }
    return colours;
}

// Areas of flat colour with wavy borders and a few specks, like a map.
Pixel MapLike(int colours) {
    return [colours](int x, int y) {
        int area = (x / 23 + (y + x % 7) / 17) % colours;
        return (x * 31 + y * 17) % 97 == 0 ? (area + 1) % colours : area;
    };
}

void WriteGif(const std::string& path, int width, int height, const std::vector<Rgb>& colours, const Pixel& pixel,
              bool interlaced, bool localTable, int transparent) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    std::vector<GifColorType> entries;
    for (const Rgb& c : colours) {
        entries.push_back({c.red, c.green, c.blue});
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
    EGifSetGifVersion(gif, transparent >= 0);
    EGifPutScreenDesc(gif, width, height, 8, 0, localTable ? nullptr : map);
    if (transparent >= 0) {
        GraphicsControlBlock control{};
        control.TransparentColor = transparent;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
    }
    EGifPutImageDesc(gif, 0, 0, width, height, interlaced, localTable ? map : nullptr);
    std::vector<int> order;
    if (interlaced) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
            for (int y = start; y < height; y += step) {
                order.push_back(y);
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            order.push_back(y);
        }
    }
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    for (int y : order) {
        for (int x = 0; x < width; ++x) {
            line[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(pixel(x, y));
        }
        EGifPutLine(gif, line.data(), width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

void WriteJpeg(const std::string& path, int width, int height, bool grey) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            auto* sample = &line[static_cast<std::size_t>(x) * (grey ? 1 : 3)];
            sample[0] = static_cast<std::uint8_t>(x * 255 / width);
            if (!grey) {
                sample[1] = static_cast<std::uint8_t>(y * 255 / height);
                sample[2] = static_cast<std::uint8_t>((x / 16 + y / 16) % 2 * 200);
            }
        }
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

// A PNG of the given colour type (palette, grey or RGB) and bit depth.
void WritePng(const std::string& path, int width, int height, int colourType, int bitDepth) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (const Rgb& c : Colours(1 << bitDepth, 77)) {
        palette.push_back({c.red, c.green, c.blue});
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    png_write_info(png, info);
    const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    const Pixel pixel = MapLike(1 << std::min(bitDepth, 8));
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width * channels * bitDepth + 7) / 8, 0);
        for (int x = 0; x < width; ++x) {
            if (channels == 3) {
                row[static_cast<std::size_t>(3 * x)] = static_cast<std::uint8_t>(x * 4);
                row[static_cast<std::size_t>(3 * x + 1)] = static_cast<std::uint8_t>(y * 4);
                row[static_cast<std::size_t>(3 * x + 2)] = static_cast<std::uint8_t>(pixel(x, y) * 16);
                continue;
            }
            const int bit = x * bitDepth;
            row[static_cast<std::size_t>(bit / 8)] |=
                static_cast<std::uint8_t>(pixel(x, y) << (8 - bitDepth - bit % 8));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// A run-length encoded 8-bit bitmap: each row a few runs, one literal run,
// and a move over two rows near the top.
Bytes Rle8Bmp(int width, int height) {
    Bytes data;
    for (int y = 0; y < height; ++y) {
        if (y == height - 4) {
            data.insert(data.end(), {0, 2, 3, 2});
            y += 2;
            data.insert(data.end(), {0, 0});
            continue;
        }
        int x = 0;
        while (x + 12 <= width) {
            data.insert(data.end(), {9, static_cast<std::uint8_t>((x + y) % 5)});
            data.insert(data.end(), {0, 3, 7, 8, static_cast<std::uint8_t>(y % 4), 0});
            x += 12;
        }
        data.insert(data.end(), {0, 0});
    }
    data.insert(data.end(), {0, 1});
    Bytes file = IndexedBmpBytes(width, height, 8, Colours(256, 5), [](int, int) { return 0; });
    const std::size_t offBits = 14 + 40 + 1024;
    file.resize(offBits);
    file.insert(file.end(), data.begin(), data.end());
    auto put32 = [&file](std::size_t at, std::size_t v) {
        for (int i = 0; i < 4; ++i) {
            file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    };
    put32(2, file.size());
    put32(30, 1);  // biCompression: RLE8
    put32(34, data.size());
    return file;
}

// The same bitmap with its rows top row first and a negative height.
Bytes TopDown(Bytes file, int height) {
    const std::size_t offBits = file[10] | std::size_t{file[11]} << 8;
    const std::size_t rowSize = (file.size() - offBits) / static_cast<std::size_t>(height);
    Bytes flipped(file.begin(), file.begin() + static_cast<long>(offBits));
    for (int y = height - 1; y >= 0; --y) {
        auto start = file.begin() + static_cast<long>(offBits + rowSize * static_cast<std::size_t>(y));
        flipped.insert(flipped.end(), start, start + static_cast<long>(rowSize));
    }
    const auto negative = static_cast<std::uint32_t>(-height);
    for (int i = 0; i < 4; ++i) {
        flipped[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(negative >> (8 * i));
    }
    return flipped;
}

// The pictures of every kind, each the basis of one map or grid of tiles.
std::vector<std::string> MakePictures(const TempFolder& folder) {
    auto bmp = [&](const std::string& name, const Bytes& bytes) {
        WriteFileBytes(folder / name, bytes);
        return name;
    };
    std::vector<std::string> names = {
        bmp("Eight.bmp", IndexedBmpBytes(300, 200, 8, Colours(256, 1), MapLike(256))),
        bmp("Four.bmp", IndexedBmpBytes(121, 90, 4, Colours(16, 2), MapLike(16))),
        bmp("One.bmp", IndexedBmpBytes(70, 51, 1, Colours(2, 3), MapLike(2))),
        bmp("Downward.bmp", TopDown(IndexedBmpBytes(64, 48, 8, Colours(40, 4), MapLike(40)), 48)),
        bmp("Runs.bmp", Rle8Bmp(40, 30)),
        bmp("Harbour.bmp", IndexedBmpBytes(700, 500, 8, Colours(200, 6), MapLike(200))),
        bmp("FewHigh.bmp", IndexedBmpBytes(50, 40, 8, Colours(256, 7), [](int x, int y) { return 250 + (x + y) % 6; })),
    };
    WriteGif(folder / "Lake.gif", 200, 150, Colours(256, 8), MapLike(256), false, false, -1);
    WriteGif(folder / "Woven.gif", 90, 61, Colours(4, 9), MapLike(4), true, true, -1);
    WriteGif(folder / "Clear.gif", 33, 20, Colours(16, 10), MapLike(16), false, false, 3);
    WriteJpeg(folder / "Photo.jpg", 160, 120, false);
    WriteJpeg(folder / "Grey.jpg", 100, 80, true);
    WritePng(folder / "Plan.png", 80, 60, PNG_COLOR_TYPE_PALETTE, 8);
    WritePng(folder / "Ramp.png", 41, 30, PNG_COLOR_TYPE_GRAY, 4);
    WritePng(folder / "Colour.png", 64, 48, PNG_COLOR_TYPE_RGB, 8);  // 3,072 colours, reduced to 256
    for (const char* name :
         {"Lake.gif", "Woven.gif", "Clear.gif", "Photo.jpg", "Grey.jpg", "Plan.png", "Ramp.png", "Colour.png"}) {
        names.emplace_back(name);
    }
    return names;
}

std::string Crc(const Bytes& bytes) {
    char text[40];
    std::snprintf(text, sizeof text, "%zu %08lx", bytes.size(), crc32_z(0, bytes.data(), bytes.size()));
    return text;
}

std::string Crc(const std::string& text) {
    return Crc(Bytes(text.begin(), text.end()));
}

// A database without its creation and modification dates, which the clock sets.
Bytes WithoutDates(Bytes database) {
    for (std::size_t i = 36; i < 44 && i < database.size(); ++i) {
        database[i] = 0;
    }
    return database;
}

class OutputsTest : public ::testing::Test {
protected:
    // Runs the tool; records its exit status and what it printed (the
    // folder's own name left out), by CRC.
    testing_support::CommandResult Run(const std::string& label, const std::vector<std::string>& args) {
        auto result = RunCli(args, folder);
        std::string err = result.err;
        const std::string name = folder.path.string();
        for (auto at = err.find(name); at != std::string::npos; at = err.find(name)) {
            err.replace(at, name.size(), "FOLDER");
        }
        outputs[label] = std::to_string(result.status) + " out " + Crc(result.out) + " err " + Crc(err);
        return result;
    }
    void Record(const std::string& label, const Bytes& bytes) { outputs[label] = Crc(bytes); }

    TempFolder folder;
    std::map<std::string, std::string> outputs;
};

}  // namespace

TEST_F(OutputsTest, EveryFileTheToolWritesIsTheRecordedOne) {
    const std::vector<std::string> pictures = MakePictures(folder);
    const std::vector<std::pair<std::string, std::vector<std::string>>> ways = {
        {"d1", {"--depth", "1"}},
        {"d2", {"--depth", "2"}},
        {"d4t", {"--depth", "4", "--color-table"}},
        {"d8c", {"--depth", "8", "--compress"}},
        {"d8tc", {"--depth", "8", "--color-table", "--compress"}},
        {"d2tc", {"--depth", "2", "--color-table", "--compress"}},
        {"d1t", {"--depth", "1", "--color-table"}},
    };
    for (const auto& [way, options] : ways) {
        const std::string db = folder / (way + ".pdb");
        for (const std::string& picture : pictures) {
            std::vector<std::string> args = {"add", db, folder / picture, "--top-left", "N 46 33,E 6 27",
                                             "--bottom-right", "46.4,6.75"};
            args.insert(args.end(), options.begin(), options.end());
            Run("add " + way + " " + picture, args);
            const std::string bitmap = folder / (picture.substr(0, picture.size() - 4) + ".bmp");
            if (picture.find(".bmp") == std::string::npos) {
                Record("beside " + way + " " + picture, ReadFileBytes(bitmap));
                std::remove(bitmap.c_str());
            }
        }
        Record("db " + way, WithoutDates(ReadFileBytes(db)));
        auto listed = Run("list " + way, {"list", db});
        const auto maps = static_cast<int>(std::count(listed.out.begin(), listed.out.end(), '\n'));
        for (int i = 0; i < maps; ++i) {
            // Built in steps: `"#" + string` trips a false -Wrestrict in GCC 12.
            std::string map(1, '#');
            map += std::to_string(i);
            Run("export " + way + " " + map, {"export", db, map, folder / "export.bmp"});
            Record("exported " + way + " " + map, ReadFileBytes(folder / "export.bmp"));
            Run("beam " + way + " " + map, {"beam", db, map, folder / "beam.map"});
            Record("beamed " + way + " " + map, ReadFileBytes(folder / "beam.map"));
        }
    }
    for (const std::string& picture : pictures) {
        for (const char* type : {"bmp", "gif", "png", "jpg"}) {
            const std::string out = folder / (std::string("converted.") + type);
            std::remove(out.c_str());
            Run("convert " + picture + " " + type, {"convert", folder / picture, out});
            Record("converted " + picture + " " + type, ReadFileBytes(out));
        }
    }

    std::ostringstream table;
    for (const auto& [label, value] : outputs) {
        table << label << ": " << value << '\n';
    }
    if (std::getenv("PLANDREL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(PLANDREL_GOLDEN_OUTPUTS) << table.str();
        GTEST_SKIP() << "wrote " << PLANDREL_GOLDEN_OUTPUTS;
    }
    std::map<std::string, std::string> golden;
    std::ifstream in(PLANDREL_GOLDEN_OUTPUTS);
    for (std::string line; std::getline(in, line);) {
        auto colon = line.find(": ");
        golden[line.substr(0, colon)] = line.substr(colon + 2);
    }
    EXPECT_EQ(golden.size(), outputs.size());
    for (const auto& [label, value] : outputs) {
        EXPECT_EQ(golden[label], value) << label;
    }
}

#include "TiffReader.h"

#include <cpl_vsi.h>

#include <atomic>
#include <string>
#include <vector>

#include "Gdal.h"
#include "image/PictureLimits.h"

namespace geo::gdal {

namespace {

std::uint8_t OverWhite(unsigned sample, unsigned alpha) {
    return static_cast<std::uint8_t>((alpha * sample + (255 - alpha) * 255 + 127) / 255);
}

// A TIFF's bytes as a file GDAL can open, for as long as this lives.
class MemoryFile {
public:
    explicit MemoryFile(std::span<const std::uint8_t> bytes) {
        static std::atomic<unsigned> count{0};
        name = "/vsimem/plandrel-picture-" + std::to_string(count++) + ".tif";
        VSIFCloseL(VSIFileFromMemBuffer(name.c_str(), const_cast<GByte*>(bytes.data()), bytes.size(), FALSE));
    }
    ~MemoryFile() { VSIUnlink(name.c_str()); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::string name;
};

}  // namespace

platform::Result<std::unique_ptr<image::CImageImpl>> ReadTiff(std::span<const std::uint8_t> file) {
    UseGdal();
    const MemoryFile memory(file);
    CPLErrorReset();
    static const char* const kDrivers[] = {"GTiff", nullptr};
    Dataset dataset(GDALDataset::Open(memory.name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, kDrivers));
    if (!dataset) {
        return Error{"damaged TIFF (" + LastGdalError("GDAL cannot read it") + ")"};
    }
    const int bands = dataset->GetRasterCount();
    const int width = dataset->GetRasterXSize();
    const int height = dataset->GetRasterYSize();
    if (bands < 1 || bands > 4) {
        return Error{"a TIFF of " + std::to_string(bands) + " bands cannot be read"};
    }
    for (int band = 1; band <= bands; ++band) {
        if (dataset->GetRasterBand(band)->GetRasterDataType() != GDT_Byte) {
            return Error{"a TIFF of " + std::string(GDALGetDataTypeName(dataset->GetRasterBand(band)->GetRasterDataType())) +
                         " samples cannot be read: only 8-bit samples"};
        }
    }
    if (!image::PictureSizeAllowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
        return Error{"the TIFF picture is too large"};
    }
    const GDALColorTable* table = dataset->GetRasterBand(1)->GetColorTable();
    const bool paletted = bands == 1 && table != nullptr;
    const bool grey = bands <= 2 && !paletted;
    auto picture = std::make_unique<image::CImageImpl>();
    const int colors = paletted ? std::min(table->GetColorEntryCount(), 256) : 256;
    if (picture->Create(width, height, bands >= 3 || (bands == 2 && table != nullptr) ? 24 : 8, -1, colors) == 0) {
        return Error{"there is not enough memory for the TIFF picture"};
    }
    if (picture->imageBitCount == 8) {
        std::vector<image::Color> palette;
        for (int i = 0; i < colors; ++i) {
            const GDALColorEntry* entry = paletted ? table->GetColorEntry(i) : nullptr;
            const auto level = static_cast<std::uint8_t>(i);
            palette.push_back(entry != nullptr ? image::Color{static_cast<std::uint8_t>(entry->c1),
                                                              static_cast<std::uint8_t>(entry->c2),
                                                              static_cast<std::uint8_t>(entry->c3)}
                                               : image::Color{level, level, level});
        }
        picture->SetPaletteObject(std::make_unique<image::CImagePalette>(std::move(palette)));
    }
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(width) * static_cast<std::size_t>(bands));
    for (int y = 0; y < height; ++y) {
        if (dataset->RasterIO(GF_Read, 0, y, width, 1, samples.data(), width, 1, GDT_Byte, bands, nullptr, bands,
                              0, 1, nullptr) != CE_None) {
            return Error{"damaged TIFF (" + LastGdalError("its pixels cannot be read") + ")"};
        }
        std::uint8_t* row = picture->imageBits + static_cast<std::ptrdiff_t>(height - 1 - y) * picture->imageRowBytes;
        const std::uint8_t* in = samples.data();
        for (int x = 0; x < width; ++x, in += bands) {
            if (picture->imageBitCount == 8) {
                row[x] = grey && bands == 2 ? OverWhite(in[0], in[1]) : in[0];
                continue;
            }
            image::Color c;
            unsigned alpha = 255;
            if (bands == 2) {  // indices of a colour table, with alpha
                const GDALColorEntry* entry = table->GetColorEntry(in[0]);
                c = entry != nullptr ? image::Color{static_cast<std::uint8_t>(entry->c1),
                                                    static_cast<std::uint8_t>(entry->c2),
                                                    static_cast<std::uint8_t>(entry->c3)}
                                     : image::Color{};
                alpha = in[1];
            } else {
                c = {in[0], in[1], in[2]};
                alpha = bands == 4 ? in[3] : 255;
            }
            row[3 * x] = OverWhite(c.blue, alpha);
            row[3 * x + 1] = OverWhite(c.green, alpha);
            row[3 * x + 2] = OverWhite(c.red, alpha);
        }
    }
    return picture;
}

}  // namespace geo::gdal

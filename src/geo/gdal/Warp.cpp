#include "Warp.h"

#include <gdal_alg.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <string>
#include <vector>

#include "Gdal.h"
#include "image/PictureLimits.h"
#include "mapdb/Coordinates.h"

namespace geo::gdal {

namespace {

// The picture as GDAL warps it: 8-bit indices or 24-bit blue, green, red.
std::unique_ptr<image::CImageImpl> AtEightOrTwentyFourBits(const image::CImageImpl& picture) {
    const bool indexed = picture.imageBitCount <= 8;
    auto copy = std::make_unique<image::CImageImpl>();
    const image::CImagePalette palette =
        picture.imagePalette ? *picture.imagePalette : image::PaletteFromDib(*picture.imageDib);
    if (copy->Create(picture.imageWidth, picture.imageHeight, indexed ? 8 : 24, -1,
                     indexed ? static_cast<int>(std::max<std::size_t>(palette.Size(), 1)) : -1) == 0) {
        return nullptr;
    }
    if (indexed) {
        copy->SetPaletteObject(std::make_unique<image::CImagePalette>(palette));
        for (int y = 0; y < picture.imageHeight; ++y) {
            std::uint8_t* row = copy->imageBits + static_cast<std::ptrdiff_t>(y) * copy->imageRowBytes;
            for (int x = 0; x < picture.imageWidth; ++x) {
                row[x] = static_cast<std::uint8_t>(picture.GetPixelIndex(x, y));
            }
        }
        return copy;
    }
    std::vector<image::Color> colors(static_cast<std::size_t>(picture.imageWidth));
    for (int y = 0; y < picture.imageHeight; ++y) {
        picture.ReadRowColors(y, colors.data());
        std::uint8_t* row = copy->imageBits + static_cast<std::ptrdiff_t>(y) * copy->imageRowBytes;
        for (const image::Color c : colors) {
            *row++ = c.blue;
            *row++ = c.green;
            *row++ = c.red;
        }
    }
    return copy;
}

// A GDAL dataset over the picture's own pixels, top row first: its rows lie
// bottom-up, so a line is one row back. An 8-bit picture is one band of indices
// with the colour table; a 24-bit one is three bands, red, green and blue.
Dataset OverPixels(const image::CImageImpl& picture) {
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    Dataset dataset(memory->Create("", picture.imageWidth, picture.imageHeight, 0, GDT_Byte, nullptr));
    if (!dataset) {
        return nullptr;
    }
    std::uint8_t* topRow =
        picture.imageBits + static_cast<std::ptrdiff_t>(picture.imageHeight - 1) * picture.imageRowBytes;
    const bool indexed = picture.imageBitCount == 8;
    const int bands = indexed ? 1 : 3;
    for (int band = 0; band < bands; ++band) {
        char pointer[64] = {};
        CPLPrintPointer(pointer, topRow + (indexed ? 0 : 2 - band), sizeof pointer - 1);
        const std::string options[] = {std::string("DATAPOINTER=") + pointer,
                                       "PIXELOFFSET=" + std::to_string(indexed ? 1 : 3),
                                       "LINEOFFSET=" + std::to_string(-static_cast<long>(picture.imageRowBytes))};
        const char* list[] = {options[0].c_str(), options[1].c_str(), options[2].c_str(), nullptr};
        if (dataset->AddBand(GDT_Byte, const_cast<char**>(list)) != CE_None) {
            return nullptr;
        }
    }
    if (indexed && picture.imagePalette) {
        GDALColorTable table;
        for (std::size_t i = 0; i < picture.imagePalette->Size(); ++i) {
            const image::Color c = picture.imagePalette->At(i);
            const GDALColorEntry entry{c.red, c.green, c.blue, 255};
            table.SetColorEntry(static_cast<int>(i), &entry);
        }
        dataset->GetRasterBand(1)->SetColorTable(&table);
    }
    return dataset;
}

OGRSpatialReference LongitudeFirst(const std::string& wkt) {
    OGRSpatialReference srs;
    srs.importFromWkt(wkt.c_str());
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

// The index of white in a palette, added at its end when there is room, else the lightest colour.
int WhiteIndex(image::CImagePalette& palette) {
    const image::Color white{255, 255, 255};
    for (std::size_t i = 0; i < palette.Size(); ++i) {
        if (palette.At(i) == white) {
            return static_cast<int>(i);
        }
    }
    if (palette.Size() < 256) {
        std::vector<image::Color> colors = palette.Colors();
        colors.push_back(white);
        palette = image::CImagePalette(std::move(colors));
        return static_cast<int>(palette.Size() - 1);
    }
    return palette.NearestIndex(255, 255, 255);
}

struct TransformerDeleter {
    void operator()(void* transformer) const { GDALDestroyGenImgProjTransformer(transformer); }
};

}  // namespace

Result<Warped> WarpToLatLon(const image::CImageImpl& source, const Georeference& georeference) {
    UseGdal();
    const auto failed = [](const std::string& why) { return Error{"The picture cannot be warped to latitude and longitude: " + why + "."}; };
    std::unique_ptr<image::CImageImpl> normalised;
    if (source.imageBitCount != 8 && source.imageBitCount != 24) {
        normalised = AtEightOrTwentyFourBits(source);
        if (!normalised) {
            return failed("there is not enough memory");
        }
    }
    const image::CImageImpl& picture = normalised ? *normalised : source;
    const bool indexed = picture.imageBitCount == 8;

    Dataset from = OverPixels(picture);
    if (!from) {
        return failed(LastGdalError("GDAL cannot hold the picture"));
    }
    OGRSpatialReference sourceSrs = LongitudeFirst(georeference.coordinateSystem);
    if (georeference.transform) {
        from->SetGeoTransform(const_cast<double*>(georeference.transform->data()));
        from->SetSpatialRef(&sourceSrs);
    } else {
        std::vector<GDAL_GCP> points(georeference.controlPoints.size());
        GDALInitGCPs(static_cast<int>(points.size()), points.data());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const ControlPoint& p = georeference.controlPoints[i];
            points[i].dfGCPPixel = p.pixel;
            points[i].dfGCPLine = p.line;
            points[i].dfGCPX = p.x;
            points[i].dfGCPY = p.y;
        }
        from->SetGCPs(static_cast<int>(points.size()), points.data(), &sourceSrs);
        GDALDeinitGCPs(static_cast<int>(points.size()), points.data());
    }

    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    char* wgs84Wkt = nullptr;
    wgs84.exportToWkt(&wgs84Wkt);
    const std::string target = std::string("DST_SRS=") + wgs84Wkt;
    CPLFree(wgs84Wkt);
    const char* transformerOptions[] = {target.c_str(), nullptr};
    std::unique_ptr<void, TransformerDeleter> transformer(GDALCreateGenImgProjTransformer2(
        GDALDataset::ToHandle(from.get()), nullptr, const_cast<char**>(transformerOptions)));
    std::array<double, 6> transform{};
    std::array<double, 4> extent{};
    int width = 0;
    int height = 0;
    if (!transformer ||
        GDALSuggestedWarpOutput2(GDALDataset::ToHandle(from.get()), GDALGenImgProjTransform, transformer.get(),
                                 transform.data(), &width, &height, extent.data(), 0) != CE_None) {
        return failed(LastGdalError("its coordinates cannot be turned into latitude and longitude"));
    }
    transformer.reset();
    if (!image::PictureSizeAllowed(static_cast<std::uint64_t>(std::max(width, 0)),
                                   static_cast<std::uint64_t>(std::max(height, 0)))) {
        return failed("it would become " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels, more than a map can be");
    }

    image::CImagePalette palette;
    int white = 255;
    if (indexed) {
        palette = picture.imagePalette ? *picture.imagePalette : image::PaletteFromDib(*picture.imageDib);
        white = WhiteIndex(palette);
    }
    auto warped = std::make_unique<image::CImageImpl>();
    if (warped->Create(width, height, indexed ? 8 : 24, -1, indexed ? static_cast<int>(palette.Size()) : -1) == 0) {
        return failed("there is not enough memory for a picture of " + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels");
    }
    if (indexed) {
        warped->SetPaletteObject(std::make_unique<image::CImagePalette>(palette));
    }
    Dataset to = OverPixels(*warped);
    if (!to) {
        return failed(LastGdalError("GDAL cannot hold the warped picture"));
    }
    to->SetGeoTransform(transform.data());
    to->SetSpatialRef(&wgs84);

    const std::string initDest = "INIT_DEST=" + std::to_string(white);
    const char* arguments[] = {"-r", indexed ? "near" : "bilinear", "-wo", initDest.c_str(), "-multi", "-wo",
                               "NUM_THREADS=ALL_CPUS", "-q", nullptr};
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(arguments), nullptr);
    GDALDatasetH sources[] = {GDALDataset::ToHandle(from.get())};
    int usageError = 0;
    GDALDatasetH result = GDALWarp(nullptr, GDALDataset::ToHandle(to.get()), 1, sources, options, &usageError);
    GDALWarpAppOptionsFree(options);
    if (result == nullptr) {
        return failed(LastGdalError("GDAL's warper failed"));
    }
    to.reset();
    auto units = [](double degrees) { return mapdb::TruncateToInt32(std::round(degrees * mapdb::kUnitsPerDegree)); };
    const palm::Corners corners{units(transform[3]), units(transform[0]), units(transform[3] + height * transform[5]),
                                units(transform[0] + width * transform[1])};
    return Warped{std::move(warped), corners};
}

}  // namespace geo::gdal

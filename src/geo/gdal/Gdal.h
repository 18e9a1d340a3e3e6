#pragma once

// What every use of GDAL here shares: the library set up once, quietly, and
// datasets that close themselves.

#include <gdal_priv.h>

#include <memory>
#include <string>

#include "platform/Result.h"

namespace geo::gdal {

using platform::Error;
using platform::Result;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// Registers GDAL's drivers once. Its messages are never printed: an operation
// that fails says why in its own error, with LastGdalError.
void UseGdal();

// GDAL's last message, or `otherwise` when it gave none.
std::string LastGdalError(const std::string& otherwise);

// Opens a picture file for reading with the drivers of the formats an import
// takes (GeoTIFF, PNG, JPEG, GIF, BMP, and the OziExplorer calibration) and no
// other; none when none of them reads it.
Dataset OpenPictureFile(const std::string& path);

}  // namespace geo::gdal

#include "Gdal.h"

#include <cpl_error.h>

#include <mutex>

namespace geo {

void UseGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetErrorHandler(CPLQuietErrorHandler);
    });
}

std::string LastGdalError(const std::string& otherwise) {
    const std::string message = CPLGetLastErrorMsg();
    return message.empty() ? otherwise : message;
}

Dataset OpenPictureFile(const std::string& path) {
    UseGdal();
    static const char* const kDrivers[] = {"GTiff", "PNG", "JPEG", "GIF", "BMP", "MAP", nullptr};
    CPLErrorReset();
    return Dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, kDrivers));
}

}  // namespace geo

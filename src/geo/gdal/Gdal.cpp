#include "Gdal.h"

#include <cpl_error.h>
#include <gdal_frmts.h>

#include <mutex>

namespace geo::gdal {

void UseGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Only the formats a picture and its georeferencing come in, and MEM,
        // which the warp works in: fewer parsers for a hostile file to reach,
        // and a quicker start for every import.
        GDALRegister_GTiff();
        GDALRegister_PNG();
        GDALRegister_JPEG();
        GDALRegister_GIF();
        GDALRegister_BMP();
        GDALRegister_MAP();
        GDALRegister_MEM();
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

}  // namespace geo::gdal

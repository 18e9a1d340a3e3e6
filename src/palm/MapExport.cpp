#include "BmpExport.h"

#include <algorithm>

#include "image/Dib.h"
#include "palm/PalmBitmap.h"
#include "palm/PixelOps.h"
#include "palm/ScanLines.h"
#include "platform/Files.h"

namespace palm {

namespace {

// The inverted grey ramp of a depth's Palm grey levels: 0 white, the highest value black.
image::CImagePalette PalmGreys(unsigned depth) {
    const std::size_t colors = std::size_t{1} << depth;
    const unsigned step = 255 / static_cast<unsigned>(colors - 1);
    std::vector<image::Color> greys;
    for (std::size_t i = 0; i < colors; ++i) {
        const auto grey = static_cast<std::uint8_t>(255 - i * step);
        greys.push_back({grey, grey, grey});
    }
    return image::CImagePalette(std::move(greys));
}

}  // namespace

Result<void> ExportAsBmp(const mapdb::MapRecord& map, const std::string& path) {
    const unsigned depth = map.pixelSize;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        return Error{"The map cannot be written as a bitmap: it has " + std::to_string(depth) +
                     " bits per pixel, not 1, 2, 4 or 8."};
    }
    const Result<std::vector<std::uint8_t>> block = ExpandScanLines(map);
    if (!block) {
        return Error{block.error().message + ": no bitmap was written."};
    }
    const std::size_t colors = std::size_t{1} << depth;
    const std::size_t tableLength = mapdb::GetColorTableSize(map);
    const image::CImagePalette palette = map.HasColorTable() ? ReadPalmColorTable(*block, colors) : PalmGreys(depth);

    // Rows are written at the standard bitmap row size, which is rowBytes
    // rounded up to 4 for every map this program makes.
    const std::size_t rowSize = AlignedRowBytes(map.width, depth, 32);
    const auto imageSize = static_cast<std::uint32_t>(rowSize * map.height);
    image::BitmapFileHeader fileHeader;
    fileHeader.bfOffBits = static_cast<std::uint32_t>(image::kFileHeaderSize + image::kInfoHeaderSize + 4 * colors);
    fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
    image::BitmapInfoHeader info;
    info.biWidth = map.width;
    info.biHeight = map.height;
    info.biBitCount = static_cast<std::uint16_t>(depth);
    info.biSizeImage = imageSize;
    info.biClrUsed = info.biClrImportant = static_cast<std::uint32_t>(colors);

    std::vector<std::uint8_t> file;
    file.reserve(fileHeader.bfSize);
    platform::ByteWriter out(file, platform::Endian::kLittle);
    image::BitmapFileHeader::Fields(out, fileHeader);
    image::BitmapInfoHeader::Fields(out, info);
    for (std::size_t i = 0; i < colors; ++i) {
        const image::Color color = palette.At(i);
        const std::uint8_t unused = 0;
        out(color.blue, color.green, color.red, unused);
    }
    const std::size_t rowBytes = map.rowBytes;
    const std::size_t copied = std::min(rowBytes, rowSize);
    for (std::size_t y = map.height; y-- > 0;) {
        out.Bytes(std::span(*block).subspan(tableLength + y * rowBytes, copied)).Zeros(rowSize - copied);
    }
    return platform::WriteWholeFile(path, {file});
}

}  // namespace palm

#include "MapExport.h"

#include <algorithm>
#include <memory>

#include "image/Dib.h"
#include "image/Picture.h"
#include "palm/MapColors.h"
#include "palm/PixelOps.h"
#include "palm/ScanLines.h"
#include "platform/Files.h"

namespace palm {

namespace {

// The map's rows, uncompressed, and the colours of its values; an error when
// the map holds no picture that can be written.
struct MapPixels {
    std::vector<std::uint8_t> block;
    std::size_t rowsStart = 0;
    image::CImagePalette colors;

    // Pixel value x of row y, counted from the top.
    unsigned At(const mapdb::MapRecord& map, std::size_t x, std::size_t y) const {
        const unsigned depth = map.pixelSize;
        const std::size_t bit = x * depth;
        const std::uint8_t byte = block[rowsStart + y * map.rowBytes + bit / 8];
        return (unsigned{byte} >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
    }
};

Result<MapPixels> ReadMapPixels(const mapdb::MapRecord& map) {
    const unsigned depth = map.pixelSize;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        return Error{"The map cannot be written as a picture: it has " + std::to_string(depth) +
                     " bits per pixel, not 1, 2, 4 or 8."};
    }
    Result<std::vector<std::uint8_t>> block = ExpandScanLines(map);
    if (!block) {
        return Error{block.error().message + ": no picture was written."};
    }
    MapPixels pixels;
    pixels.rowsStart = mapdb::GetColorTableSize(map);
    pixels.colors = MapColors(map, *block);
    pixels.block = std::move(*block);
    return pixels;
}

// A 2-bit row as a 4-bit one: each pixel value in the low two bits of its nibble.
void WidenTwoBitRow(std::span<const std::uint8_t> row, std::uint8_t* out) {
    for (const std::uint8_t byte : row) {
        *out++ = static_cast<std::uint8_t>(((byte >> 2) & 0x30) | ((byte >> 4) & 0x03));
        *out++ = static_cast<std::uint8_t>(((byte << 2) & 0x30) | (byte & 0x03));
    }
}

}  // namespace

Result<void> ExportAsBmp(const mapdb::MapRecord& map, const std::string& path) {
    Result<MapPixels> pixels = ReadMapPixels(map);
    if (!pixels) {
        return pixels.error();
    }
    const unsigned depth = map.pixelSize == 2 ? 4 : map.pixelSize;
    const std::size_t colors = std::size_t{1} << depth;
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
        const image::Color color = pixels->colors.At(i);
        const std::uint8_t unused = 0;
        out(color.blue, color.green, color.red, unused);
    }
    // Rows are written at the standard bitmap row size, which is rowBytes
    // rounded up to 4 for every map this program makes.
    const std::size_t rowBytes = map.rowBytes;
    std::vector<std::uint8_t> widened(map.pixelSize == 2 ? 2 * rowBytes : 0);
    for (std::size_t y = map.height; y-- > 0;) {
        std::span<const std::uint8_t> row = std::span(pixels->block).subspan(pixels->rowsStart + y * rowBytes, rowBytes);
        if (!widened.empty()) {
            WidenTwoBitRow(row, widened.data());
            row = widened;
        }
        const std::size_t copied = std::min(row.size(), rowSize);
        out.Bytes(row.first(copied)).Zeros(rowSize - copied);
    }
    return platform::WriteWholeFile(path, {file});
}

Result<void> ExportAsPicture(const mapdb::MapRecord& map, const std::string& path) {
    const int type = image::TypeFromExtension(image::FindExtension(path));
    if (type == image::IMAGE_BMP) {
        return ExportAsBmp(map, path);
    }
    if (type != image::IMAGE_GIF && type != image::IMAGE_JPG && type != image::IMAGE_PNG) {
        return Error{"Cannot write " + path + ": name it .bmp, .gif, .jpg or .png for the kind of picture to write."};
    }
    Result<MapPixels> pixels = ReadMapPixels(map);
    if (!pixels) {
        return pixels.error();
    }
    image::CPicture picture;
    if (map.width == 0 || map.height == 0 || picture.Create(map.width, map.height, 8) == 0) {
        return Error{"Cannot write " + path + ": the map has no picture."};
    }
    image::CImageImpl& impl = *picture.GetImpl();
    for (std::size_t y = 0; y < map.height; ++y) {
        std::uint8_t* row = impl.imageBits + (map.height - 1 - y) * static_cast<std::size_t>(impl.imageRowBytes);
        for (std::size_t x = 0; x < map.width; ++x) {
            row[x] = static_cast<std::uint8_t>(pixels->At(map, x, y));
        }
    }
    picture.SetPaletteObject(std::make_unique<image::CImagePalette>(pixels->colors));
    if (Result<void> saved = picture.Save(path, type); !saved) {
        return platform::FileError("Cannot create", path, saved.error());
    }
    return {};
}

}  // namespace palm

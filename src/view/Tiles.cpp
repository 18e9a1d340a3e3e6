#include "Tiles.h"

#include <algorithm>
#include <cstring>

#include "mapdb/Coordinates.h"
#include "palm/ScanLines.h"
#include "view/ImportFlow.h"

namespace view {

namespace {

std::int32_t Difference(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

std::size_t PaddedRowBytes(int bits, int width) {
    return static_cast<std::size_t>(((bits * width + 15) & ~15) / 8);
}

}  // namespace

std::string TileName(const std::string& mapName, int column, int row) {
    std::string suffix = std::to_string(column) + "-" + std::to_string(row);
    std::size_t room = mapdb::kMaxMapNameLength > suffix.size() ? mapdb::kMaxMapNameLength - suffix.size() : 0;
    std::string prefix = mapName.substr(0, std::min({kTileNamePrefix, room, mapName.size()}));
    return (prefix + suffix).substr(0, mapdb::kMaxMapNameLength);
}

TileCutter::TileCutter(const mapdb::MapRecord& map, bool compress)
    : name(map.GetName()),
      compress(compress),
      columns((map.width + kTileWidth - 1) / kTileWidth),
      bands((map.height + kTileHeight - 1) / kTileHeight),
      latStep(static_cast<float>(static_cast<double>(Difference(map.topLeftLat, map.bottomRightLat)) / map.height)),
      lonStep(static_cast<float>(static_cast<double>(Difference(map.bottomRightLon, map.topLeftLon)) / map.width)) {
    static_cast<mapdb::BitmapHeader&>(header) = map;
    header.name = map.name;
    header.topLeftLat = map.topLeftLat;
    header.topLeftLon = map.topLeftLon;
    header.bottomRightLat = map.bottomRightLat;
    header.bottomRightLon = map.bottomRightLon;
    const std::size_t tableSize = mapdb::GetColorTableSize(map);
    header.data.assign(map.data.begin(), map.data.begin() + static_cast<std::ptrdiff_t>(std::min(tableSize, map.data.size())));
    header.data.resize(tableSize, 0);
    header.SetFlag(mapdb::kCompressed, false);
    if (compress) {
        const std::size_t widestTile = PaddedRowBytes(map.pixelSize, std::min<int>(map.width, kTileWidth));
        scratch.reset(new std::uint8_t[palm::CompressedBound(widestTile, kTileHeight)]);
    }
}

int TileCutter::BandHeight(int band) const {
    return std::min(kTileHeight, header.height - kTileHeight * band);
}

void TileCutter::CutBand(const std::uint8_t* rows, std::size_t stride, std::vector<mapdb::MapRecord>& tiles) {
    const int i = nextBand++;
    const int B = header.pixelSize;
    const std::size_t T = header.data.size();
    const int y0 = kTileHeight * i;
    const int h = BandHeight(i);
    for (int j = 0; j < columns; ++j) {
        const int x0 = kTileWidth * j;
        const int w = std::min(kTileWidth, header.width - x0);
        mapdb::MapRecord tile;
        static_cast<mapdb::BitmapHeader&>(tile) = header;
        tile.SetName(TileName(name, j, i));
        tile.width = static_cast<std::uint16_t>(w);
        tile.height = static_cast<std::uint16_t>(h);
        tile.rowBytes = static_cast<std::uint16_t>(PaddedRowBytes(B, w));
        tile.topLeftLat = mapdb::TruncateToInt32(header.topLeftLat - y0 * static_cast<double>(latStep));
        tile.bottomRightLat = mapdb::TruncateToInt32(tile.topLeftLat - h * static_cast<double>(latStep));
        tile.topLeftLon = mapdb::TruncateToInt32(x0 * static_cast<double>(lonStep) + header.topLeftLon);
        tile.bottomRightLon = mapdb::TruncateToInt32(w * static_cast<double>(lonStep) + tile.topLeftLon);

        const std::uint8_t* firstRow = rows + static_cast<std::size_t>(j) * static_cast<std::size_t>(B) * kTileWidth / 8;
        if (compress) {
            // Kept uncompressed when its compressed record would exceed the limit.
            std::size_t size = palm::CompressRows(firstRow, stride, tile.rowBytes, static_cast<std::size_t>(h), scratch.get());
            if (mapdb::kMapFieldsSize + T + size <= kRecordLimit) {
                tile.data.reserve(T + size);
                tile.data.insert(tile.data.end(), header.data.begin(), header.data.end());
                tile.data.insert(tile.data.end(), scratch.get(), scratch.get() + size);
                tile.SetFlag(mapdb::kCompressed, true);
                tiles.push_back(std::move(tile));
                continue;
            }
        }
        tile.data.assign(T + std::size_t{tile.rowBytes} * static_cast<std::size_t>(h), 0);
        std::copy(header.data.begin(), header.data.end(), tile.data.begin());
        for (int k = 0; k < h; ++k) {
            std::memcpy(tile.data.data() + T + static_cast<std::size_t>(k) * tile.rowBytes,
                        firstRow + static_cast<std::size_t>(k) * stride, tile.rowBytes);
        }
        tiles.push_back(std::move(tile));
    }
}

std::vector<mapdb::MapRecord> CutIntoTiles(const mapdb::MapRecord& working, bool compress) {
    const std::size_t R = working.rowBytes;
    const std::size_t T = mapdb::GetColorTableSize(working);
    const std::size_t H = working.height;
    const std::size_t needed = H > 0 ? T + (H - 1) * R + std::max(R, PaddedRowBytes(working.pixelSize, working.width)) : T;
    std::vector<std::uint8_t> padded;
    if (working.data.size() < needed) {
        padded = working.data;
        padded.resize(needed, 0);
    }
    const std::uint8_t* const rows = (padded.empty() ? working.data.data() : padded.data()) + T;
    TileCutter cutter(working, compress);
    std::vector<mapdb::MapRecord> tiles;
    tiles.reserve(cutter.TileCount());
    for (int band = 0; band < cutter.Bands(); ++band) {
        cutter.CutBand(rows + static_cast<std::size_t>(kTileHeight) * static_cast<std::size_t>(band) * R, R, tiles);
    }
    return tiles;
}

}  // namespace view

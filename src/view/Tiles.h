#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapdb/MapRecord.h"

namespace view {

constexpr int kTileWidth = 256;
constexpr int kTileHeight = 240;
constexpr std::size_t kTileNamePrefix = 6;

// The name of the tile at column j, row i: the first six characters of the map's
// name (fewer when needed to keep the whole "j-i" within 11 characters), then "j-i".
std::string TileName(const std::string& mapName, int column, int row);

// Cuts a map into its tiles a band of kTileHeight rows at a time (fewer in
// the last band), row by row and each row left to right, so that the tiles
// may be cut while the map's rows are still being made. A tile is compressed
// when `compress` is set, unless its compressed record would exceed the
// limit: it is stored uncompressed, which always fits.
class TileCutter {
public:
    // `map` gives the fields, the name, the corners, and the colour table at
    // the start of its data; its rows are not read.
    TileCutter(const mapdb::MapRecord& map, bool compress);

    int Bands() const { return bands; }
    std::size_t TileCount() const { return static_cast<std::size_t>(columns) * static_cast<std::size_t>(bands); }
    int BandHeight(int band) const;
    // Appends the tiles of the next band, whose rows begin every `stride` bytes
    // from `rows`, each with at least the map's padded row of bytes.
    void CutBand(const std::uint8_t* rows, std::size_t stride, std::vector<mapdb::MapRecord>& tiles);

private:
    mapdb::MapRecord header;  // the map's data is its colour table alone
    std::string name;
    bool compress;
    int columns;
    int bands;
    int nextBand = 0;
    float latStep;
    float lonStep;
    std::unique_ptr<std::uint8_t[]> scratch;  // a compressed tile before it is kept at its size
};

// The tiles of a working map that is not stored whole, all of them at once.
// Bytes the map's data lacks (a block shorter than its fields say) are cut as zeros.
std::vector<mapdb::MapRecord> CutIntoTiles(const mapdb::MapRecord& working, bool compress);

}  // namespace view

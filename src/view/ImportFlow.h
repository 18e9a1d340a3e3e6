#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mapdb/PDBDoc.h"

namespace view {

constexpr std::uint32_t kRecordLimit = 65536;
constexpr int kTileWidth = 256;
constexpr int kTileHeight = 240;
constexpr std::size_t kTileNamePrefix = 6;

// What the import needs of the form: refilling its list after the document changed.
class MapListView {
public:
    virtual ~MapListView() = default;
    virtual void RefreshMapList() = 0;
};

// One map that an import appended.
struct ImportedMap {
    std::string name;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelSize = 0;
    std::uint32_t recordSize = 0;
    int category = 0;
};

// The bitmap file the Add button imports for a chosen picture: the picture itself
// when its extension is "bmp" in any case; otherwise the picture converted and
// written as its file title + ".bmp" in its own folder. None (after a notice
// naming the file) when the picture cannot be loaded or the bitmap not written.
std::optional<std::string> BitmapPathForAdd(const std::string& picturePath);
// The same for a dropped file: the path itself when it contains ".bmp" (in these
// letters); otherwise the path with its last four characters replaced by ".bmp".
std::optional<std::string> BitmapPathForDrop(const std::string& picturePath);

// Reads, converts and places one bitmap file, then appends it to the document as
// one map or as a grid of tiles, and refills the view. Returns the maps added;
// none when the picture was refused (the user has been told why).
std::vector<ImportedMap> AppendMapFromBitmap(mapdb::CPDBDoc& doc, MapListView* view, const std::string& bitmapPath);
// The same for a bitmap file already in memory: `bitmapPath` names the map, and
// `sideText` is the text of its side file (none: the corners are asked for).
std::vector<ImportedMap> AppendMapFromBitmapBytes(mapdb::CPDBDoc& doc, MapListView* view,
                                                  const std::string& bitmapPath, const std::uint8_t* bytes,
                                                  std::size_t length, const std::optional<std::string>& sideText);
// A dropped file: BitmapPathForDrop, then AppendMapFromBitmap.
std::vector<ImportedMap> ImportBitmapFile(mapdb::CPDBDoc& doc, MapListView* view, const std::string& picturePath);

// The tiles of a working map whose record would exceed the limit, in the order
// they are appended (row by row, each row left to right), all of one category
// and compressed when `compress` is set.
std::vector<mapdb::MapRecord> CutIntoTiles(const mapdb::MapRecord& working, bool compress);
// The name of the tile at column j, row i: the first six characters of the map's
// name (fewer when needed to keep the whole "j-i" within 11 characters), then "j-i".
std::string TileName(const std::string& mapName, int column, int row);
// The lowest category from 1 to 15 that no entry of the document carries; none when all are taken.
std::optional<int> FreeCategory(const mapdb::CPDBDoc& doc);

}  // namespace view

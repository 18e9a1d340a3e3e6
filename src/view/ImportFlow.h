#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "mapdb/PDBDoc.h"
#include "palm/MapLoader.h"
#include "palm/PalmBitmap.h"

namespace view {

using platform::Error;
using platform::Result;

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
    std::string name;  // in Latin-1, as stored
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelSize = 0;
    std::uint32_t recordSize = 0;
    int category = 0;
};

// How the user answers the import's two questions, asked when the import
// reaches them: the depth, compression and colour table once the picture has
// been read (the colour-depth dialog shows its sizes), and the corners when no
// side file gives them (the coordinates dialog, which proposes some).
struct ImportAnswers {
    std::function<palm::ConversionOptions(const palm::SourcePicture& picture)> conversion;
    std::function<palm::CornerTexts(const palm::CornerTexts& proposed)> corners;
};

// The bitmap file the Add button imports for a chosen picture: the picture itself
// when its extension is "bmp" in any case; otherwise the picture converted and
// written as its file title + ".bmp" in its own folder. An error naming the file
// when the picture cannot be loaded or the bitmap not written.
Result<std::string> BitmapPathForAdd(const std::string& picturePath);
// The same for a dropped file: the path itself when it contains ".bmp" (in these
// letters); otherwise the path with its last four characters replaced by ".bmp".
Result<std::string> BitmapPathForDrop(const std::string& picturePath);

// Reads, converts and places one bitmap file (its corners from the side file
// beside it, or asked for), then appends it to the document as one map or as a
// grid of tiles, and refills the view. Returns the maps added.
Result<std::vector<ImportedMap>> AppendMapFromBitmap(mapdb::CPDBDoc& doc, MapListView* view,
                                                     const std::string& bitmapPath, const ImportAnswers& answers);
// The same for a bitmap file already in memory: `bitmapPath` names the map, and
// `sideText` is the text of its side file (none: the corners are asked for).
Result<std::vector<ImportedMap>> AppendMapFromBitmapBytes(mapdb::CPDBDoc& doc, MapListView* view,
                                                          const std::string& bitmapPath,
                                                          std::span<const std::uint8_t> file,
                                                          const std::optional<std::string>& sideText,
                                                          const ImportAnswers& answers);
// A dropped file: BitmapPathForDrop, then AppendMapFromBitmap.
Result<std::vector<ImportedMap>> ImportBitmapFile(mapdb::CPDBDoc& doc, MapListView* view,
                                                  const std::string& picturePath, const ImportAnswers& answers);

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

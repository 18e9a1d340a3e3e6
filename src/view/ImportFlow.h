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
#include "view/Tiles.h"

namespace view {

using platform::Error;
using platform::Result;

constexpr std::uint32_t kRecordLimit = 65536;
// The handheld draws in signed 16-bit coordinates: a wider or higher map is tiled.
constexpr std::uint32_t kMaxDrawnSide = 32767;

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

// Something an import tells the user and then goes on with: colours reduced,
// the bitmap beside the picture not written, where the corners came from, a
// picture warped to latitude and longitude, corners that look wrong (the map is
// added all the same: stored files and side files may hold such corners).
struct ImportNotice {
    enum class Kind { kColorsReduced, kBitmapNotWritten, kCornersFrom, kPictureWarped, kCornersLookWrong };
    Kind kind;
    std::string text;
};

// The stages of an import, in their order, and how far through the import a
// stage has come when `done` of it is done (fractions, for a progress display).
enum class ImportStage { kReading, kReducingColours, kWritingBitmap, kConverting, kTiling };
const char* StageName(ImportStage stage);  // "reading", "reducing colours", ...
double ImportDone(ImportStage stage, double done = 0.0);

// How the user answers the import's two questions, asked when the import
// reaches them: the depth, compression, colour table and dithering once the
// picture has been read (the colour-depth dialog shows its sizes and depth,
// 8 bits for a picture whose colours will be reduced), and the corners when no
// side file gives them (the coordinates dialog, which proposes some). `notice`
// is told what the user should know; nobody is when it is empty.
struct ImportAnswers {
    std::function<palm::ConversionOptions(const palm::PictureFacts& picture)> conversion;
    std::function<palm::Corners(const palm::CornerTexts& proposed)> corners;
    std::function<void(const ImportNotice& notice)> notice;
    // Told as the import enters each stage (`done` 0), and of a long stage how
    // much is done, for a progress display; nobody is when empty.
    std::function<void(ImportStage stage, double done)> stage;
};

// How the user handed a picture over, which decides the path of its bitmap:
// the picture itself when its extension is "bmp" in any case (Add button) or
// when its path contains ".bmp" in these letters (dropped); otherwise the
// picture's path with its extension, if any, replaced by ".bmp". The map is
// named after the bitmap, and its side file is looked for beside the bitmap.
enum class Handover { kAddButton, kDropped };
std::string BitmapPathFor(const std::string& picturePath, Handover handover);

// Imports one picture file: reads it as the format its first bytes show,
// places it, asks the conversion, reduces a picture of more than 8 bits to
// 256 colours, converts it, then appends it to the document as one map or as
// a grid of tiles, and refills the view. Returns the maps added.
//
// The corners come from the side file beside the bitmap when there is one;
// otherwise from the picture's georeferencing (geo::FindGeoreference), the
// picture first warped to latitude and longitude when it is in another
// coordinate system or not north up; otherwise they are asked for.
//
// A picture that is not a Windows bitmap is also written as its bitmap (8 bits
// or fewer, as the map is made of it), but only where no file of that name
// exists or that file holds the same bytes; a bitmap the import wrote is
// removed again when nothing is added. A bitmap that cannot be written does not
// stop the import; `notice` is told.
Result<std::vector<ImportedMap>> ImportPicture(mapdb::CPDBDoc& doc, MapListView* view, const std::string& picturePath,
                                               Handover handover, const ImportAnswers& answers);
// ImportPicture in two steps, so that pictures may be prepared side by side
// and appended in the order given: PreparePicture does all that does not
// depend on the document (reading, placing, the questions, colour reduction,
// the bitmap beside, conversion, tiling, compression) and touches nothing but
// the bitmap it writes; AppendPrepared gives the tiles their category and
// moves the maps into the document. A prepared picture takes its bitmap back
// when it goes, unless told to keep it once what it was made for is done.
class PreparedPicture {
public:
    struct Maps {
        std::vector<mapdb::MapRecord> records;
        bool tiled = false;  // the tiles of one picture, which share a category
    };

    PreparedPicture() = default;
    PreparedPicture(PreparedPicture&& other) noexcept;
    PreparedPicture& operator=(PreparedPicture&&) = delete;
    ~PreparedPicture();

    void KeepBitmap() { writtenBitmap.clear(); }

    std::string picturePath;
    Maps maps;
    std::string writtenBitmap;  // the bitmap written beside the picture; empty when none
};
Result<PreparedPicture> PreparePicture(const std::string& picturePath, Handover handover,
                                       const ImportAnswers& answers);
Result<std::vector<ImportedMap>> AppendPrepared(mapdb::CPDBDoc& doc, MapListView* view, PreparedPicture& prepared);

// The same for a picture file already in memory, which writes no bitmap:
// `picturePath` names the map, and `sideText` is the text of its side file
// (none: the corners are asked for).
Result<std::vector<ImportedMap>> ImportPictureBytes(mapdb::CPDBDoc& doc, MapListView* view,
                                                    const std::string& picturePath,
                                                    std::span<const std::uint8_t> file,
                                                    const std::optional<std::string>& sideText,
                                                    const ImportAnswers& answers);

// The lowest category from 1 to 15 that no entry of the document carries; none when all are taken.
std::optional<int> FreeCategory(const mapdb::CPDBDoc& doc);

}  // namespace view

#pragma once

#include <array>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/Dib.h"
#include "image/ImageImpl.h"
#include "mapdb/MapRecord.h"
#include "platform/Result.h"

namespace palm {

using platform::Error;
using platform::Result;

// Largest width and height a map can have: both are 16-bit fields.
constexpr std::uint32_t kMaxMapSide = 0xFFFF;

// The notice for a picture the conversion cannot take, with the reason, when
// there is one, on a line of its own below the text.
constexpr const char* kUnsupportedFormatTitle = "Unsuported format";
constexpr const char* kUnsupportedFormatText = "Plandrel accepts BMP, GIF and JPEG\nwith a maximum of 256 colors (8 bits).";
Error UnsupportedFormat(const std::string& reason = {});

// The user's choices for a new map: bits per pixel (1, 2, 4 or 8), scan-line
// compression, a colour table of the picture's own colours instead of grey
// levels, and error diffusion where colours are lost (grey levels below 8 bits,
// the system palette at 8 bits without a table, and reducing a true-colour picture).
struct ConversionOptions {
    unsigned depth = 1;
    bool compress = false;
    bool colorTable = false;
    bool dither = false;
};

// What the colour-depth question shows of a picture: its size and its bits per pixel.
struct PictureFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bitCount = 0;
};

// The picture that a map can be made of: 1, 2, 4 or 8 bits per pixel, rows
// padded to 32 bits where they lie in a Windows bitmap file image (which must
// outlive this), or in a block decoded from it or taken from a picture.
struct SourcePicture {
    SourcePicture() = default;
    SourcePicture(SourcePicture&&) = default;
    SourcePicture& operator=(SourcePicture&&) = default;
    SourcePicture(const SourcePicture&) = delete;

    std::optional<image::DibBlock> decoded;  // none when the rows lie in the file image
    const std::uint8_t* firstRow = nullptr;  // the first row stored
    unsigned bitCount = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::size_t stride = 0;
    image::CImagePalette colors;  // 2^bitCount entries; black where the file holds none
    // Whether the rows' memory may be given back as they are converted: the
    // picture owns it, or the owner of the file image allows it.
    bool releasable = false;

    PictureFacts Facts() const { return {width, height, bitCount}; }
    // The rows above row `y` (0 is the top) will not be read again: their
    // memory goes back to the system when releasable.
    void ReleaseRowsAbove(std::uint32_t y);

private:
    std::uint32_t releasedRows = 0;
};

// Parses a Windows bitmap file image in any layout the bitmap reader knows;
// "Unsuported format" for anything but 1, 4 and 8 bits per pixel, and for a
// picture too large for a map's 16-bit fields.
Result<SourcePicture> ReadSourcePicture(std::span<const std::uint8_t> file);
// Takes the rows and colours of a picture of 1, 2, 4 or 8 bits per pixel, which
// is left empty; "Unsuported format" for any other picture, and one too large
// for a map's 16-bit fields.
Result<SourcePicture> TakeSourcePicture(image::CImageImpl& picture);

// The record size in KB (bytes / 1024) of a new uncompressed map of
// width × height pixels without colour table, at 1, 2, 4 and 8 bits per pixel:
// the estimates that the colour-depth dialog shows.
std::array<float, 4> SizeEstimates(std::uint32_t width, std::uint32_t height);

// The value that each source index takes in a map of `pixelSize` bits (1, 2, 4
// or 8), as a lookup table. `colors` is the source colour table, one entry per
// index the source depth can hold. With a colour table the index is kept (at 1
// bit every index but 0 becomes 1; at 2 and 4 bits an index beyond the depth
// becomes the index of the nearest colour among those the table keeps); without
// one the colour's luminance gives an inverted grey level, and at 8 bits the
// nearest colour of the system palette is taken (a picture in that very palette
// keeps its indices). Entries of indices the source cannot hold are 0.
std::array<std::uint8_t, 256> DestinationTable(const image::CImagePalette& colors, unsigned pixelSize,
                                               bool withColorTable);

// A Palm colour table of the first `count` colours: the count (big-endian), then
// one entry of index 0, red, green, blue per colour.
std::vector<std::uint8_t> PalmColorTable(const image::CImagePalette& colors, std::size_t count);
// The colours of a Palm colour table at the start of `data`, at most `limit` of them.
image::CImagePalette ReadPalmColorTable(std::span<const std::uint8_t> data, std::size_t limit);

// Converts the picture into the Palm bitmap of a new map: width, height,
// pixelSize, rowBytes, version 2, the hasColorTable flag, and `data` (the
// colour table when asked for, then the uncompressed rows, top row first;
// compression is left to CompressScanLines). Below 8 bits, a table holds just
// the distinct colours the pixels use, in the order of their first index, when
// the depth has room for them all; otherwise the DestinationTable rules apply.
// Name and corners are the caller's. "Unsuported format" when a row would not
// fit the 16-bit rowBytes.
Result<mapdb::MapRecord> BuildPalmBitmap(const SourcePicture& picture, const ConversionOptions& options);

// BuildPalmBitmap a band of rows at a time, so that a large map can be cut into
// tiles without all its rows in memory at once: Header is the map without its
// rows (its data is the colour table), and NextRows converts the next rows,
// top row first, one every `RowBytes()` bytes. The picture must outlive the maker.
class MapRowMaker {
public:
    static Result<MapRowMaker> Make(const SourcePicture& picture, const ConversionOptions& options);
    MapRowMaker(MapRowMaker&&) noexcept;
    ~MapRowMaker();

    const mapdb::MapRecord& Header() const { return header; }
    std::size_t RowBytes() const { return header.rowBytes; }
    // Converts the next `count` rows (no more than the map has left) into `out`.
    void NextRows(std::uint32_t count, std::uint8_t* out);

private:
    struct Conversion;
    MapRowMaker(mapdb::MapRecord header, std::unique_ptr<Conversion> conversion);

    mapdb::MapRecord header;
    std::unique_ptr<Conversion> conversion;
};

}  // namespace palm

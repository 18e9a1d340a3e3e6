#include "ImportFlow.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

#include "image/BmpImageImpl.h"
#include "image/ColorReduction.h"
#include "geo/Library.h"
#include "geo/Sidecars.h"
#include "image/Picture.h"
#include "mapdb/Coordinates.h"
#include "palm/ScanLines.h"
#include "view/BesideBitmap.h"
#include "view/CornerCheck.h"
#include "view/MapDisplay.h"

namespace view {

namespace {

Error CannotRead(const std::string& picturePath, const std::string& reason) {
    return Error{"Cannot read the picture " + picturePath + ": " + reason + "."};
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

ImportedMap Describe(const mapdb::MapRecord& map, int category) {
    return {map.GetName(), map.width, map.height, map.pixelSize, mapdb::GetRecordSize(map), category};
}

// Whether the compressed record of `map` could be within the limit at all: its
// rows take at least the size word, one flag byte per group of every row and
// every byte of the top row. Compressing a map that cannot fit is wasted work.
bool CompressedMayFit(const mapdb::MapRecord& map) {
    const std::uint64_t rowBytes = map.rowBytes;
    const std::uint64_t groups = (rowBytes + 7) / 8;
    const std::uint64_t least = mapdb::kMapFieldsSize + mapdb::GetColorTableSize(map) + 2 +
                                std::uint64_t{map.height} * groups + (map.height > 0 ? rowBytes : 0);
    return least <= kRecordLimit;
}

}  // namespace

std::string BitmapPathFor(const std::string& picturePath, Handover handover) {
    const bool isBitmap = handover == Handover::kAddButton
                              ? EqualsIgnoringCase(image::FindExtension(picturePath), "bmp")
                              : picturePath.find(".bmp") != std::string::npos;
    if (isBitmap) {
        return picturePath;
    }
    const auto slash = picturePath.find_last_of('/');
    const auto dot = picturePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? picturePath.substr(0, dot) : picturePath) + ".bmp";
}

std::optional<int> FreeCategory(const mapdb::CPDBDoc& doc) {
    std::array<bool, 16> taken{};
    taken[0] = true;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        taken[doc.GetEntry(i).attributes & 15u] = true;
    }
    for (int category = 1; category < 16; ++category) {
        if (!taken[static_cast<std::size_t>(category)]) {
            return category;
        }
    }
    return std::nullopt;
}

namespace {

// A picture read from its file, ready for the conversion: a Windows bitmap of
// 1, 4 or 8 bits viewed where it lies, or a picture of the image library.
struct ReadPicture {
    std::optional<palm::SourcePicture> inPlace;
    std::unique_ptr<image::CImageImpl> decoded;
    bool bitmapFile = false;  // the file is a Windows bitmap: it needs none beside it

    palm::PictureFacts Facts() const {
        if (inPlace) {
            return inPlace->Facts();
        }
        const auto bits = static_cast<unsigned>(decoded->imageBitCount);
        return {static_cast<std::uint32_t>(decoded->imageWidth), static_cast<std::uint32_t>(decoded->imageHeight),
                std::min(bits, 8u)};
    }
};

Result<std::unique_ptr<image::CImageImpl>> Decode(const std::string& path, std::span<const std::uint8_t> file) {
    if (geo::IsTiff(file)) {
        Result<const geo::Library*> gdal = geo::LoadLibrary();
        if (!gdal) {
            return gdal.error();
        }
        return (*gdal)->ReadTiff(file);
    }
    image::CPicture decoded;
    if (Result<void> read = decoded.LoadBytes(path, file); !read) {
        return read.error();
    }
    return std::move(decoded.pictureImpl);
}

// The picture in the file's bytes, its format told by them.
Result<ReadPicture> ReadPictureFile(const std::string& path, std::span<const std::uint8_t> file) {
    ReadPicture picture;
    picture.bitmapFile = image::TypeFromContent(file) == image::IMAGE_BMP;
    if (picture.bitmapFile) {
        if (Result<palm::SourcePicture> source = palm::ReadSourcePicture(file)) {
            picture.inPlace.emplace(std::move(*source));
            return picture;
        }
    }
    Result<std::unique_ptr<image::CImageImpl>> decoded = Decode(path, file);
    if (!decoded) {
        return CannotRead(path, decoded.error().message);
    }
    picture.decoded = std::move(*decoded);
    return picture;
}

void Enter(const ImportAnswers& answers, ImportStage stage, double done = 0.0) {
    if (answers.stage) {
        answers.stage(stage, done);
    }
}

void Tell(const ImportAnswers& answers, ImportNotice::Kind kind, std::string text) {
    if (answers.notice) {
        answers.notice(ImportNotice{kind, std::move(text)});
    }
}

// Whether the map might be stored whole as one record: not so wide or high
// that the handheld cannot draw it, and within the record limit, compressed or not.
bool WholeMayFit(const mapdb::MapRecord& map, bool compress) {
    if (map.width > kMaxDrawnSide || map.height > kMaxDrawnSide) {
        return false;
    }
    return compress ? CompressedMayFit(map) : mapdb::GetRecordSize(map) <= kRecordLimit;
}

// The maps a converted and placed map is stored as: itself, or its tiles,
// compressed when asked for. A map that cannot be one record is cut into
// tiles a band of rows at a time as its rows are made, and the picture's rows
// of each band are given back once converted, so that the picture, the map's
// rows and its tiles are never all in memory at once.
Result<PreparedPicture::Maps> StoredMaps(palm::MapRowMaker& maker, const mapdb::MapRecord& placed,
                                         palm::SourcePicture& source, bool compress, const ImportAnswers& answers) {
    try {
        if (WholeMayFit(placed, compress)) {
            mapdb::MapRecord working = placed;
            const std::size_t table = working.data.size();
            working.data.resize(table + maker.RowBytes() * working.height, 0);
            maker.NextRows(working.height, working.data.data() + table);
            Enter(answers, ImportStage::kTiling);
            std::vector<mapdb::MapRecord> single;
            if (!compress) {
                single.push_back(std::move(working));
                return PreparedPicture::Maps{std::move(single), false};
            }
            mapdb::MapRecord compressed = working;
            palm::CompressScanLines(compressed);
            if (mapdb::GetRecordSize(compressed) > kRecordLimit) {
                return PreparedPicture::Maps{CutIntoTiles(working, compress), true};
            }
            single.push_back(std::move(compressed));
            return PreparedPicture::Maps{std::move(single), false};
        }
        // The map's rows are made as its tiles are cut: the tiles tell how far it has come.
        Enter(answers, ImportStage::kTiling);
        TileCutter cutter(placed, compress);
        std::vector<mapdb::MapRecord> tiles;
        tiles.reserve(cutter.TileCount());
        std::vector<std::uint8_t> band(maker.RowBytes() * kTileHeight);
        for (int b = 0; b < cutter.Bands(); ++b) {
            const int height = cutter.BandHeight(b);
            maker.NextRows(static_cast<std::uint32_t>(height), band.data());
            source.ReleaseRowsAbove(static_cast<std::uint32_t>(kTileHeight * b + height));
            cutter.CutBand(band.data(), maker.RowBytes(), tiles);
            Enter(answers, ImportStage::kTiling, static_cast<double>(b + 1) / cutter.Bands());
        }
        return PreparedPicture::Maps{std::move(tiles), true};
    } catch (const std::bad_alloc&) {
        return palm::UnsupportedFormat("There is not enough memory for the map.");
    }
}

// Converts the picture into the maps of a map named after `bitmapPath`, placed
// at the corners of its side file (none: there is no side file), of its
// georeferencing, or at those the user gives. A decoded picture is reduced to
// 256 colours when it has more, and written as the bitmap when `written` is
// given. The picture is released once the maps are made.
template <class ReadSide>
Result<PreparedPicture::Maps> MakeMaps(const std::string& bitmapPath, ReadPicture picture, ReadSide readSide,
                          const std::optional<palm::Corners>& georeferenced, const ImportAnswers& answers,
                          std::string* written) {
    const palm::ConversionOptions options = answers.conversion(picture.Facts());
    std::optional<palm::SourcePicture> source = std::move(picture.inPlace);
    if (!source) {
        Enter(answers, ImportStage::kReducingColours);
        Result<image::ColorCount> reduced = image::ReduceColors(*picture.decoded, options.dither);
        if (!reduced) {
            return reduced.error();
        }
        if (reduced->Lossy()) {
            Tell(answers, ImportNotice::Kind::kColorsReduced,
                 "reduced " + WithThousands(reduced->before) + " colours to " + WithThousands(reduced->after));
        }
        if (written != nullptr && !picture.bitmapFile) {
            Enter(answers, ImportStage::kWritingBitmap);
            Result<image::BmpFileBytes> bytes = image::BmpFileBytesOfPicture(*picture.decoded);
            if (bytes) {
                const platform::ByteSpan parts[] = {bytes->fileHeader, bytes->block};
                BesideBitmap beside = WriteBesideBitmap(bitmapPath, parts);
                if (beside.made) {
                    *written = bitmapPath;
                }
                if (beside.notice) {
                    Tell(answers, ImportNotice::Kind::kBitmapNotWritten, *beside.notice);
                }
            }
        }
        Result<palm::SourcePicture> taken = palm::TakeSourcePicture(*picture.decoded);
        if (!taken) {
            return taken.error();
        }
        source.emplace(std::move(*taken));
    }
    Result<palm::MapRowMaker> maker = palm::MapRowMaker::Make(*source, options);
    if (!maker) {
        return maker.error();
    }
    mapdb::MapRecord placed = maker->Header();
    placed.SetName(palm::MapNameFromPath(bitmapPath));
    Result<std::optional<palm::Corners>> side = readSide();
    if (!side) {
        return side.error();
    }
    if (*side) {
        Tell(answers, ImportNotice::Kind::kCornersFrom,
             "corners from the side file " + platform::FileNameOfPath(palm::SideFilePath(bitmapPath)));
        palm::PlaceMap(placed, **side);
    } else if (georeferenced) {
        palm::PlaceMap(placed, *georeferenced);
    } else {
        palm::PlaceMap(placed, answers.corners(palm::ProposedCorners()));
    }
    if (std::string warnings = Joined(CornerWarnings(palm::CornersOf(placed))); !warnings.empty()) {
        Tell(answers, ImportNotice::Kind::kCornersLookWrong, "the corners look wrong: " + warnings);
    }
    Enter(answers, ImportStage::kConverting);
    return StoredMaps(*maker, placed, *source, options.compress, answers);
}

// The corners a picture's georeferencing gives, when it has some. A picture
// that is not north up in WGS 84 latitude and longitude is warped to it first,
// and replaces the one read.
Result<std::optional<palm::Corners>> PlaceByGeoreference(const std::string& path, std::span<const std::uint8_t> file,
                                                         ReadPicture& picture, const ImportAnswers& answers) {
    if (!geo::MayBeGeoreferenced(path, file)) {
        return std::optional<palm::Corners>();
    }
    Result<const geo::Library*> gdal = geo::LoadLibrary();
    if (!gdal) {
        return Error{"Cannot place the picture " + path + ": " + gdal.error().message + "."};
    }
    Result<std::optional<geo::Georeference>> found = (*gdal)->FindGeoreference(path);
    if (!found || !*found) {
        return found ? std::optional<palm::Corners>() : Result<std::optional<palm::Corners>>(found.error());
    }
    const geo::Georeference& georeference = **found;
    const palm::PictureFacts facts = picture.Facts();
    const std::string source =
        georeference.source + (georeference.assumedDegrees ? ", which names no coordinate system: its values are "
                                                             "taken as WGS 84 latitude and longitude"
                                                           : "");
    if (auto corners = (*gdal)->PlainCorners(georeference, static_cast<int>(facts.width), static_cast<int>(facts.height))) {
        Tell(answers, ImportNotice::Kind::kCornersFrom, "corners from " + source);
        return std::optional(*corners);
    }
    if (!picture.decoded) {
        Result<std::unique_ptr<image::CImageImpl>> decoded = Decode(path, file);
        if (!decoded) {
            return CannotRead(path, decoded.error().message);
        }
        picture.decoded = std::move(*decoded);
        picture.inPlace.reset();
    }
    // A picture of few colours, whatever its depth, is warped as a palette picture: no colour is made anew.
    if (Result<bool> indexed = image::IndexIfFewColors(*picture.decoded); !indexed) {
        return indexed.error();
    }
    Result<geo::Warped> warped = (*gdal)->WarpToLatLon(*picture.decoded, georeference);
    if (!warped) {
        return Error{"Cannot place the picture " + path + ": " + warped.error().message};
    }
    picture.decoded = std::move(warped->picture);
    Tell(answers, ImportNotice::Kind::kPictureWarped,
         "warped from " + georeference.coordinateSystemName + " (" + source + ") to latitude and longitude: now " + std::to_string(picture.decoded->imageWidth) + " x " +
             std::to_string(picture.decoded->imageHeight) + " pixels");
    return std::optional(warped->corners);
}

}  // namespace

const char* StageName(ImportStage stage) {
    switch (stage) {
        case ImportStage::kReading:
            return "reading";
        case ImportStage::kReducingColours:
            return "reducing colours";
        case ImportStage::kWritingBitmap:
            return "writing the bitmap";
        case ImportStage::kConverting:
            return "converting";
        case ImportStage::kTiling:
            return "tiling";
    }
    return "";
}

double ImportDone(ImportStage stage, double done) {
    constexpr double kStarts[] = {0.0, 0.3, 0.5, 0.6, 0.8, 1.0};
    const auto i = static_cast<std::size_t>(stage);
    return kStarts[i] + std::clamp(done, 0.0, 1.0) * (kStarts[i + 1] - kStarts[i]);
}

PreparedPicture::PreparedPicture(PreparedPicture&& other) noexcept
    : picturePath(std::move(other.picturePath)),
      maps(std::move(other.maps)),
      writtenBitmap(std::exchange(other.writtenBitmap, std::string())) {}

PreparedPicture::~PreparedPicture() {
    if (!writtenBitmap.empty()) {
        std::remove(writtenBitmap.c_str());
    }
}

Result<PreparedPicture> PreparePicture(const std::string& picturePath, Handover handover,
                                       const ImportAnswers& answers) {
    const std::string bitmapPath = BitmapPathFor(picturePath, handover);
    Enter(answers, ImportStage::kReading);
    PreparedPicture prepared;
    prepared.picturePath = picturePath;
    Result<PreparedPicture::Maps> maps = [&]() -> Result<PreparedPicture::Maps> {
        // The file's bytes are released once the picture is read from them, or the map made of them.
        Result<std::vector<std::uint8_t>> file = palm::ReadBitmapFile(picturePath);
        if (!file) {
            return file.error();
        }
        Result<ReadPicture> picture = ReadPictureFile(picturePath, *file);
        if (!picture) {
            return picture.error();
        }
        // The side file is the user's own word: georeferencing is looked for only without one.
        const std::string side = palm::SideFilePath(bitmapPath);
        std::error_code noSide;
        std::optional<palm::Corners> georeferenced;
        if (!std::filesystem::exists(side, noSide)) {
            Result<std::optional<palm::Corners>> placed = PlaceByGeoreference(picturePath, *file, *picture, answers);
            if (!placed) {
                return placed.error();
            }
            georeferenced = *placed;
        }
        if (picture->decoded) {
            file->clear();
            file->shrink_to_fit();
        } else {
            // The rows lie in the file's bytes, which are this import's own.
            picture->inPlace->releasable = true;
        }
        const bool writeBitmap = bitmapPath != picturePath;
        auto readSide = [&] { return palm::ReadSideFile(side); };
        return MakeMaps(bitmapPath, std::move(*picture), readSide, georeferenced, answers,
                        writeBitmap ? &prepared.writtenBitmap : nullptr);
    }();
    if (!maps) {
        return maps.error();
    }
    prepared.maps = std::move(*maps);
    return prepared;
}

Result<std::vector<ImportedMap>> AppendPrepared(mapdb::CPDBDoc& doc, MapListView* view, PreparedPicture& prepared) {
    int category = 0;
    if (prepared.maps.tiled) {
        auto free = FreeCategory(doc);
        if (!free) {
            return Error{"All 15 tile categories of this database are taken: " + prepared.picturePath +
                         " needs tiles and cannot be added."};
        }
        category = *free;
    }
    std::vector<mapdb::MapRecord>& maps = prepared.maps.records;
    if (doc.GetMapCount() + maps.size() > mapdb::kMaxMaps) {
        return Error{"A maps database holds at most 65,535 maps: " + prepared.picturePath + " would need " +
                     std::to_string(maps.size()) + " more and was not added."};
    }
    doc.SetModifiedFlag(true);
    mapdb::RecordEntry entry;
    entry.attributes = static_cast<std::uint8_t>(category);
    std::vector<ImportedMap> added;
    added.reserve(maps.size());
    for (auto& map : maps) {
        added.push_back(Describe(map, category));
        doc.AddMap(std::move(map), entry);
    }
    maps.clear();
    if (view != nullptr) {
        view->RefreshMapList();
    }
    return added;
}

Result<std::vector<ImportedMap>> ImportPicture(mapdb::CPDBDoc& doc, MapListView* view, const std::string& picturePath,
                                               Handover handover, const ImportAnswers& answers) {
    Result<PreparedPicture> prepared = PreparePicture(picturePath, handover, answers);
    if (!prepared) {
        return prepared.error();
    }
    Result<std::vector<ImportedMap>> added = AppendPrepared(doc, view, *prepared);
    if (added) {
        prepared->KeepBitmap();
    }
    return added;
}

Result<std::vector<ImportedMap>> ImportPictureBytes(mapdb::CPDBDoc& doc, MapListView* view,
                                                    const std::string& picturePath,
                                                    std::span<const std::uint8_t> file,
                                                    const std::optional<std::string>& sideText,
                                                    const ImportAnswers& answers) {
    auto readSide = [&]() -> Result<std::optional<palm::Corners>> {
        if (!sideText) {
            return std::optional<palm::Corners>();
        }
        return std::optional(palm::ReadSideText(*sideText));
    };
    Result<ReadPicture> picture = ReadPictureFile(picturePath, file);
    if (!picture) {
        return picture.error();
    }
    Result<PreparedPicture::Maps> maps = MakeMaps(picturePath, std::move(*picture), readSide, std::nullopt, answers, nullptr);
    if (!maps) {
        return maps.error();
    }
    PreparedPicture prepared;
    prepared.picturePath = picturePath;
    prepared.maps = std::move(*maps);
    return AppendPrepared(doc, view, prepared);
}

}  // namespace view

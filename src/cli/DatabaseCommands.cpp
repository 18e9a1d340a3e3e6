#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "Cli.h"
#include "Progress.h"
#include "platform/Latin1.h"
#include "view/MapDisplay.h"

namespace cli {

namespace {

// The error's title and message on one line, line breaks as spaces.
std::string OneLine(const platform::Error& error) {
    std::string text = error.title.empty() ? error.message : error.title + ": " + error.message;
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

CommandError::CommandError(const platform::Error& error) : std::runtime_error(OneLine(error)) {}

CommandError WriteFailure(const std::string& path, const platform::Error& error) {
    const std::string reason = OneLine(error);
    return CommandError(reason.find(path) != std::string::npos ? reason : "cannot write " + path + ": " + reason);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (error) {
        throw CommandError(path + ": " + error.message());
    }
    return exists;
}

void OpenDatabase(mapdb::CPDBDoc& doc, const std::string& path) {
    if (auto opened = doc.OnOpenDocument(path); !opened) {
        if (opened.error().title == mapdb::kWrongFileTitle) {
            throw CommandError(path + " is not a Navrello maps database (a Palm database of type maps, creator Qmvt)");
        }
        throw CommandError(opened.error());
    }
}

void SaveDatabase(mapdb::CPDBDoc& doc, const std::string& path, Progress& progress) {
    doc.saveProgress = [&progress, &path](double done) { progress.Saving(path, done); };
    platform::Result<void> saved = doc.OnSaveDocument(path);
    doc.saveProgress = nullptr;
    progress.Clear();
    if (!saved) {
        throw CommandError(saved.error());
    }
}

void SaveDatabase(mapdb::CPDBDoc& doc, const std::string& path) {
    Progress progress(0);
    SaveDatabase(doc, path, progress);
}

namespace {

std::string FourChars(const std::array<char, 4>& chars) {
    return std::string(chars.begin(), chars.end());
}

// The header's name, shown in UTF-8 like the maps' names.
std::string HeaderName(const mapdb::DatabaseHeader& header) {
    return platform::Latin1ToUtf8(
        std::string_view(header.name.data(), strnlen(header.name.data(), header.name.size())));
}

std::uint32_t UniqueID(const mapdb::RecordEntry& entry) {
    return (std::uint32_t{entry.uniqueID[0]} << 16) | (std::uint32_t{entry.uniqueID[1]} << 8) | entry.uniqueID[2];
}

nlohmann::ordered_json MapAsJson(const mapdb::CPDBDoc& doc, std::size_t i) {
    const mapdb::MapRecord& map = doc.GetMap(i);
    const mapdb::RecordEntry& entry = doc.GetEntry(i);
    return {
        {"index", i},
        {"name", platform::Latin1ToUtf8(map.GetName())},
        {"width", map.width},
        {"height", map.height},
        {"rowBytes", map.rowBytes},
        {"pixelSize", map.pixelSize},
        {"compressed", map.IsCompressed()},
        {"hasColorTable", map.HasColorTable()},
        {"recordSize", mapdb::GetRecordSize(map)},
        {"topLeftLat", map.topLeftLat},
        {"topLeftLon", map.topLeftLon},
        {"bottomRightLat", map.bottomRightLat},
        {"bottomRightLon", map.bottomRightLon},
        {"attributes", entry.attributes},
        {"category", entry.attributes & 15},
        {"uniqueID", UniqueID(entry)},
    };
}

void PrintJson(const mapdb::CPDBDoc& doc) {
    const mapdb::DatabaseHeader& header = doc.GetHeader();
    nlohmann::ordered_json maps = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        maps.push_back(MapAsJson(doc, i));
    }
    nlohmann::ordered_json out = {
        {"name", HeaderName(header)},
        {"creationDate", header.creationDate},
        {"modificationDate", header.modificationDate},
        {"type", FourChars(header.type)},
        {"creator", FourChars(header.creator)},
        {"numRecords", header.numRecords},
        {"maps", std::move(maps)},
    };
    std::cout << out.dump(2) << '\n';
}

// A map's outline as a GeoJSON feature: the polygon of its corners in
// degrees, [longitude, latitude], its ring counter-clockwise as RFC 7946 asks
// whichever way round the stored corners are.
nlohmann::ordered_json MapAsFeature(const mapdb::CPDBDoc& doc, std::size_t i) {
    const mapdb::MapRecord& map = doc.GetMap(i);
    auto degrees = [](std::int32_t units) { return units / mapdb::kUnitsPerDegree; };
    const double west = degrees(std::min(map.topLeftLon, map.bottomRightLon));
    const double east = degrees(std::max(map.topLeftLon, map.bottomRightLon));
    const double south = degrees(std::min(map.topLeftLat, map.bottomRightLat));
    const double north = degrees(std::max(map.topLeftLat, map.bottomRightLat));
    nlohmann::ordered_json ring = {{west, north}, {west, south}, {east, south}, {east, north}, {west, north}};
    return {
        {"type", "Feature"},
        {"geometry", {{"type", "Polygon"}, {"coordinates", {std::move(ring)}}}},
        {"properties",
         {
             {"index", i},
             {"name", platform::Latin1ToUtf8(map.GetName())},
             {"width", map.width},
             {"height", map.height},
             {"depth", map.pixelSize},
             {"category", doc.GetEntry(i).attributes & 15},
         }},
    };
}

void PrintGeoJson(const mapdb::CPDBDoc& doc) {
    nlohmann::ordered_json features = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        features.push_back(MapAsFeature(doc, i));
    }
    nlohmann::ordered_json out = {{"type", "FeatureCollection"}, {"features", std::move(features)}};
    std::cout << out.dump(2) << '\n';
}

std::string FlagsText(const mapdb::MapRecord& map) {
    if (map.IsCompressed() && map.HasColorTable()) {
        return "compressed,table";
    }
    if (map.IsCompressed()) {
        return "compressed";
    }
    return map.HasColorTable() ? "table" : "-";
}

void PrintText(const mapdb::CPDBDoc& doc) {
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const mapdb::MapRecord& map = doc.GetMap(i);
        std::cout << i << '\t' << NameField(map.GetName()) << '\t' << map.width << 'x' << map.height
                  << '\t' << view::DepthText(map.pixelSize) << '\t' << FlagsText(map) << '\t'
                  << view::FormatFloat(view::MemoryKB(map)) << '\t' << view::FormatDegrees(map.topLeftLat) << '\t'
                  << view::FormatDegrees(map.topLeftLon) << '\t' << view::FormatDegrees(map.bottomRightLat) << '\t'
                  << view::FormatDegrees(map.bottomRightLon) << '\t' << (doc.GetEntry(i).attributes & 15) << '\n';
    }
}

}  // namespace

void RegisterDatabaseCommands(CLI::App& app) {
    auto database = std::make_shared<std::string>();
    auto other = std::make_shared<std::string>();
    auto force = std::make_shared<bool>(false);
    auto json = std::make_shared<bool>(false);
    auto geojson = std::make_shared<bool>(false);

    CLI::App* create = app.add_subcommand("new", "Make a new, empty maps database");
    create->add_option("DB", *database, "the database file to make")->required();
    create->add_flag("--force", *force, "replace an existing file");
    create->callback([=] {
        FolderLocks lock({*database}, kChanging);
        if (!*force && FileExists(*database)) {
            throw CommandError(*database + " already exists (use --force to replace it)");
        }
        mapdb::CPDBDoc doc;
        doc.OnNewDocument();
        SaveDatabase(doc, *database);
    });

    CLI::App* save = app.add_subcommand("save", "Open a database and save it again, or under another name");
    save->add_option("DB", *database, "the database to open")->required()->check(ExistingFileCheck());
    save->add_option("OTHER", *other, "save under this name instead");
    save->callback([=] {
        FolderLocks lock({*database, other->empty() ? *database : *other}, kChanging);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, *database);
        SaveDatabase(doc, other->empty() ? *database : *other);
    });

    CLI::App* list = app.add_subcommand("list", "List the maps of a database in stored order");
    list->add_option("DB", *database, "the database to read")->required()->check(ExistingFileCheck());
    CLI::Option* jsonFlag = list->add_flag("--json", *json, "print the header and every map as JSON");
    list->add_flag("--geojson", *geojson, "print the maps' outlines as a GeoJSON FeatureCollection")->excludes(jsonFlag);
    list->callback([=] {
        FolderLocks lock({*database}, kReading);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, *database);
        if (*json) {
            PrintJson(doc);
        } else if (*geojson) {
            PrintGeoJson(doc);
        } else {
            PrintText(doc);
        }
    });
}

}  // namespace cli

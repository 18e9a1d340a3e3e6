#include <iostream>
#include <memory>

#include "Cli.h"
#include "platform/Latin1.h"
#include "view/CornerCheck.h"
#include "view/MapDisplay.h"
#include "view/RecordCheck.h"
#include "view/SingleMapOutput.h"

namespace cli {

std::size_t FindMap(const mapdb::CPDBDoc& doc, const std::string& selector) {
    if (selector.size() > 1 && selector[0] == '#') {
        std::size_t index = 0;
        try {
            std::size_t used = 0;
            index = std::stoul(selector.substr(1), &used);
            if (used != selector.size() - 1) {
                throw std::invalid_argument(selector);
            }
        } catch (const std::exception&) {
            throw CommandError("no map " + selector + ": # must be followed by an index");
        }
        if (index >= doc.GetMapCount()) {
            const std::size_t count = doc.GetMapCount();
            throw CommandError("no map " + selector + ": the database holds " +
                               (count == 0   ? "no maps"
                                : count == 1 ? "1 map, #0"
                                             : Counted(count, "map") + ", #0 to #" + std::to_string(count - 1)));
        }
        return index;
    }
    // Names are stored in Latin-1; the selector comes in UTF-8.
    const std::string name = platform::Utf8ToLatin1(selector);
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        if (doc.GetMap(i).GetName() == name) {
            if (found) {
                throw CommandError("several maps are named " + selector + "; name one by its index, #" +
                                   std::to_string(*found) + " or #" + std::to_string(i));
            }
            found = i;
        }
    }
    if (!found) {
        throw CommandError("no map named " + selector);
    }
    return *found;
}

std::int32_t ReadCoordinateArgument(const std::string& argument, const std::string& text, palm::Axis axis) {
    auto value = palm::ReadCoordinate(text, axis);
    if (!value) {
        throw CLI::ValidationError(argument, value.error().message);
    }
    return *value;
}

namespace {

struct MapArguments {
    std::string database;
    std::string map;
    std::string value;
    std::string corner;
    std::string out;
};

CLI::App* MapCommand(CLI::App& app, const char* name, const char* description, MapArguments& args) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("DB", args.database, "the database")->required()->check(ExistingFileCheck());
    command->add_option("MAP", args.map, "a map's name, or #N for the map at index N")->required();
    return command;
}

// The value a CORNER argument names: in the database, among a map's corners, and its axis.
struct CornerValue {
    mapdb::Corner corner;
    std::int32_t palm::Corners::*field;
    palm::Axis axis;
};

CornerValue CornerNamed(const std::string& name) {
    using palm::Axis;
    if (name == "top-left-lat") return {mapdb::Corner::TopLeftLat, &palm::Corners::topLeftLat, Axis::kLatitude};
    if (name == "top-left-lon") return {mapdb::Corner::TopLeftLon, &palm::Corners::topLeftLon, Axis::kLongitude};
    if (name == "bottom-right-lat") {
        return {mapdb::Corner::BottomRightLat, &palm::Corners::bottomRightLat, Axis::kLatitude};
    }
    return {mapdb::Corner::BottomRightLon, &palm::Corners::bottomRightLon, Axis::kLongitude};
}

// Prints one line per fault and warning of each map; the number of each.
std::pair<std::size_t, std::size_t> PrintChecks(const mapdb::CPDBDoc& doc) {
    std::size_t faults = 0;
    std::size_t warnings = 0;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const mapdb::MapRecord& map = doc.GetMap(i);
        const std::string head = '#' + std::to_string(i) + '\t' + NameField(map.GetName()) + '\t';
        for (const auto& problem : view::RecordProblems(map)) {
            std::cout << head << problem << '\n';
            ++faults;
        }
        for (const auto& warning : view::CornerWarnings(palm::CornersOf(map))) {
            std::cout << head << "warning: " << warning << '\n';
            ++warnings;
        }
    }
    return {faults, warnings};
}

}  // namespace

void RegisterMapCommands(CLI::App& app) {
    auto args = std::make_shared<MapArguments>();

    MapCommand(app, "remove", "Remove a map", *args)->callback([args] {
        FolderLocks lock({args->database}, kChanging);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        doc.SetModifiedFlag();
        doc.RemoveMap(FindMap(doc, args->map));
        SaveDatabase(doc, args->database);
    });

    CLI::App* rename = MapCommand(app, "rename", "Rename a map (at most 11 characters)", *args);
    rename->add_option("NEWNAME", args->value, "the new name")->required();
    rename->callback([args] {
        const std::string name = platform::Utf8ToLatin1(args->value);
        if (name.size() > mapdb::kMaxMapNameLength) {
            throw CommandError("a map's name has at most 11 characters: " + args->value);
        }
        FolderLocks lock({args->database}, kChanging);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        doc.SetModifiedFlag();
        doc.RenameMap(FindMap(doc, args->map), name);
        SaveDatabase(doc, args->database);
    });

    CLI::App* corner = MapCommand(app, "set-corner", "Set one corner coordinate of a map, in degrees", *args);
    corner->add_option("CORNER", args->corner, "which value")
        ->required()
        ->check(OneOfCheck({"top-left-lat", "top-left-lon", "bottom-right-lat", "bottom-right-lon"}));
    corner->add_option("DEGREES", args->value,
                       "degrees as --top-left takes them, e.g. -122.5, \"N 45 30\" or \"37 37.133 W\"")
        ->required();
    corner->callback([args] {
        const CornerValue which = CornerNamed(args->corner);
        const std::int32_t value = ReadCoordinateArgument("DEGREES", args->value, which.axis);
        FolderLocks lock({args->database}, kChanging);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        const std::size_t index = FindMap(doc, args->map);
        palm::Corners moved = palm::CornersOf(doc.GetMap(index));
        moved.*which.field = value;
        if (std::string why = view::BoxFault(moved); !why.empty()) {
            throw CommandError(args->corner + " " + args->value + " would leave " + args->map +
                               " without a box: " + why + "; " + args->database + " is unchanged");
        }
        doc.SetModifiedFlag();
        doc.SetMapCorner(index, which.corner, value);
        SaveDatabase(doc, args->database);
    });

    CLI::App* beam = MapCommand(app, "beam", "Write one map as a single record file", *args);
    beam->add_option("OUT", args->out, "the file to write (default Essai.map)");
    beam->callback([args] {
        FolderLocks lock({args->database}, kReading);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        std::string out = args->out.empty() ? view::kBeamFileName : args->out;
        if (auto beamed = view::BeamMap(doc.GetMap(FindMap(doc, args->map)), out); !beamed) {
            throw WriteFailure(out, beamed.error());
        }
    });

    CLI::App* exported = MapCommand(app, "export", "Write one map's picture as a Windows bitmap", *args);
    exported->add_option("OUT", args->out, "the file to write (default Essai.bmp)");
    exported->callback([args] {
        FolderLocks lock({args->database}, kReading);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        std::string out = args->out.empty() ? view::kExportFileName : args->out;
        auto exported = view::ExportMap(doc.GetMap(FindMap(doc, args->map)), out);
        if (!exported) {
            throw WriteFailure(out, exported.error());
        }
        if (!exported->noWorldFile.empty()) {
            std::cerr << "plandrel: " << exported->noWorldFile << '\n';
        }
    });

    CLI::App* check = app.add_subcommand("check", "Report every map that breaks the rules of the format");
    check->add_option("DB", args->database, "the database")->required()->check(ExistingFileCheck());
    check->callback([args] {
        FolderLocks lock({args->database}, kReading);
        mapdb::CPDBDoc doc;
        OpenDatabase(doc, args->database);
        const auto [faults, warnings] = PrintChecks(doc);
        const std::string warned = warnings != 0 ? Counted(warnings, "warning") : "";
        if (faults != 0) {
            throw CommandError(Counted(faults, "problem") + (warned.empty() ? "" : " and " + warned) + " found in " +
                               args->database);
        }
        std::cout << Counted(doc.GetMapCount(), "map") << ", no problems" << (warned.empty() ? "" : ", " + warned)
                  << '\n';
    });
}

}  // namespace cli

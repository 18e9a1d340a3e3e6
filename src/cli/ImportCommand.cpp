#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "Cli.h"
#include "Progress.h"
#include "platform/Latin1.h"
#include "view/CornerCheck.h"
#include "view/BatchImport.h"
#include "view/ImportFlow.h"
#include "view/MapDisplay.h"

namespace cli {

namespace {

struct AddArguments {
    std::string database;
    std::vector<std::string> pictures;
    int depth = 1;
    bool compress = false;
    bool colorTable = false;
    bool dither = false;
    std::string topLeft;
    std::string bottomRight;
    unsigned jobs = 0;  // none given: one per processor
};

// The latitude and longitude of a LAT,LON option, read strictly.
std::pair<std::int32_t, std::int32_t> ReadCornerOption(const std::string& option, const std::string& text) {
    const auto values = std::count(text.begin(), text.end(), ',') + 1;
    if (values != 2) {
        throw CLI::ValidationError(option, "\"" + text + "\" has " + std::to_string(values) +
                                               (values == 1 ? " value" : " values") +
                                               "; LAT,LON is two values separated by one comma, and decimals take "
                                               "a point (46.5,6.5)");
    }
    const auto comma = text.find(',');
    return {ReadCoordinateArgument(option, text.substr(0, comma), palm::Axis::kLatitude),
            ReadCoordinateArgument(option, text.substr(comma + 1), palm::Axis::kLongitude)};
}

// The corners the options give, a corner not given being the one the
// coordinates dialog proposes; a usage error when they make no box.
palm::Corners CornerOptions(const CLI::App& add, const AddArguments& args) {
    palm::Corners corners = palm::kProposedCorners;
    if (add.count("--top-left") != 0) {
        std::tie(corners.topLeftLat, corners.topLeftLon) = ReadCornerOption("--top-left", args.topLeft);
    }
    if (add.count("--bottom-right") != 0) {
        std::tie(corners.bottomRightLat, corners.bottomRightLon) = ReadCornerOption("--bottom-right", args.bottomRight);
    }
    if (std::string why = view::BoxFault(corners); !why.empty()) {
        if (add.count("--top-left") == 0 || add.count("--bottom-right") == 0) {
            why += " (the corner not given is the default, 10\u00B0 N 10\u00B0 W or 10\u00B0 S 10\u00B0 E)";
        }
        throw CLI::ValidationError("--top-left, --bottom-right", why);
    }
    return corners;
}

// What the import of one picture told, kept until its turn comes to be
// appended, so that pictures prepared side by side speak in their order.
struct Told {
    std::vector<std::string> notices;
    bool askedForCorners = false;
};

// The import's two questions answered from the options and the corners they
// give; what the import tells is kept in `told`.
view::ImportAnswers OptionAnswers(const AddArguments& args, const palm::Corners& corners, Told& told) {
    view::ImportAnswers answers;
    answers.conversion = [&args](const palm::PictureFacts&) {
        return palm::ConversionOptions{static_cast<unsigned>(args.depth), args.compress, args.colorTable,
                                       args.dither};
    };
    answers.notice = [&told](const view::ImportNotice& notice) { told.notices.push_back(notice.text); };
    answers.corners = [corners, &told](const palm::CornerTexts&) {
        told.askedForCorners = true;
        return corners;
    };
    return answers;
}

void PrintAdded(const view::ImportedMap& map) {
    std::cout << NameField(map.name) << '\t' << map.width << 'x' << map.height << '\t'
              << view::DepthText(map.pixelSize) << '\t'
              << view::FormatFloat(static_cast<float>(map.recordSize * (1.0 / 1024))) << '\t'
              << map.category << '\n';
}

// Why a picture was not added and what became of the database: nothing of
// the command is saved, so an existing database is unchanged and a new one
// is not made.
std::string NotAdded(const platform::Error& error, const std::string& database, bool existed) {
    std::string reason = error.title.empty() ? error.message : error.title + ": " + error.message;
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    if (!reason.empty() && reason.back() == '.') {
        reason.pop_back();
    }
    return reason + "; no picture was added" +
           (existed ? ", " + database + " is unchanged" : " and " + database + " was not created");
}

}  // namespace

void RegisterImportCommand(CLI::App& app) {
    auto args = std::make_shared<AddArguments>();
    CLI::App* add = app.add_subcommand("add", "Import pictures as maps, creating the database when it does not exist");
    add->add_option("DB", args->database, "the database")->required();
    add->add_option("PICTURE", args->pictures, "BMP, GIF, JPEG, PNG or TIFF pictures")
        ->required()
        ->check(ExistingFileCheck());
    add->add_option("--depth", args->depth, "bits per pixel of the maps (default 1)")
        ->type_name("1|2|4|8")
        ->check(OneOfCheck({"1", "2", "4", "8"}))
        ->take_last();
    add->add_flag("--compress", args->compress, "scan-line compress the maps");
    add->add_flag("--color-table", args->colorTable, "keep the pictures' colours in a colour table");
    add->add_flag("--dither", args->dither,
                  "diffuse the error where colours are lost: grey levels, the system palette, true colour");
    add->add_option("--top-left", args->topLeft, "top-left corner LAT,LON, e.g. \"N 45 30,W 73 15\"")
        ->type_name("LAT,LON")
        ->take_last();
    add->add_option("--bottom-right", args->bottomRight, "bottom-right corner LAT,LON")
        ->type_name("LAT,LON")
        ->take_last();
    add->add_option("--jobs", args->jobs, "pictures prepared at once (default: one per processor)")
        ->type_name("N")
        ->check(CLI::PositiveNumber)
        ->take_last();
    add->callback([args, add] {
        const palm::Corners corners = CornerOptions(*add, *args);
        FolderLocks lock({args->database}, kChanging);
        mapdb::CPDBDoc doc;
        const bool existed = FileExists(args->database);
        if (existed) {
            OpenDatabase(doc, args->database);
        } else {
            doc.OnNewDocument();
        }
        const bool cornersGiven = add->count("--top-left") != 0 || add->count("--bottom-right") != 0;
        std::vector<view::ImportedMap> addedMaps;
        std::vector<Told> told(args->pictures.size());
        // Their bitmaps beside them are kept only once the database is saved.
        std::vector<view::PreparedPicture> appended;
        const unsigned jobs = args->jobs != 0 ? args->jobs : std::max(1u, std::thread::hardware_concurrency());
        Progress progress(args->pictures.size());
        auto prepare = [&](std::size_t i) {
            view::ImportAnswers answers = OptionAnswers(*args, corners, told[i]);
            const std::string name = std::filesystem::path(args->pictures[i]).filename().string();
            answers.stage = [&progress, i, name](view::ImportStage stage, double done) {
                progress.Stage(i, name, stage, done);
            };
            return view::PreparePicture(args->pictures[i], view::Handover::kDropped, answers);
        };
        auto take = [&](std::size_t i, platform::Result<view::PreparedPicture> prepared) {
            const std::string& picture = args->pictures[i];
            progress.Done(i);
            if (!told[i].notices.empty() || !prepared) {
                progress.Clear();
            }
            for (const std::string& notice : told[i].notices) {
                std::cerr << "plandrel: " << picture << ": " << notice << '\n';
            }
            auto added = prepared ? view::AppendPrepared(doc, nullptr, *prepared)
                                  : platform::Result<std::vector<view::ImportedMap>>(prepared.error());
            if (!added) {
                throw CommandError(NotAdded(added.error(), args->database, existed));
            }
            if (cornersGiven && !told[i].askedForCorners) {
                progress.Clear();
                std::cerr << "plandrel: " << picture
                          << ": the corners were found beside or in the picture; --top-left and --bottom-right ignored\n";
            }
            addedMaps.insert(addedMaps.end(), added->begin(), added->end());
            appended.push_back(std::move(*prepared));
            return true;
        };
        view::PrepareInOrder(args->pictures.size(), jobs, prepare, take);
        SaveDatabase(doc, args->database, progress);
        for (auto& picture : appended) {
            picture.KeepBitmap();
        }
        // Only now are the maps stored: a save that fails prints none.
        for (const auto& map : addedMaps) {
            PrintAdded(map);
        }
    });
}

}  // namespace cli

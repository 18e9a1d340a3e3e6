#include <filesystem>
#include <iostream>
#include <memory>

#include "Cli.h"
#include "platform/Latin1.h"
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
};

// Splits "LAT,LON" at its first comma.
std::pair<std::string, std::string> SplitCorner(const std::string& text) {
    auto comma = text.find(',');
    if (comma == std::string::npos) {
        throw CommandError("a corner is given as LAT,LON: " + text);
    }
    return {text.substr(0, comma), text.substr(comma + 1)};
}

// The import's two questions answered from the options; `askedForCorners`
// tells whether the corners were asked for. What the import tells goes to
// standard error, after the picture's name.
view::ImportAnswers OptionAnswers(const AddArguments& args, const std::string& picture, bool& askedForCorners) {
    view::ImportAnswers answers;
    answers.conversion = [&args](const palm::PictureFacts&) {
        return palm::ConversionOptions{static_cast<unsigned>(args.depth), args.compress, args.colorTable,
                                       args.dither};
    };
    answers.notice = [picture](const view::ImportNotice& notice) {
        std::cerr << "plandrel: " << picture << ": " << notice.text << '\n';
    };
    answers.corners = [&args, &askedForCorners](const palm::CornerTexts& proposed) -> palm::Corners {
        askedForCorners = true;
        palm::CornerTexts corners = proposed;
        if (!args.topLeft.empty()) {
            std::tie(corners.topLeftLatitude, corners.topLeftLongitude) = SplitCorner(args.topLeft);
        }
        if (!args.bottomRight.empty()) {
            std::tie(corners.bottomRightLatitude, corners.bottomRightLongitude) = SplitCorner(args.bottomRight);
        }
        return palm::ParseCorners(corners);
    };
    return answers;
}

void PrintAdded(const view::ImportedMap& map) {
    std::cout << platform::Latin1ToUtf8(map.name) << '\t' << map.width << 'x' << map.height << '\t'
              << view::DepthText(map.pixelSize) << '\t'
              << view::FormatFloat(static_cast<float>(map.recordSize * (1.0 / 1024))) << '\t'
              << map.category << '\n';
}

}  // namespace

void RegisterImportCommand(CLI::App& app) {
    auto args = std::make_shared<AddArguments>();
    CLI::App* add = app.add_subcommand("add", "Import pictures as maps, creating the database when it does not exist");
    add->add_option("DB", args->database, "the database")->required();
    add->add_option("PICTURE", args->pictures, "BMP, GIF, JPEG or PNG pictures")->required()->check(CLI::ExistingFile);
    add->add_option("--depth", args->depth, "bits per pixel of the maps (default 1)")->check(CLI::IsMember({1, 2, 4, 8}));
    add->add_flag("--compress", args->compress, "scan-line compress the maps");
    add->add_flag("--color-table", args->colorTable, "keep the pictures' colours in a colour table");
    add->add_flag("--dither", args->dither,
                  "diffuse the error where colours are lost: grey levels, the system palette, true colour");
    add->add_option("--top-left", args->topLeft, "top-left corner LAT,LON, e.g. \"N 45 30,W 73 15\"");
    add->add_option("--bottom-right", args->bottomRight, "bottom-right corner LAT,LON");
    add->callback([args] {
        if (!args->topLeft.empty()) {
            SplitCorner(args->topLeft);
        }
        if (!args->bottomRight.empty()) {
            SplitCorner(args->bottomRight);
        }
        FolderLocks lock({args->database}, kChanging);
        mapdb::CPDBDoc doc;
        if (std::filesystem::exists(args->database)) {
            OpenDatabase(doc, args->database);
        } else {
            doc.OnNewDocument();
        }
        const bool cornersGiven = !args->topLeft.empty() || !args->bottomRight.empty();
        for (const auto& picture : args->pictures) {
            bool askedForCorners = false;
            auto added = view::ImportPicture(doc, nullptr, picture, view::Handover::kDropped,
                                             OptionAnswers(*args, picture, askedForCorners));
            if (!added) {
                Tell(added.error());
                throw CommandError(picture + " was not added; " + args->database + " is unchanged");
            }
            if (cornersGiven && !askedForCorners) {
                std::cerr << "plandrel: " << picture
                          << ": corners read from the side file beside the bitmap; --top-left and --bottom-right ignored\n";
            }
            for (const auto& map : *added) {
                PrintAdded(map);
            }
        }
        SaveDatabase(doc, args->database);
    });
}

}  // namespace cli

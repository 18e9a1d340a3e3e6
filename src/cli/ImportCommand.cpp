#include <filesystem>
#include <iostream>
#include <memory>

#include "Cli.h"
#include "palm/PalmDialogs.h"
#include "platform/UserInterface.h"
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

// Answers the import's two dialogs from the options, and prints its notices.
class OptionAnswers : public platform::StderrUserInterface {
public:
    explicit OptionAnswers(const AddArguments& args) : args(args) {}

    void DoModal(platform::CDialog& dialog) override {
        if (auto* depth = dynamic_cast<palm::CColorDepthDlg*>(&dialog)) {
            depth->depthChoice = args.depth == 8 ? 3 : args.depth == 4 ? 2 : args.depth == 2 ? 1 : 0;
            depth->compress = args.compress;
            depth->includeColorTable = args.colorTable;
        } else if (auto* corners = dynamic_cast<palm::CCoordinatesDlg*>(&dialog)) {
            askedForCorners = true;
            if (!args.topLeft.empty()) {
                std::tie(corners->topLeftLatitude, corners->topLeftLongitude) = SplitCorner(args.topLeft);
            }
            if (!args.bottomRight.empty()) {
                std::tie(corners->bottomRightLatitude, corners->bottomRightLongitude) = SplitCorner(args.bottomRight);
            }
        }
    }

    bool askedForCorners = false;

private:
    const AddArguments& args;
};

void PrintAdded(const view::ImportedMap& map) {
    std::cout << map.name << '\t' << map.width << 'x' << map.height << '\t' << view::DepthText(map.pixelSize)
              << '\t' << view::FormatFloat(static_cast<float>(map.recordSize * (1.0 / 1024))) << '\t'
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
    add->add_option("--top-left", args->topLeft, "top-left corner LAT,LON, e.g. \"N 45 30,W 73 15\"");
    add->add_option("--bottom-right", args->bottomRight, "bottom-right corner LAT,LON");
    add->callback([args] {
        if (!args->topLeft.empty()) {
            SplitCorner(args->topLeft);
        }
        if (!args->bottomRight.empty()) {
            SplitCorner(args->bottomRight);
        }
        mapdb::CPDBDoc doc;
        if (std::filesystem::exists(args->database)) {
            OpenDatabase(doc, args->database);
        } else {
            doc.OnNewDocument();
        }
        const bool cornersGiven = !args->topLeft.empty() || !args->bottomRight.empty();
        for (const auto& picture : args->pictures) {
            OptionAnswers answers(*args);
            platform::ScopedUserInterface scope(answers);
            auto added = view::ImportBitmapFile(doc, nullptr, picture);
            if (added.empty()) {
                throw CommandError(picture + " was not added; " + args->database + " is unchanged");
            }
            if (cornersGiven && !answers.askedForCorners) {
                std::cerr << "plandrel: " << picture
                          << ": corners read from the side file beside the bitmap; --top-left and --bottom-right ignored\n";
            }
            for (const auto& map : added) {
                PrintAdded(map);
            }
        }
        SaveDatabase(doc, args->database);
    });
}

}  // namespace cli

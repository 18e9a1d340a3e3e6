#pragma once

#include <array>
#include <string>

#include "platform/UserInterface.h"

namespace palm {

// The dialogs of the conversion as the core sees them. The core fills the
// members, runs the dialog through platform::GetUserInterface().DoModal and
// reads the members back, however the dialog was closed: none of them can be
// cancelled. The desktop application lays them out with real widgets using the
// texts and control numbers below (texts are UTF-8).

// "Choose the color depth of the map": the depth, compression and colour table of
// a new map. One OK button.
class CColorDepthDlg : public platform::CDialog {
public:
    static constexpr int kTemplateId = 133;
    static constexpr const char* kTitle = "Choose the color depth of the map";
    // Caption above the column of size estimates; each estimate is followed by "KB".
    static constexpr const char* kSizeCaption = "Size uncompressed:";
    static constexpr const char* kSizeUnit = "KB";
    // The radio group, button 0 to 3 (controls 1037, 1036, 1042, 1038).
    static constexpr std::array<const char*, 4> kDepthLabels{
        "1 bit - 2 colors", "2 bits - 4 colors", "4 bits - 16 colors palmOS 3.3 min.",
        "8 bits - 256 colors palmOS 3.5 min."};
    static constexpr std::array<int, 4> kDepthControls{1037, 1036, 1042, 1038};
    // Read-only size estimates beside the radio buttons (controls 1039, 1040, 1043, 1041).
    static constexpr std::array<int, 4> kEstimateControls{1039, 1040, 1043, 1041};
    static constexpr const char* kCompressLabel = "Compress        palmOS 3.3 min.";  // control 1044
    static constexpr const char* kColorTableLabel = " Include color table palmOS 3.5 min.";  // control 1045
    // The source depth is shown read-only (control 1046) followed by this text.
    static constexpr const char* kSourceDepthSuffix = "bits to :";

    CColorDepthDlg() : platform::CDialog(kTemplateId) {}

    // Record size in KB at 1, 2, 4 and 8 bits per pixel without compression, in
    // that order: display only, shown with six significant digits ("9.80859").
    std::array<float, 4> sizeEstimates{};
    // The chosen radio button: 0 = 1 bit, 1 = 2 bits, 2 = 4 bits, 3 = 8 bits.
    int depthChoice = 0;
    // The "Compress" check box.
    bool compress = false;
    // The "Include color table" check box.
    bool includeColorTable = false;
    // Bits per pixel of the source picture (display only).
    int sourceDepth = 0;
};

// "Enter map coordinates": the four corner texts of a new map, typed in the
// format that kFormatHelp shows. One OK button.
class CCoordinatesDlg : public platform::CDialog {
public:
    static constexpr int kTemplateId = 134;
    static constexpr const char* kTitle = "Enter map coordinates";
    static constexpr const char* kCornersCaption = "Corners";
    static constexpr const char* kTopLeftLabel = "Top left";
    static constexpr const char* kBottomRightLabel = "Bottom right";
    static constexpr const char* kLatitudeLabel = "Latitude";
    static constexpr const char* kLongitudeLabel = "Longitude";
    static constexpr const char* kFormatHelp =
        "Format:\nLatitude: [N/+]/(S/-) DD[.dd] [MM[.mm]] [SS[.ss]]\n"
        "Longitude: [E/+]/(W/-) DDD[.dd] [MM[.mm]] [SS[.ss]]\n\n"
        "example: W37\u00BA37'8\" or -37.61889 or 37 37.133 W";

    CCoordinatesDlg() : platform::CDialog(kTemplateId) {}

    std::string topLeftLatitude;     // edit box 1055
    std::string topLeftLongitude;    // edit box 1052
    std::string bottomRightLatitude;   // edit box 1054
    std::string bottomRightLongitude;  // edit box 1053
};

// The notice for a picture the conversion cannot take. One OK button, no members
// to exchange.
class CUnsupportedFormatDlg : public platform::CDialog {
public:
    static constexpr int kTemplateId = 135;
    static constexpr const char* kTitle = "Unsuported format";
    static constexpr const char* kText = "Plandrel accepts BMP, GIF and JPEG\nwith a maximum of 256 colors (8 bits).";

    CUnsupportedFormatDlg() : platform::CDialog(kTemplateId) {}
};

// Runs the "Unsuported format" notice.
void ShowUnsupportedFormat();

// Tells the user that a file could not be used: "<action> the file <path>:\n<reason>",
// where the reason is the system's text for `error` (an errno value).
void ShowFileError(const std::string& action, const std::string& path, int error);

}  // namespace palm

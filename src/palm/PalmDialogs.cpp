#include "PalmDialogs.h"

#include <cstring>

namespace palm {

void ShowUnsupportedFormat() {
    CUnsupportedFormatDlg notice;
    platform::GetUserInterface().DoModal(notice);
}

void ShowFileError(const std::string& action, const std::string& path, int error) {
    platform::GetUserInterface().MessageBox("", action + " the file " + path + ":\n" + std::strerror(error));
}

}  // namespace palm

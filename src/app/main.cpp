#include <cstdio>
#include <cstring>

#include <QApplication>

#include "AppTexts.h"
#include "MainFrame.h"
#include "PDBApp.h"

namespace {

constexpr const char* kUsage =
    "usage: plandrel-gui [DB.pdb]\n"
    "Opens the maps database DB.pdb, or a new one, in the desktop application.\n"
    "  --version   print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("plandrel-gui 3.5 (%s)\n", __DATE__);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationVersion(QStringLiteral("3.5"));

    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() > 1) {
        std::fputs("plandrel-gui: give at most one maps database\n", stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }
    CPDBApp app;
    if (!app.InitInstance(arguments)) {
        return 1;
    }
    return application.exec();
}

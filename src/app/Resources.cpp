#include "Resources.h"

#include <QPixmap>

// The XPM images are C arrays of text, drawn for this program (scripts/draw-icons).
#include "../../res/plandrel.xpm"
#include "../../res/toolbar.xpm"

namespace {

// Compiled in from res/toolbar/ (src/app/CMakeLists.txt), one file per button.
constexpr const char* kToolBarSvgs[] = {":/toolbar/new.svg", ":/toolbar/open.svg", ":/toolbar/save.svg",
                                        ":/toolbar/about.svg"};
constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;

}  // namespace

QIcon ApplicationIcon() {
    return QIcon(QPixmap(plandrel_xpm));
}

QIcon ToolBarIcon(ToolBarButton button) {
    static const QPixmap strip(toolbar_xpm);
    const int index = static_cast<int>(button);
    QIcon icon(QString::fromLatin1(kToolBarSvgs[index]));
    icon.addPixmap(strip.copy(kImageWidth * index, 0, kImageWidth, kImageHeight));
    return icon;
}

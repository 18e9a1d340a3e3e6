#include "Resources.h"

// The XPM images are C arrays of text, drawn for this program (scripts/draw-icons).
#include "../../res/plandrel.xpm"
#include "../../res/toolbar.xpm"

QIcon ApplicationIcon() {
    return QIcon(QPixmap(plandrel_xpm));
}

QPixmap ToolBarImage(int index) {
    static const QPixmap strip(toolbar_xpm);
    return strip.copy(16 * index, 0, 16, 15);
}

#pragma once

#include <QIcon>
#include <QPixmap>

// Icon 128, the application's: a folded map with a route and a position marker.
QIcon ApplicationIcon();
// Image `index` (0 new, 1 open, 2 save, 3 About) of tool bar 128, 16 x 15 pixels.
QPixmap ToolBarImage(int index);

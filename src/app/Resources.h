#pragma once

#include <QIcon>

// Icon 128, the application's: a folded map with a route and a position marker.
QIcon ApplicationIcon();

// The buttons of tool bar 128, in the order of their images.
enum class ToolBarButton { New, Open, Save, About };

// The button's image at any size and device pixel ratio, drawn from its SVG;
// at 16 x 15 device pixels, the tool bar's size on a 1x screen, the pixel image
// drawn for that grid, which is crisper there than any scaled drawing.
QIcon ToolBarIcon(ToolBarButton button);

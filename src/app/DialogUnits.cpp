#include "DialogUnits.h"

#include <QFontMetrics>

namespace {

// The Windows rounding of a × b / c for the small positive values of a layout.
int MulDiv(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

}  // namespace

QSize DialogBaseUnits(const QFont& font) {
    QFontMetrics metrics(font);
    int sample = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(sample / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& dialogUnits, QSize baseUnits) {
    int left = MulDiv(dialogUnits.left(), baseUnits.width(), 4);
    int top = MulDiv(dialogUnits.top(), baseUnits.height(), 8);
    int right = MulDiv(dialogUnits.left() + dialogUnits.width(), baseUnits.width(), 4);
    int bottom = MulDiv(dialogUnits.top() + dialogUnits.height(), baseUnits.height(), 8);
    return {left, top, right - left, bottom - top};
}

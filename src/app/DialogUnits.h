#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Dialog units to pixels with a dialog's font, as fixed dialog templates are laid out.
QSize DialogBaseUnits(const QFont& font);
QRect MapDialogRect(const QRect& dialogUnits, QSize baseUnits);

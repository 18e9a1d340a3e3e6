#pragma once

#include <QStringList>

// The name filters of the "Import bitmap" dialog: first every picture the
// import reads, matched in any case of the extension (file dialogs on Linux
// match patterns case-sensitively), then one filter per format.
QStringList PictureNameFilters();

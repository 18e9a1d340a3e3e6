#pragma once

#include <QSettings>

#include "AppTexts.h"

// The user's settings of the application, kept under the organisation "Halvorin".
inline QSettings AppSettings() {
    return QSettings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kAppTitle));
}

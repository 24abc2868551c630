#include "core/app/preferences.h"

QSettings &applicationPreferences()
{
    // Named explicitly so the location does not depend on what the application object was told.
    static QSettings preferences(QSettings::IniFormat, QSettings::UserScope,
                                 QStringLiteral(MEMORANTH_APP_ID), QStringLiteral("preferences"));
    return preferences;
}

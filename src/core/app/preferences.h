#pragma once

#include <QSettings>

// The user's preferences of the application ("activeFile", "recentFiles"), in the XDG config
// home. One instance for the process, made on first use; used on the main thread only.
QSettings &applicationPreferences();

#pragma once

#include <QSettings>

// The user's preferences of the application ("activeFile", "recentFiles"), in the XDG config
// home. One instance for the process, made on first use; used on the main thread only. Written
// by a PreferencesWriter: savePreferences() rather than sync().
QSettings &applicationPreferences();

// Makes sure that what is at the preferences' path can be read without blocking: anything but a
// regular file (a FIFO would block every start at open) is moved aside, so that the preferences
// start afresh. Returns what was done, to be printed; empty when nothing had to be.
QString setAsideUnusablePreferences(const QString &path);

#pragma once

#include <QLocale>

class QCoreApplication;

// Installs the application's translation for the locale (and Qt's own, where Debian ships it),
// if there is one; English, the source language, needs none. Returns whether ours was found.
bool installTranslations(QCoreApplication &application, const QLocale &locale = QLocale());

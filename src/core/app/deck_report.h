#pragma once

#include "core/model/records.h"

#include <QStringList>
#include <QTextStream>

// The read-only command-line views of a deck: a human summary and a JSON dump. Neither ever
// writes a progress file.

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound);
QByteArray deckDumpJson(const DataFile &deck, const QString &progressFilePath);

// The command line's help text.
QString commandLineUsage();

// Runs "--stats FILE", "--dump FILE", "--help" or "--version" (arguments without the program
// name). Returns the exit status: 0 done, 1 unreadable file, 2 usage error.
int runDeckReport(const QStringList &arguments, QTextStream &out, QTextStream &err);

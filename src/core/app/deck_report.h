#pragma once

#include "core/app/command_line.h"
#include "core/model/records.h"

#include <QStringList>
#include <QTextStream>

// The read-only command-line views of a deck: a human summary and a JSON dump. Neither ever
// writes a progress file.

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound);
QByteArray deckDumpJson(const DataFile &deck, const QString &progressFilePath);

// Answers a command line that needs no window: --stats, --dump, --help, --version or one that
// was refused. Returns the exit status: 0 done, 1 unreadable file, 2 usage error.
int runCommandLine(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

#pragma once

#include "core/app/command_line.h"
#include "core/model/records.h"
#include "core/schedule/due_queue.h"
#include "core/schedule/scheduler.h"

#include <QStringList>
#include <QTextStream>

#include <functional>

// The read-only command-line views of a deck: a human summary and a JSON dump. Neither ever
// writes a progress file.

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound);
QByteArray deckDumpJson(const DataFile &deck, const QString &progressFilePath);
// The same JSON handed to write() piece by piece, so that it never has to be held whole.
void writeDeckDumpJson(const DataFile &deck, const QString &progressFilePath,
                       const std::function<void(const QByteArray &)> &write);
// The due queue as JSON: the faces due, in the order they are studied, and the new ones.
QByteArray deckDueJson(const DataFile &deck, const DueQueue &queue, const Scheduler &scheduler,
                       const QDateTime &now);

// Answers a command line that needs no window: --stats, --dump, --due, --help, --version or
// one that was refused. Returns the exit status: 0 done, 1 unreadable file, 2 usage error.
int runCommandLine(const CommandLine &commandLine, QTextStream &out, QTextStream &err);

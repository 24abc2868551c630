#pragma once

#include "core/app/command_line.h"
#include "core/model/records.h"
#include "core/schedule/due_queue.h"
#include "core/schedule/scheduler.h"
#include "core/stats/deck_statistics.h"
#include "core/store/face_changes.h"

#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

// The read-only command-line views of a deck: a human summary and a JSON dump. Neither ever
// writes a progress file.

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound,
                      const StatsFigures &figures);
QByteArray deckDumpJson(const DataFile &deck, const QString &progressFilePath);
// The same JSON handed to write() piece by piece, so that it never has to be held whole.
void writeDeckDumpJson(const DataFile &deck, const QString &progressFilePath,
                       const std::function<void(const QByteArray &)> &write);
// The due queue as JSON: the faces due, in the order they are studied, and the new ones.
QByteArray deckDueJson(const DataFile &deck, const DueQueue &queue, const Scheduler &scheduler,
                       const QDateTime &now);

// The records of the progress file that no face of the deck claims (after re-attachment), as
// JSON: key, text, rating, progress and the date since when they are unclaimed. Rating and
// progress are the newest the deck's journals hold; faces that only the journals know (changed
// after the progress file was last written) follow, with no text and no date.
QByteArray orphansJson(const DataFile &deck, const FaceChanges &reattached,
                       const QString &progressFilePath);

// Answers a command line that needs no window: --stats, --dump, --due, --orphans, --help,
// --version or one that was refused. Returns the exit status: 0 done, 1 unreadable file or a
// report that could not be written, 2 usage error. The deck read is left in keptDeck when one is
// given, for a process that ends next to leave it to the system instead of freeing it.
int runCommandLine(const CommandLine &commandLine, QTextStream &out, QTextStream &err,
                   std::optional<DataFile> *keptDeck = nullptr);

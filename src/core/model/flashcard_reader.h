#pragma once

#include "core/model/records.h"
#include "core/store/progress_table.h"

#include <QUrl>

// The deck title of a file URL: the file name split at every ".", empty pieces dropped,
// the last piece dropped, the rest joined with ".". "capitals.cards.txt" -> "capitals.cards".
QString deckTitle(const QUrl &url);

// Cuts a flashcard text into cards and faces, merging each face with the saved table.
// Never fails: a text without cards gives an empty list.
QList<Card> readCards(QStringView text, const ProgressTable &saved = {});

// The file's text and location -> the deck with its saved progress merged, from the progress
// folder of the application.
DataFile loadDataFile(QStringView text, const QUrl &url);
// As above, with the progress folder given (none: no saved progress).
DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder);

// The whole content of a local file decoded as UTF-8; nothing when it cannot be read or the
// bytes are not UTF-8.
std::optional<QString> readUtf8File(const QString &path);

#pragma once

#include "core/model/records.h"
#include "core/store/face_changes.h"
#include "core/store/progress_table.h"

#include <QDateTime>

#include <QUrl>

// The application's progress folder: XDG data home + the application identifier. Created on
// first use; nothing (after one "Unexpected error: " line on standard output) when it cannot be.
std::optional<QString> progressDirectory();
// Where that folder is, without creating it; empty when there is no data home.
QString progressDirectoryLocation();

// Base name of the progress file of a deck whose title is empty (a file named "notes" or
// ".txt"): every such deck shares it. No title starts with ".", so no deck collides with it.
inline constexpr char16_t untitledProgressName[] = u".untitled";

// The name of the deck's progress file without ".plist": its title, or the untitled name.
// Decks with the same name share one progress file.
QString progressFileBaseName(const QUrl &deckUrl);

// <folder>/<title>.plist for the deck at url.
QUrl progressFileURL(const QUrl &deckUrl, const QString &folder);
std::optional<QUrl> progressFileURL(const QUrl &deckUrl);

// Progress files bigger than this are refused as absurd rather than read. A face's record takes
// about 270 bytes, so a deck of a million cards (two and a half million faces) has a file of
// about 680 MB; this leaves room for several times that.
inline constexpr qint64 maxProgressFileSize = qint64(4) << 30;

// What reading a progress file gave.
struct ProgressRead
{
    enum class Status {
        Missing,     // no file: no saved progress
        Read,        // table holds it
        Unreadable,  // there but not readable (permissions, not a file, too big): error says why
        Undecodable, // read but not a progress table; a save moves it aside
    };
    Status status = Status::Missing;
    ProgressTable table;
    QString error;
};
ProgressRead readProgressFile(const QString &progressFilePath);

// The saved table of a progress file: empty when the file is missing, unreadable or
// undecodable.
ProgressTable readProgressTable(const QString &progressFilePath);

// Gives the face what a saved record gives back: rating, progress and schedule.
void applySavedProgress(CardFace &face, const SavedProgress &saved);
// What of the face a saved record gives back.
SavedProgress savedProgressOfFace(const CardFace &face);
// The face with the saved rating, progress and schedule of its text, if the table has them.
CardFace mergeSavedProgress(CardFace face, const ProgressTable &table);

// Writes the progress of the deck's faces over the deck's progress file, atomically, and keeps
// every other record of the file (see mergeProgress). Under an exclusive lock on
// "<file>.lock" the table on disk is read again and only the changed faces (and faces the file
// lacks) are written from the deck; the deck's other faces keep what the file says. A deck
// without faces writes nothing. Returns false on failure, error then says why (the old file
// stays as it was). An existing file that cannot be decoded is first moved aside to
// "<title>.plist.corrupt" (or "....corrupt-2", and so on, keeping every earlier copy) so that no
// save destroys it; one that cannot be read at all is left as it is and the save fails.
[[nodiscard]] bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                                const std::optional<QString> &progressFolder,
                                const FaceChanges &changes, const QDateTime &now,
                                QString *error = nullptr);
// As above, every face of the deck written over the table, now.
[[nodiscard]] bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                                QString *error = nullptr);
[[nodiscard]] bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                                const std::optional<QString> &progressFolder,
                                QString *error = nullptr);

// Writes the progress of every face of the cards, as a progress file, to path: a copy for when
// the progress folder cannot be written. False on failure, error then says why.
[[nodiscard]] bool writeProgressCopy(const QList<Card> &cards, const QString &path,
                                     QString *error = nullptr);

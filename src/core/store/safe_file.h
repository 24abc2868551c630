#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// Reading and writing the files Memoranth keeps, safely against what may be found at their
// paths: a FIFO or a device (reading would block forever), a folder, a symbolic link (writing
// through it would change a file elsewhere), a file too big to hold, or one we may not read.

// What reading a file gave.
struct FileRead
{
    enum class Status {
        Read,    // bytes holds the whole file
        Missing, // nothing at the path
        Failed,  // something is there but could not be read; error says what and why
    };
    Status status = Status::Missing;
    QByteArray bytes;
    QString error;

    bool ok() const { return status == Status::Read; }
};

enum class Links { Follow, DoNotFollow };

// Reads a whole regular file at once, never blocking on what is not one, and refusing one of
// more than maxSize bytes. With Links::DoNotFollow, a symbolic link at the path is refused.
[[nodiscard]] FileRead readFileSafely(const QString &path, qint64 maxSize,
                                      Links links = Links::Follow);
// The same, with the bytes handed to take() a piece of at most pieceSize bytes at a time, with
// the size the file had when it was opened, instead of held whole: for a file too big to want
// in memory twice. take() returns whether to go on: false stops the reading there, which then
// counts as read. The result's bytes stay empty.
[[nodiscard]] FileRead
readFileInPieces(const QString &path, qint64 maxSize, qsizetype pieceSize,
                 const std::function<bool(QByteArrayView piece, qint64 size)> &take,
                 Links links = Links::Follow);

// Writes bytes to path through a temporary file in the same folder whose data is synced before
// it is renamed over the path; the folder is synced after. A symbolic link or anything but a
// regular file at the path is refused, never written through. Fails without touching the old
// file; error then says what went wrong.
[[nodiscard]] bool writeFileSafely(const QString &path, const QByteArray &bytes,
                                   QString *error = nullptr);

// Removes the temporaries that writes of path cut short (a killed process) left beside it, as
// writeFileSafely names them: those no writer holds and that nothing changed for unchangedFor.
// Call it with whatever keeps the writers of path out held. How many were removed.
int removeStaleTemporaries(const QString &path, std::chrono::seconds unchangedFor);

// How the copies moved aside are named: the first one plain (path + suffix, then suffix + "-2",
// "-3", ...) or every one numbered (suffix + "-1", "-2", ...).
enum class AsideNames { FirstPlain, AllNumbered };

// Moves the file at path aside to the first free name of the series, so that an earlier copy is
// never replaced, even by another process. Returns the new path; empty when it could not be
// moved, and error then says why.
[[nodiscard]] QString moveAsideNumbered(const QString &path, const QString &suffix,
                                        AsideNames names = AsideNames::FirstPlain,
                                        QString *error = nullptr);

// Makes sure the folder's entries (a rename, a new file) survive a power cut.
void syncFolder(const QString &folder);

// Flashcard files bigger than this are refused rather than read.
inline constexpr qint64 maxTextFileSize = qint64(512) << 20;

// Reads a whole file as UTF-8 text, as readFileSafely reads it. Nothing when the file cannot be
// read or is not UTF-8 text; error then says which, in a sentence that names the file.
[[nodiscard]] std::optional<QString> readUtf8TextFile(const QString &path,
                                                      QString *error = nullptr);
// The same, with the text handed to take() a piece at a time as the file is read, never held
// whole, in pieces of about pieceSize bytes; progress, if given, is told the share of the file
// read so far. False (with error set) when the file cannot be read or is not UTF-8 text: take()
// may have had some pieces by then. wanted, if given, is asked before each piece: once it says
// no, the reading stops there and is false, without an error.
[[nodiscard]] bool
readUtf8TextInPieces(const QString &path, const std::function<void(QStringView)> &take,
                     QString *error = nullptr, const std::function<void(double)> &progress = {},
                     const std::function<bool()> &wanted = {}, qsizetype pieceSize = 4 << 20);

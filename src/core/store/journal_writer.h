#pragma once

#include "core/store/review_journal.h"

#include <QtGlobal>

// Appends records to one journal file. Used by one thread at a time.
class JournalWriter final
{
public:
    JournalWriter() = default;
    ~JournalWriter();
    Q_DISABLE_COPY_MOVE(JournalWriter)

    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }

    // Opens the journal at path for appending, creating it when missing. A torn tail (an append
    // cut short by a crash) is cut off. A damaged journal is moved aside to
    // "<path>.corrupt-<n>", numbered and never overwritten, and the records that still check
    // out start the journal afresh, so none of them is lost. Anything but a regular file at
    // path (a symbolic link, a folder, a pipe) is refused.
    [[nodiscard]] bool open(const QString &path, QString *error);
    void close();

    // One write() of the whole records, then fdatasync(): once this returns true they survive
    // a crash or a power cut. On failure the file is cut back to where it ended before, so no
    // partial record stays in the middle of the journal.
    [[nodiscard]] bool append(const QList<JournalRecord> &records, QString *error);
    [[nodiscard]] bool append(const JournalRecord &record, QString *error)
    {
        return append(QList<JournalRecord>{record}, error);
    }

private:
    [[nodiscard]] bool openFile(bool *created, QString *error);

    int m_fd = -1;
    qint64 m_length = 0;
    QString m_path;
};

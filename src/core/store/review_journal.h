#pragma once

#include "core/model/records.h"
#include "core/store/progress_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The review journal: every change of a face's progress, appended as one record to a file of
// this machine beside the deck's progress file. The progress file is a compacted snapshot that
// may lag behind; the journals of a deck, replayed over it, give its current state. The record
// format is written down in the README for other tools.

// What made a change.
enum class JournalChange : quint8 {
    Review = 1,       // a face marked correct or incorrect
    Picker = 2,       // the progress set directly
    Undo = 3,         // an earlier change taken back
    Redo = 4,         // an undone change made again
    Reattachment = 5, // an edited face took over the record of its old text
};

// Where the scheduler had the face before the change.
enum class SchedulingState : quint8 { New, Learning, Review, Relearning };

struct JournalRecord
{
    qint64 time = 0; // milliseconds since 1970-01-01 UTC
    FaceDigest face;
    JournalChange kind = JournalChange::Review;
    quint8 grade = 0; // 1 Again, 2 Hard, 3 Good, 4 Easy; 0 for a change that is no review
    SchedulingState stateBefore = SchedulingState::New;

    // The face's fields after the change.
    qint8 rating = 0;
    CardFaceProgress progress = CardFaceProgress::New;
    quint8 progressRank = 0;
    std::optional<qint64> lastReview; // milliseconds since 1970-01-01 UTC
    std::optional<qint64> nextReview;
    std::optional<ReviewMemory> memory; // what the scheduler remembers of the face

    friend bool operator==(const JournalRecord &, const JournalRecord &) = default;
};

// Bytes of one framed record: marker, length, body, checksum.
inline constexpr qsizetype journalRecordSize = 100;

// The CRC-32 of zlib and PNG.
quint32 crc32(QByteArrayView bytes);

QByteArray encodeJournalRecord(const JournalRecord &record);

// What a journal's bytes hold.
struct JournalContents
{
    QList<JournalRecord> records; // every record that checks out, in file order
    // End of the last whole record before a torn tail: where the next append belongs.
    qint64 soundLength = 0;
    // A stretch that is no record was followed by records: not a torn append but damage.
    bool damaged = false;
};

// Walks a journal's bytes record by record without keeping them, as parseJournal reads them.
// The bytes must outlive the reader.
class JournalReader
{
public:
    explicit JournalReader(QByteArrayView bytes) : m_bytes(bytes) {}
    // The next record that checks out; false at the end.
    bool next(JournalRecord *record);
    // As in JournalContents, for what was read so far.
    qint64 soundLength() const { return m_soundLength; }
    bool damaged() const { return m_damaged; }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    qint64 m_soundLength = 0;
    bool m_damaged = false;
};

// Never fails: a torn tail is left out, and a damaged stretch is skipped up to the next record
// that checks out. Records of a kind or with values this version does not know are skipped.
JournalContents parseJournal(QByteArrayView bytes);

// Sixteen hexadecimal digits that stand for this machine, the same at every run: derived from
// the system's machine identifier (or, without one, the host name) and the application
// identifier, so that the file names do not give the machine identifier away.
QString journalMachineId();
QString journalMachineId(const QStringList &machineIdFiles, const QString &hostName);

// <folder>/<stem>.<machine>.journal beside <folder>/<stem>.plist.
QString journalPath(const QString &progressFilePath, const QString &machineId);
// Every journal of that progress file, of any machine, sorted by name.
QStringList deckJournalPaths(const QString &progressFilePath);

struct DeckJournal
{
    QList<JournalRecord> records; // all journals merged in time order
    QStringList damagedPaths;     // journals with a damaged stretch
};

// Reads every journal of the progress file. Each journal's own order is kept (a clock set back
// does not reorder one machine's changes); the journals are merged by time.
DeckJournal readDeckJournal(const QString &progressFilePath);
// Hands every record of the progress file's journals to take, in the order readDeckJournal
// gives them, without holding them: each journal is mapped (or else read) and walked a record
// at a time. The journals with a damaged stretch.
QStringList forEachDeckJournalRecord(const QString &progressFilePath,
                                     const std::function<void(const JournalRecord &)> &take);

// What the record leaves its face with: its rating, progress and schedule.
SavedProgress journaledProgress(const JournalRecord &record);
// Gives each face of the records the rating and progress that its last record left it with.
void replayJournal(const QList<JournalRecord> &records, ProgressTable *table);

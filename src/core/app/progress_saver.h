#pragma once

#include "core/model/records.h"
#include "core/store/face_changes.h"
#include "core/store/file_stamp.h"
#include "core/store/journal_writer.h"

#include <QHash>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

// Holds the open deck and writes its progress on one background thread.
//
// Every change of a face is first appended to the deck's journal, made durable before the worker
// takes anything else. The progress file is then rewritten from the whole deck (compacted) a
// little later: compactionDelay() after the last change, at once when the deck is replaced or
// closed, and before the saver is destroyed. Saves of the same progress file are coalesced, so
// the file is written with the newest state and an overtaken state is skipped. A save merges
// with the table on disk: it writes over it only the faces this process changed (FaceChanges,
// gathered from the records journaled and the edits made since the last save) and keeps the
// rest, so the changes of an overtaken state are carried into the next save, and those of a
// failed save too. The worker copies
// the open deck a stretch of cards at a time (each under the lock) when it starts a write, so the
// owner can keep editing its deck in place without ever copying it on its own thread; a card the
// owner changes before the copy reached it is kept as it was for the copy (editCard), so that the
// save writes the deck as it was when the save began. A deck that is replaced while its save is
// pending keeps that save.
//
// deck() and all changes belong to the owning thread.
class ProgressSaver final
{
public:
    using Clock = std::chrono::steady_clock;

    // Writes the progress of a deck's cards over its progress file, the changed faces first;
    // false on failure, error then says why. Called on the worker.
    using Writer = std::function<bool(const QUrl &url, const QList<Card> &cards,
                                      const FaceChanges &changes, QString *error)>;

    explicit ProgressSaver(Writer writer);
    // Writes everything pending, then stops the worker.
    ~ProgressSaver();
    Q_DISABLE_COPY_MOVE(ProgressSaver)

    const std::optional<DataFile> &deck() const { return m_deck; }

    // Makes deck (read from url) the open deck and schedules its save. Nothing is saved when
    // the URL is empty or the deck absent. Its changes go to the journal at journalPath (none:
    // they are not journaled). changes: what reading the deck changed already (the records that
    // edited faces took over). readFrom: the progress file as the reading of the deck found it,
    // when writing the deck over it can wait for the next change (LoadReport); no save is then
    // scheduled as long as the file is still so, no save of it is pending or being written and
    // no change of this process waits for one.
    void replaceDeck(const QUrl &url, std::optional<DataFile> deck, QString journalPath = {},
                     FaceChanges changes = {}, std::optional<StampedFile> readFrom = {});

    // Changes the open deck in place and schedules its save; change(DataFile &, FaceChanges &)
    // returns whether it changed anything and adds the faces it changed to the FaceChanges it
    // is given (change(DataFile &) changes none that others may not write over). False when
    // there is no deck or nothing was changed.
    template <typename Change> bool editDeck(Change &&change)
    {
        {
            const auto lock = lockForOwner();
            if (!m_deck)
                return false;
            // A change anywhere: the copy of a save goes on from the deck as it is now.
            keepDeckForCopyLocked();
            if constexpr (std::is_invocable_v<Change, DataFile &, FaceChanges &>) {
                if (!change(*m_deck, m_changes))
                    return false;
            } else if (!change(*m_deck)) {
                return false;
            }
            scheduleOpenDeckLocked();
        }
        m_wake.notify_one();
        return true;
    }

    // As editDeck, for a change of the one card at that index only: the change never waits for
    // a copy of the deck (editDeck's may, while a save copies the deck).
    template <typename Change> bool editCard(qsizetype card, Change &&change)
    {
        {
            const auto lock = lockForOwner();
            if (!m_deck)
                return false;
            keepForCopyLocked(card);
            if (!change(*m_deck, m_changes))
                return false;
            scheduleOpenDeckLocked();
        }
        m_wake.notify_one();
        return true;
    }

    // The worker copies this many cards of the open deck at a time, and tells listener (on the
    // worker, outside the lock) how many it has copied after each stretch but the last.
    void setCopyStretch(qsizetype cards, std::function<void(qsizetype copied)> listener = {});

    // Appends the record to the open deck's journal on the worker, ahead of every save
    // scheduled after it; its face is one the next save writes over the table on disk. Nothing
    // happens when the open deck is not saved.
    void journal(const JournalRecord &record);
    // Blocks until every record handed to journal() so far is durable. False when one of them
    // could not be written: until the next compaction the progress file is then behind.
    [[nodiscard]] bool waitForJournal();

    // How long after the last change the progress file is rewritten: about two seconds, longer
    // for a deck whose rewrite takes long (as the last one took, or as a deck whose reading
    // wrote nothing is expected to take by the size of its file). A zero or negative minimum
    // compacts at once.
    Clock::duration compactionDelay() const;
    void setMinimumCompactionDelay(Clock::duration delay);

    // Blocks until every scheduled save has been written, compacting at once, or has failed
    // once more. Whether everything is written.
    bool waitForPendingSaves();
    // Blocks until no save of the progress file that url's deck uses is pending or running,
    // compacting at once, or it has failed once more. Whether none is left.
    bool waitForPendingSave(const QUrl &url);

    // A save that fails is tried again, after retryDelay, then twice as long each time up to a
    // minute, until it succeeds. Why progress is not being saved: the error of the last write
    // or journal append that failed; empty once every save pending has been written and the
    // journal is whole again.
    QString failure() const;
    // Whether changes are held in memory only: an append to the journal failed, and the
    // progress file has not caught up with it since.
    bool hasUnsavedChanges() const;
    // The faces of the open deck whose progress is held in memory only; none when the journal
    // has every change.
    FaceChanges unsavedChanges() const;
    // Called on the worker, under the saver's lock, whenever failure() changes.
    void setFailureListener(std::function<void()> listener);
    void setRetryDelay(Clock::duration first);

private:
    // A save waiting for the worker: the open deck (copied when the write starts) or the last
    // state of a deck that has since been replaced.
    struct Pending
    {
        QString key; // the progress file
        bool openDeck = true;
        QUrl url;
        QList<Card> cards;
        Clock::time_point due;   // not written before
        Clock::time_point first; // when the oldest change it holds was made
        FaceChanges changes;     // of a replaced deck; the open deck's are in m_changes
        int failures = 0;        // writes of it that failed in a row
        quint64 failedAt = 0;    // the attempt that last failed; 0 for none
    };
    struct Entry
    {
        QString path;
        JournalRecord record;
    };

    // The lock, for the owner: the worker copying the deck lets it in before its next stretch,
    // rather than take the lock again at once (a mutex does not queue its waiters).
    std::unique_lock<std::mutex> lockForOwner()
    {
        m_ownerWaiting.fetch_add(1);
        std::unique_lock lock(m_mutex);
        m_ownerWaiting.fetch_sub(1);
        return lock;
    }
    static QString progressKey(const QUrl &url);
    // Before the open deck changes while a save copies it: the card at that index, when the
    // copy has yet to reach it; the whole deck's cards, shared, for any other change.
    void keepForCopyLocked(qsizetype card);
    void keepDeckForCopyLocked();
    // The open deck's cards as a save copies them (worker, when the write starts).
    QList<Card> copyOpenDeck(qsizetype count);
    void scheduleOpenDeckLocked();
    // The save to write now, or -1; when none is due yet, next is set to the moment one will be.
    qsizetype dueSaveLocked(Clock::time_point now, std::optional<Clock::time_point> *next) const;
    bool isWaitingForRetryLocked(const Pending &pending) const;
    void beginFlushLocked();
    // Whether a wait for every save (key: none) or those of one progress file is over: each
    // has been written or has failed since the wait began.
    bool isFlushDoneLocked(const QString *key) const;
    void retryLocked(Pending job, const QString &error);
    void setFailureLocked(const QString &failure);
    // The save of the open deck, if one is pending: at most one is.
    QList<Pending>::iterator openDeckSaveLocked();
    // Whether a save of that progress file is pending or being written.
    bool isPendingLocked(const QString &key) const;
    // False when an append failed, error then says why.
    [[nodiscard]] bool writeJournal(const QList<Entry> &entries, QString *error);
    void run();

    const Writer m_writer;

    mutable std::mutex m_mutex;
    std::atomic<int> m_ownerWaiting = 0;
    std::condition_variable m_wake;
    std::condition_variable m_idle;

    QUrl m_url;
    std::optional<DataFile> m_deck;
    QString m_key;         // progress file of the open deck; empty when it is not saved
    QString m_journalPath; // journal of the open deck; empty when it is not saved
    FaceChanges m_changes; // of the open deck, not yet taken by a save

    QList<Entry> m_entries;
    bool m_journaling = false;
    bool m_journalFailed = false;
    JournalWriter m_journalWriter; // the worker's
    int m_flushRequests = 0;       // waits that want every save written now
    quint64 m_flushFrom = 0;       // m_attempts when the first of them began
    quint64 m_attempts = 0;        // writes tried so far
    Clock::duration m_retryDelay = std::chrono::seconds(1);
    QString m_failure;
    std::function<void()> m_failureListener;
    Clock::duration m_minimumDelay = std::chrono::seconds(2);
    Clock::duration m_lastSaveDuration{};

    // In the order first scheduled. Of one progress file, the open deck's state and states of
    // replaced decks that changed faces.
    QList<Pending> m_pending;
    QList<QList<Card>> m_discarded; // released on the worker, not on the owner's thread
    // The copy of the open deck for a save, while it is being taken.
    bool m_copying = false;
    qsizetype m_copied = 0;                  // cards copied so far
    QHash<qsizetype, Card> m_keptForCopy;    // cards changed before the copy reached them
    std::optional<QList<Card>> m_copySource; // the deck as it was, once changed as a whole
    qsizetype m_copyStretch = 4096;
    std::function<void(qsizetype)> m_copyListener;
    QString m_writingKey;
    bool m_writing = false;
    bool m_stopping = false;

    std::thread m_worker;
};

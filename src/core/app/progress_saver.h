#pragma once

#include "core/model/records.h"
#include "core/store/face_changes.h"

#include <QHash>
#include <QUrl>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

// Holds the open deck and writes its progress on one background thread.
//
// Every change schedules a save; saves of the open deck are coalesced, so the file is written
// with the newest state and an overtaken state is skipped. Each change names the faces it
// changed (FaceChanges): a save writes those over the table on disk and keeps the rest, so the
// changes of an overtaken state are carried into the next save, and those of a failed save too. The
// worker copies the open deck card by card (under the lock) when it starts a write, so the owner
// can keep editing its deck in place without ever copying it on its own thread. A deck that is
// replaced while its save is pending keeps that save.
//
// deck() and all changes belong to the owning thread.
class ProgressSaver final
{
public:
    // Writes the progress of a deck's cards over its progress file, the changed faces first;
    // the error text on failure. Called on the worker.
    using Writer = std::function<std::optional<QString>(const QUrl &url, const QList<Card> &cards,
                                                        const FaceChanges &changes)>;

    explicit ProgressSaver(Writer writer);
    // Writes everything pending, then stops the worker.
    ~ProgressSaver();
    Q_DISABLE_COPY_MOVE(ProgressSaver)

    const std::optional<DataFile> &deck() const { return m_deck; }

    // Makes deck (read from url) the open deck and schedules its save. Nothing is saved when
    // the URL is empty or the deck absent. changes: what reading the deck changed already (the
    // records that edited faces took over).
    void replaceDeck(const QUrl &url, std::optional<DataFile> deck, FaceChanges changes = {});

    // Changes the open deck in place and schedules its save; change(DataFile &, FaceChanges &)
    // returns whether it changed anything and adds the faces it changed to the FaceChanges it
    // is given (change(DataFile &) changes none that others may not write over). False when
    // there is no deck or nothing was changed.
    template <typename Change> bool editDeck(Change &&change)
    {
        {
            std::lock_guard lock(m_mutex);
            FaceChanges changes;
            if (!m_deck)
                return false;
            if constexpr (std::is_invocable_v<Change, DataFile &, FaceChanges &>) {
                if (!change(*m_deck, changes))
                    return false;
            } else if (!change(*m_deck)) {
                return false;
            }
            m_changes.add(changes);
            scheduleOpenDeckLocked();
        }
        m_wake.notify_one();
        return true;
    }

    // Blocks until every scheduled save has been written.
    void waitForPendingSaves();
    // Blocks until no save of the progress file that url's deck uses is pending or running.
    void waitForPendingSave(const QUrl &url);

private:
    // A save waiting for the worker: the open deck (copied when the write starts) or the last
    // state of a deck that has since been replaced.
    struct Pending
    {
        QString key; // the progress file
        bool openDeck = true;
        QUrl url;
        QList<Card> cards;
        FaceChanges changes;
    };

    static QString progressKey(const QUrl &url);
    void scheduleOpenDeckLocked();
    bool isPendingLocked(const QString &key) const;
    void run();

    const Writer m_writer;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;

    QUrl m_url;
    std::optional<DataFile> m_deck;
    QString m_key;         // progress file of the open deck; empty when it is not saved
    FaceChanges m_changes; // of the open deck, not yet taken by a save

    // In order. At most one save of the open deck; states of replaced decks are each written,
    // since each has changes of its own.
    QList<Pending> m_pending;
    QList<QList<Card>> m_discarded; // released on the worker, not on the owner's thread
    QString m_writingKey;
    bool m_writing = false;
    bool m_stopping = false;

    std::thread m_worker;
};

#pragma once

#include "core/model/records.h"

#include <QHash>
#include <QUrl>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Holds the open deck and writes its progress on one background thread.
//
// Every change schedules a save; saves of the same progress file are coalesced, so the file is
// written with the newest state and an overtaken state is skipped. The worker copies the open
// deck card by card (under the lock) when it starts a write, so the owner can keep editing its
// deck in place without ever copying it on its own thread. A deck that is replaced while its
// save is pending keeps that save.
//
// deck() and all changes belong to the owning thread.
class ProgressSaver final
{
public:
    // Writes the progress of a deck's cards; the error text on failure. Called on the worker.
    using Writer = std::function<std::optional<QString>(const QUrl &url, const QList<Card> &cards)>;

    explicit ProgressSaver(Writer writer);
    // Writes everything pending, then stops the worker.
    ~ProgressSaver();
    Q_DISABLE_COPY_MOVE(ProgressSaver)

    const std::optional<DataFile> &deck() const { return m_deck; }

    // Makes deck (read from url) the open deck and schedules its save. Nothing is saved when
    // the URL is empty or the deck absent.
    void replaceDeck(const QUrl &url, std::optional<DataFile> deck);

    // Changes the open deck in place and schedules its save; change(DataFile &) returns whether
    // it changed anything. False when there is no deck or nothing was changed.
    template <typename Change> bool editDeck(Change &&change)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_deck || !change(*m_deck))
                return false;
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
        bool openDeck = true;
        QUrl url;
        QList<Card> cards;
    };

    static QString progressKey(const QUrl &url);
    void scheduleOpenDeckLocked();
    void run();

    const Writer m_writer;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;

    QUrl m_url;
    std::optional<DataFile> m_deck;
    QString m_key; // progress file of the open deck; empty when it is not saved

    QHash<QString, Pending> m_pending;
    QList<QString> m_order;
    QList<QList<Card>> m_discarded; // released on the worker, not on the owner's thread
    QString m_writingKey;
    bool m_writing = false;
    bool m_stopping = false;

    std::thread m_worker;
};

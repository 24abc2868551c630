#pragma once

#include "core/model/records.h"

#include <QHash>
#include <QUrl>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Where progress files are kept: the application's folder (looked up at every use, as the
// progress store does), or a given folder, or none (nothing is read or written).
struct ProgressLocation
{
    static ProgressLocation applicationFolder() { return {}; }
    static ProgressLocation folder(std::optional<QString> folder) { return {false, folder}; }

    DataFile loadDeck(QStringView text, const QUrl &url) const;
    std::optional<QString> saveDeck(const QUrl &url, const QList<Card> &cards) const;

    bool useApplicationFolder = true;
    std::optional<QString> givenFolder;
};

// Holds the open deck and writes its progress on one background thread.
//
// Every change schedules a save; saves of the same progress file are coalesced, so the file is
// written with the newest state and an overtaken state is skipped. The worker copies the open
// deck card by card (under the lock) when it starts a write, so the owner can keep editing its
// deck in place without ever copying it on its own thread. A deck that is replaced while its
// save is pending keeps that save.
//
// deck(), url() and all changes belong to the owning thread.
class ProgressSaver final
{
public:
    explicit ProgressSaver(ProgressLocation location);
    // Writes everything pending, then stops the worker.
    ~ProgressSaver();
    Q_DISABLE_COPY_MOVE(ProgressSaver)

    const ProgressLocation &location() const { return m_location; }
    const QUrl &url() const { return m_url; }
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

    // Number of progress files written (or attempted) so far.
    quint64 writeCount() const;

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

    const ProgressLocation m_location;

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
    quint64 m_writeCount = 0;

    std::thread m_worker;
};

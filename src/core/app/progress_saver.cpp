#include "core/app/progress_saver.h"

#include "core/model/debug_output.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"

#include <algorithm>

ProgressSaver::ProgressSaver(Writer writer)
    : m_writer(std::move(writer)), m_worker([this] { run(); })
{
}

ProgressSaver::~ProgressSaver()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    // The worker empties the queue before it leaves.
    m_worker.join();
}

QString ProgressSaver::progressKey(const QUrl &url)
{
    // Decks that share one progress file share its saves.
    return progressFileBaseName(url);
}

void ProgressSaver::replaceDeck(const QUrl &url, std::optional<DataFile> deck, FaceChanges changes)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_deck) {
            const auto pending = std::find_if(m_pending.begin(), m_pending.end(),
                                              [](const Pending &p) { return p.openDeck; });
            if (pending != m_pending.end()) {
                // The pending save was to read this deck; it keeps the deck's last state.
                pending->openDeck = false;
                pending->url = m_url;
                pending->cards = std::move(m_deck->cards);
                pending->changes = std::exchange(m_changes, {});
            } else {
                m_discarded.append(std::move(m_deck->cards));
            }
        }
        m_url = url;
        m_deck = std::move(deck);
        m_key = (m_deck && !m_url.isEmpty()) ? progressKey(m_url) : QString();
        m_changes = std::move(changes);
        if (m_deck)
            scheduleOpenDeckLocked();
    }
    m_wake.notify_one();
}

void ProgressSaver::scheduleOpenDeckLocked()
{
    if (m_key.isEmpty())
        return;
    const bool pending = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                     [](const Pending &p) { return p.openDeck; });
    if (!pending)
        m_pending.append(Pending{m_key, true, {}, {}, {}});
}

bool ProgressSaver::isPendingLocked(const QString &key) const
{
    return (m_writing && m_writingKey == key) ||
           std::any_of(m_pending.cbegin(), m_pending.cend(),
                       [&](const Pending &p) { return p.key == key; });
}

void ProgressSaver::waitForPendingSaves()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.isEmpty() && !m_writing; });
}

void ProgressSaver::waitForPendingSave(const QUrl &url)
{
    const QString key = progressKey(url);
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return !isPendingLocked(key); });
}

void ProgressSaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(
            lock, [this] { return m_stopping || !m_pending.isEmpty() || !m_discarded.isEmpty(); });
        QList<QList<Card>> discarded = std::exchange(m_discarded, {});
        if (m_pending.isEmpty()) {
            lock.unlock();
            discarded.clear();
            lock.lock();
            if (m_stopping && m_pending.isEmpty())
                break;
            continue;
        }

        Pending job = m_pending.takeFirst();
        if (job.openDeck) {
            // A copy of the card list of our own, made here so that the owner's next edit does
            // not have to detach its deck on its thread.
            job.url = m_url;
            job.cards = QList<Card>(m_deck->cards.cbegin(), m_deck->cards.cend());
            job.changes = std::exchange(m_changes, {});
        }
        m_writing = true;
        m_writingKey = job.key;
        lock.unlock();

        discarded.clear();
        const std::optional<QString> error = m_writer(job.url, job.cards, job.changes);
        if (error) {
            QString line = *error;
            line.replace(QLatin1Char('\n'), QLatin1Char(' '));
            printLine(line);
        }
        job.cards.clear();

        lock.lock();
        // Changes that did not reach the file go with the next save of the open deck.
        if (error && job.openDeck && job.key == m_key) {
            FaceChanges changes = std::move(job.changes);
            changes.add(m_changes);
            m_changes = std::move(changes);
        }
        job = Pending{};
        m_writing = false;
        m_writingKey.clear();
        m_idle.notify_all();
    }
    m_idle.notify_all();
}

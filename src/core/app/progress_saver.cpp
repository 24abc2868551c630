#include "core/app/progress_saver.h"

#include "core/model/debug_output.h"
#include "core/store/progress_store.h"

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
    // Decks that share one progress file share its saves, so they coalesce.
    return progressFileBaseName(url);
}

void ProgressSaver::replaceDeck(const QUrl &url, std::optional<DataFile> deck)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_deck) {
            auto pending = m_key.isEmpty() ? m_pending.end() : m_pending.find(m_key);
            if (pending != m_pending.end() && pending->openDeck) {
                // The pending save was to read this deck; it keeps the deck's last state.
                *pending = Pending{false, m_url, std::move(m_deck->cards)};
            } else {
                m_discarded.append(std::move(m_deck->cards));
            }
        }
        m_url = url;
        m_deck = std::move(deck);
        m_key = (m_deck && !m_url.isEmpty()) ? progressKey(m_url) : QString();
        if (m_deck)
            scheduleOpenDeckLocked();
    }
    m_wake.notify_one();
}

void ProgressSaver::scheduleOpenDeckLocked()
{
    if (m_key.isEmpty())
        return;
    auto pending = m_pending.find(m_key);
    if (pending == m_pending.end()) {
        m_pending.insert(m_key, Pending{});
        m_order.append(m_key);
    } else if (!pending->openDeck) {
        // An older state of the same progress file, overtaken before it was written.
        m_discarded.append(std::move(pending->cards));
        *pending = Pending{};
    }
}

void ProgressSaver::waitForPendingSaves()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_order.isEmpty() && !m_writing; });
}

void ProgressSaver::waitForPendingSave(const QUrl &url)
{
    const QString key = progressKey(url);
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock,
                [&] { return !m_pending.contains(key) && !(m_writing && m_writingKey == key); });
}

void ProgressSaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock,
                    [this] { return m_stopping || !m_order.isEmpty() || !m_discarded.isEmpty(); });
        QList<QList<Card>> discarded = std::exchange(m_discarded, {});
        if (m_order.isEmpty()) {
            lock.unlock();
            discarded.clear();
            lock.lock();
            if (m_stopping && m_order.isEmpty())
                break;
            continue;
        }

        const QString key = m_order.takeFirst();
        Pending job = m_pending.take(key);
        if (job.openDeck) {
            // A copy of the card list of our own, made here so that the owner's next edit does
            // not have to detach its deck on its thread.
            job.url = m_url;
            job.cards = QList<Card>(m_deck->cards.cbegin(), m_deck->cards.cend());
        }
        m_writing = true;
        m_writingKey = key;
        lock.unlock();

        discarded.clear();
        if (const std::optional<QString> error = m_writer(job.url, job.cards)) {
            QString line = *error;
            line.replace(QLatin1Char('\n'), QLatin1Char(' '));
            printLine(line);
        }
        job = Pending{};

        lock.lock();
        m_writing = false;
        m_writingKey.clear();
        m_idle.notify_all();
    }
    m_idle.notify_all();
}

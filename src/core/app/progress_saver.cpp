#include "core/app/progress_saver.h"

#include "core/model/debug_output.h"
#include "core/store/progress_store.h"

#include <QDir>
#include <QFileInfo>

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

void ProgressSaver::replaceDeck(const QUrl &url, std::optional<DataFile> deck, QString journalPath)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_deck) {
            auto pending = m_key.isEmpty() ? m_pending.end() : m_pending.find(m_key);
            if (pending != m_pending.end() && pending->openDeck) {
                // The pending save was to read this deck; it keeps the deck's last state and is
                // written without waiting for more changes.
                const auto now = Clock::now();
                *pending = Pending{false, m_url, std::move(m_deck->cards), now, now};
            } else {
                m_discarded.append(std::move(m_deck->cards));
            }
        }
        m_url = url;
        m_deck = std::move(deck);
        m_key = (m_deck && !m_url.isEmpty()) ? progressKey(m_url) : QString();
        m_journalPath = m_key.isEmpty() ? QString() : std::move(journalPath);
        if (m_deck)
            scheduleOpenDeckLocked();
    }
    m_wake.notify_one();
}

ProgressSaver::Clock::duration ProgressSaver::compactionDelay() const
{
    std::lock_guard lock(m_mutex);
    if (m_minimumDelay <= Clock::duration::zero())
        return Clock::duration::zero();
    // A deck whose rewrite takes long is rewritten less often; the journal holds the changes.
    return std::max(m_minimumDelay, 5 * m_lastSaveDuration);
}

void ProgressSaver::setMinimumCompactionDelay(Clock::duration delay)
{
    {
        std::lock_guard lock(m_mutex);
        m_minimumDelay = delay;
    }
    m_wake.notify_one();
}

void ProgressSaver::scheduleOpenDeckLocked()
{
    if (m_key.isEmpty())
        return;
    const auto now = Clock::now();
    const auto delay = m_minimumDelay <= Clock::duration::zero()
                           ? Clock::duration::zero()
                           : std::max(m_minimumDelay, 5 * m_lastSaveDuration);
    // However often the deck changes, its progress file is not left behind for longer.
    const auto longest = std::max(delay, Clock::duration(std::chrono::minutes(1)));
    auto pending = m_pending.find(m_key);
    if (pending == m_pending.end()) {
        m_pending.insert(m_key, Pending{true, {}, {}, now + delay, now});
        m_order.append(m_key);
    } else if (!pending->openDeck) {
        // An older state of the same progress file, overtaken before it was written.
        m_discarded.append(std::move(pending->cards));
        *pending = Pending{true, {}, {}, now + delay, now};
    } else {
        pending->due = std::min(now + delay, pending->first + longest);
    }
}

void ProgressSaver::journal(const JournalRecord &record)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_journalPath.isEmpty())
            return;
        m_entries.append({m_journalPath, record});
    }
    m_wake.notify_one();
}

bool ProgressSaver::waitForJournal()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_entries.isEmpty() && !m_journaling; });
    return !m_journalFailed;
}

void ProgressSaver::waitForPendingSaves()
{
    std::unique_lock lock(m_mutex);
    ++m_flushRequests;
    m_wake.notify_one();
    m_idle.wait(lock, [this] {
        return m_order.isEmpty() && !m_writing && m_entries.isEmpty() && !m_journaling;
    });
    --m_flushRequests;
}

void ProgressSaver::waitForPendingSave(const QUrl &url)
{
    const QString key = progressKey(url);
    std::unique_lock lock(m_mutex);
    ++m_flushRequests;
    m_wake.notify_one();
    m_idle.wait(lock,
                [&] { return !m_pending.contains(key) && !(m_writing && m_writingKey == key); });
    --m_flushRequests;
}

QString ProgressSaver::dueSaveLocked(Clock::time_point now,
                                     std::optional<Clock::time_point> *next) const
{
    // Saves are written in the order they were first scheduled; the first waits for its time.
    if (m_order.isEmpty())
        return {};
    const QString &key = m_order.first();
    const Pending &pending = m_pending[key];
    if (m_stopping || m_flushRequests > 0 || pending.due <= now)
        return key;
    *next = pending.due;
    return {};
}

bool ProgressSaver::writeJournal(const QList<Entry> &entries)
{
    bool written = true;
    QString error;
    for (qsizetype i = 0; i < entries.size();) {
        // Consecutive records of one journal go in one append.
        const QString &path = entries[i].path;
        QList<JournalRecord> records;
        for (; i < entries.size() && entries[i].path == path; ++i)
            records.append(entries[i].record);
        if (!m_journalWriter.isOpen() || m_journalWriter.path() != path) {
            // The folder is made on first use, as a save makes it.
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!m_journalWriter.open(path, &error)) {
                printLine(error);
                written = false;
                continue;
            }
        }
        if (!m_journalWriter.append(records, &error)) {
            printLine(error);
            m_journalWriter.close();
            written = false;
        }
    }
    return written;
}

void ProgressSaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_entries.isEmpty()) {
            const QList<Entry> entries = std::exchange(m_entries, {});
            m_journaling = true;
            lock.unlock();
            const bool written = writeJournal(entries);
            lock.lock();
            m_journaling = false;
            if (!written)
                m_journalFailed = true;
            m_idle.notify_all();
            continue;
        }
        if (!m_discarded.isEmpty()) {
            QList<QList<Card>> discarded = std::exchange(m_discarded, {});
            lock.unlock();
            discarded.clear();
            lock.lock();
            continue;
        }
        std::optional<Clock::time_point> next;
        const QString key = dueSaveLocked(Clock::now(), &next);
        if (key.isEmpty()) {
            if (m_stopping)
                break;
            // Every change of what is checked above happens under the lock and wakes us.
            if (next)
                m_wake.wait_until(lock, *next);
            else
                m_wake.wait(lock);
            continue;
        }

        m_order.removeOne(key);
        Pending job = m_pending.take(key);
        if (job.openDeck) {
            // A copy of the card list of our own, made here so that the owner's next edit does
            // not have to detach its deck on its thread.
            job.url = m_url;
            job.cards = QList<Card>(m_deck->cards.cbegin(), m_deck->cards.cend());
        }
        const bool journalWasBehind = m_journalFailed;
        m_writing = true;
        m_writingKey = key;
        lock.unlock();

        const auto started = Clock::now();
        const std::optional<QString> error = m_writer(job.url, job.cards);
        if (error) {
            QString line = *error;
            line.replace(QLatin1Char('\n'), QLatin1Char(' '));
            printLine(line);
        }
        const auto duration = Clock::now() - started;
        job = Pending{};

        lock.lock();
        m_lastSaveDuration = duration;
        // The open deck's progress file has caught up with what its journal missed.
        if (!error && journalWasBehind && key == m_key)
            m_journalFailed = false;
        m_writing = false;
        m_writingKey.clear();
        m_idle.notify_all();
    }
    m_idle.notify_all();
}

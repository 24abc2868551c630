#include "core/app/progress_saver.h"

#include "core/model/debug_output.h"
#include "core/store/progress_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

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
    // Decks that share one progress file share its saves, so they coalesce.
    return progressFileBaseName(url);
}

void ProgressSaver::replaceDeck(const QUrl &url, std::optional<DataFile> deck, QString journalPath,
                                FaceChanges changes, std::optional<StampedFile> readFrom)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_deck) {
            keepDeckForCopyLocked();
            const auto pending = openDeckSaveLocked();
            if (pending != m_pending.end()) {
                // The pending save was to read this deck; it keeps the deck's last state and is
                // written without waiting for more changes.
                const auto now = Clock::now();
                *pending = Pending{m_key,
                                   false,
                                   m_url,
                                   std::move(m_deck->cards),
                                   now,
                                   now,
                                   std::exchange(m_changes, {})};
            } else {
                m_discarded.append(std::move(m_deck->cards));
            }
        }
        const QString oldKey = m_key;
        m_url = url;
        m_deck = std::move(deck);
        m_key = (m_deck && !m_url.isEmpty()) ? progressKey(m_url) : QString();
        m_journalPath = m_key.isEmpty() ? QString() : std::move(journalPath);
        // Changes not yet saved stay this process's word on those faces while the same
        // progress file stays open (a reload of the deck).
        if (m_key.isEmpty() || m_key != oldKey)
            m_changes = {};
        m_changes.add(changes);
        // A rewrite that changes nothing that matters reads and writes the whole file, which
        // for a big deck fights the user for the machine right after it opened. Under the lock
        // no save starts or ends, so a file seen unchanged here was written by none since the
        // reading (one still pending may write over it: the deck's save then follows it).
        const bool owed =
            !readFrom || !m_changes.isEmpty() || isPendingLocked(m_key) || !readFrom->isUnchanged();
        if (m_deck && owed) {
            scheduleOpenDeckLocked();
        } else if (m_deck) {
            // Its first save will take about as long as reading and writing that file: the
            // changes until then wait as long as they would after such a save.
            constexpr qint64 rewrittenPerSecond = qint64(128) << 20;
            m_lastSaveDuration = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(double(readFrom->stamp.size) / rewrittenPerSecond));
        }
    }
    m_wake.notify_one();
}

void ProgressSaver::keepForCopyLocked(qsizetype card)
{
    if (!m_copying || m_copySource || card < m_copied || card >= m_deck->cards.size() ||
        m_keptForCopy.contains(card))
        return;
    m_keptForCopy.insert(card, m_deck->cards.at(card));
}

void ProgressSaver::keepDeckForCopyLocked()
{
    // Shared: the owner's change then copies the deck, as it did before the copy was taken in
    // stretches. Only changes of the deck as a whole come here.
    if (m_copying && !m_copySource)
        m_copySource = m_deck->cards;
}

void ProgressSaver::setCopyStretch(qsizetype cards, std::function<void(qsizetype)> listener)
{
    std::lock_guard lock(m_mutex);
    m_copyStretch = std::max<qsizetype>(cards, 1);
    m_copyListener = std::move(listener);
}

QList<Card> ProgressSaver::copyOpenDeck(qsizetype count)
{
    // A copy in one go would share the deck with the owner meanwhile, whose next change would
    // then copy all of it on the owner's thread (hundreds of milliseconds for a million cards).
    QList<Card> cards;
    cards.reserve(count);
    for (;;) {
        std::function<void(qsizetype)> listener;
        while (m_ownerWaiting.load() != 0)
            std::this_thread::yield();
        {
            std::lock_guard lock(m_mutex);
            const QList<Card> &source = m_copySource ? *m_copySource : m_deck->cards;
            const qsizetype end = std::min(count, cards.size() + m_copyStretch);
            for (qsizetype i = cards.size(); i < end; ++i) {
                const auto kept = m_keptForCopy.constFind(i);
                cards.append(kept != m_keptForCopy.cend() ? *kept : source.at(i));
            }
            m_copied = end;
            if (end == count)
                break;
            listener = m_copyListener;
        }
        if (listener)
            listener(cards.size());
    }
    QHash<qsizetype, Card> kept;
    std::optional<QList<Card>> source;
    {
        std::lock_guard lock(m_mutex);
        m_copying = false;
        kept = std::exchange(m_keptForCopy, {});
        source = std::exchange(m_copySource, std::nullopt);
    }
    // Released here, outside the lock.
    return cards;
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
    auto pending = openDeckSaveLocked();
    if (pending != m_pending.end()) {
        pending->due = std::min(now + delay, pending->first + longest);
        return;
    }
    // An older state of the same progress file that changed no face is overtaken before it was
    // written, in its place. One that changed faces is written on its own: its faces may not
    // be in the open deck.
    pending = std::find_if(m_pending.begin(), m_pending.end(),
                           [&](const Pending &p) { return p.key == m_key && p.changes.isEmpty(); });
    if (pending == m_pending.end()) {
        m_pending.append(Pending{m_key, true, {}, {}, now + delay, now, {}});
    } else {
        m_discarded.append(std::move(pending->cards));
        *pending = Pending{m_key, true, {}, {}, now + delay, now, {}};
    }
}

QList<ProgressSaver::Pending>::iterator ProgressSaver::openDeckSaveLocked()
{
    return std::find_if(m_pending.begin(), m_pending.end(),
                        [](const Pending &p) { return p.openDeck; });
}

bool ProgressSaver::isPendingLocked(const QString &key) const
{
    return (m_writing && m_writingKey == key) ||
           std::any_of(m_pending.cbegin(), m_pending.cend(),
                       [&](const Pending &p) { return p.key == key; });
}

void ProgressSaver::journal(const JournalRecord &record)
{
    {
        const auto lock = lockForOwner();
        if (m_journalPath.isEmpty())
            return;
        m_entries.append({m_journalPath, record});
        m_changes.changed.insert(record.face);
        scheduleOpenDeckLocked();
    }
    m_wake.notify_one();
}

bool ProgressSaver::waitForJournal()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_entries.isEmpty() && !m_journaling; });
    return !m_journalFailed;
}

bool ProgressSaver::isWaitingForRetryLocked(const Pending &pending) const
{
    // A save that failed since the wait began has had its try: the wait does not hold on it.
    return pending.failedAt > m_flushFrom;
}

bool ProgressSaver::isFlushDoneLocked(const QString *key) const
{
    // Saves behind one of their progress file that waits to be tried again wait with it.
    QSet<QString> held;
    for (const Pending &pending : m_pending) {
        if (held.contains(pending.key))
            continue;
        if (isWaitingForRetryLocked(pending))
            held.insert(pending.key);
        else if (!key || pending.key == *key)
            return false;
    }
    return true;
}

void ProgressSaver::beginFlushLocked()
{
    if (m_flushRequests++ == 0)
        m_flushFrom = m_attempts;
    m_wake.notify_one();
}

bool ProgressSaver::waitForPendingSaves()
{
    std::unique_lock lock(m_mutex);
    beginFlushLocked();
    m_idle.wait(lock, [this] {
        return !m_writing && m_entries.isEmpty() && !m_journaling && isFlushDoneLocked(nullptr);
    });
    --m_flushRequests;
    return m_pending.isEmpty() && !m_journalFailed;
}

bool ProgressSaver::waitForPendingSave(const QUrl &url)
{
    const QString key = progressKey(url);
    std::unique_lock lock(m_mutex);
    beginFlushLocked();
    m_idle.wait(lock,
                [&] { return !(m_writing && m_writingKey == key) && isFlushDoneLocked(&key); });
    --m_flushRequests;
    return !isPendingLocked(key);
}

QString ProgressSaver::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool ProgressSaver::hasUnsavedChanges() const
{
    std::lock_guard lock(m_mutex);
    return m_journalFailed;
}

FaceChanges ProgressSaver::unsavedChanges() const
{
    std::lock_guard lock(m_mutex);
    if (!m_journalFailed)
        return {};
    // Also those of earlier states of the open deck's progress file that wait for their save.
    FaceChanges changes = m_changes;
    for (const Pending &pending : m_pending) {
        if (pending.key == m_key)
            changes.add(pending.changes);
    }
    return changes;
}

void ProgressSaver::setFailureListener(std::function<void()> listener)
{
    std::lock_guard lock(m_mutex);
    m_failureListener = std::move(listener);
}

void ProgressSaver::setRetryDelay(Clock::duration first)
{
    std::lock_guard lock(m_mutex);
    m_retryDelay = first;
}

void ProgressSaver::setFailureLocked(const QString &failure)
{
    if (failure == m_failure)
        return;
    m_failure = failure;
    if (m_failureListener)
        m_failureListener();
}

qsizetype ProgressSaver::dueSaveLocked(Clock::time_point now,
                                       std::optional<Clock::time_point> *next) const
{
    // Saves are written in the order they were first scheduled, each at its time. One that
    // waits to be tried again lets later ones go first, but not those of its own progress file,
    // which would then be written over by the older state.
    QSet<QString> held;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const Pending &pending = m_pending.at(i);
        if (held.contains(pending.key))
            continue;
        const bool forced =
            m_stopping || (m_flushRequests > 0 && !isWaitingForRetryLocked(pending));
        if (forced || pending.due <= now)
            return i;
        if (!*next || pending.due < **next)
            *next = pending.due;
        if (pending.failures == 0)
            return -1; // the first one that did not fail holds every later one, as before
        held.insert(pending.key);
    }
    return -1;
}

bool ProgressSaver::writeJournal(const QList<Entry> &entries, QString *failure)
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
                *failure = error;
                written = false;
                continue;
            }
        }
        if (!m_journalWriter.append(records, &error)) {
            printLine(error);
            m_journalWriter.close();
            *failure = error;
            written = false;
        }
    }
    return written;
}

void ProgressSaver::retryLocked(Pending job, const QString &error)
{
    setFailureLocked(error);
    // What is left when the saver stops is lost: the owner asked before it let it stop.
    if (m_stopping)
        return;
    // Tried again later and later, up to once a minute, until a write succeeds: a full disk or a
    // folder made read-only may come back.
    const int failures = job.failures + 1;
    const auto now = Clock::now();
    const auto wait = std::min<Clock::duration>(
        m_retryDelay * (qint64(1) << std::min(failures - 1, 6)), std::chrono::minutes(1));
    if (job.openDeck && job.key == m_key) {
        // The open deck's changes go with its next save, whenever that is tried.
        FaceChanges changes = std::move(job.changes);
        changes.add(m_changes);
        m_changes = std::move(changes);
        scheduleOpenDeckLocked();
        auto pending = openDeckSaveLocked();
        pending->failures = failures;
        pending->failedAt = m_attempts;
        pending->due = now + wait;
        return;
    }
    // A deck replaced while its save was written keeps the state it had.
    job.openDeck = false;
    job.failures = failures;
    job.failedAt = m_attempts;
    job.due = now + wait;
    m_pending.prepend(std::move(job));
}

void ProgressSaver::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_entries.isEmpty()) {
            const QList<Entry> entries = std::exchange(m_entries, {});
            m_journaling = true;
            lock.unlock();
            QString failure;
            const bool written = writeJournal(entries, &failure);
            lock.lock();
            m_journaling = false;
            if (!written) {
                // Until the progress file catches up, these changes are only in memory.
                m_journalFailed = true;
                setFailureLocked(failure);
            }
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
        const qsizetype due = dueSaveLocked(Clock::now(), &next);
        if (due < 0) {
            if (m_stopping)
                break;
            // Every change of what is checked above happens under the lock and wakes us.
            if (next)
                m_wake.wait_until(lock, *next);
            else
                m_wake.wait(lock);
            continue;
        }

        Pending job = m_pending.takeAt(due);
        const QString key = job.key;
        const bool openDeck = job.openDeck;
        qsizetype count = 0;
        if (openDeck) {
            // The save writes the deck as it is now, with the changes made so far.
            job.url = m_url;
            job.changes = std::exchange(m_changes, {});
            count = m_deck->cards.size();
            m_copying = true;
            m_copied = 0;
        }
        const bool journalWasBehind = m_journalFailed;
        m_writing = true;
        m_writingKey = key;
        lock.unlock();
        if (openDeck)
            job.cards = copyOpenDeck(count);

        const auto started = Clock::now();
        QString error;
        const bool saved = m_writer(job.url, job.cards, job.changes, &error);
        if (!saved) {
            QString line = error;
            line.replace(QLatin1Char('\n'), QLatin1Char(' '));
            printLine(line);
        }
        const auto duration = Clock::now() - started;
        // The cards written go before the lock is taken again: they may be the last copy of a
        // deck closed meanwhile, whose freeing takes long at a big deck, and the window's thread
        // takes this lock at every change.
        if (saved)
            job = Pending{};

        lock.lock();
        ++m_attempts;
        if (!saved)
            retryLocked(std::move(job), error);
        job = Pending{};
        if (saved) {
            m_lastSaveDuration = duration;
            // The open deck's progress file has caught up with what its journal missed.
            if (journalWasBehind && key == m_key)
                m_journalFailed = false;
            const bool failing = std::any_of(m_pending.cbegin(), m_pending.cend(),
                                             [](const Pending &p) { return p.failures > 0; });
            if (!failing && !m_journalFailed)
                setFailureLocked({});
        }
        m_writing = false;
        m_writingKey.clear();
        m_idle.notify_all();
    }
    m_idle.notify_all();
}

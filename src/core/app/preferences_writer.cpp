#include "core/app/preferences_writer.h"

#include "core/model/debug_output.h"
#include "core/store/safe_file.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QTemporaryFile>

namespace {

// Preferences files bigger than this are not ours: they are refused rather than read.
constexpr qint64 maxPreferencesFileSize = qint64(64) << 20;

std::mutex writersMutex;
QHash<const QSettings *, PreferencesWriter *> &writers()
{
    static QHash<const QSettings *, PreferencesWriter *> all;
    return all;
}

} // namespace

PreferencesWriter::PreferencesWriter(QSettings *preferences, Write write)
    : m_preferences(preferences), m_write(write ? std::move(write) : Write(writePreferencesFile)),
      m_path(preferences->fileName()), m_known(snapshot())
{
    // A change makes QSettings write the file at the next turn of the event loop, on this
    // thread: that write is the writer's.
    m_preferences->installEventFilter(this);
    std::lock_guard lock(writersMutex);
    writers().insert(m_preferences, this);
}

PreferencesWriter::~PreferencesWriter()
{
    {
        std::lock_guard lock(writersMutex);
        writers().remove(m_preferences);
    }
    flush();
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
}

PreferencesWriter *PreferencesWriter::of(const QSettings &preferences)
{
    std::lock_guard lock(writersMutex);
    return writers().value(&preferences);
}

bool PreferencesWriter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_preferences && event->type() == QEvent::UpdateRequest)
        return true;
    return QObject::eventFilter(watched, event);
}

QMap<QString, QVariant> PreferencesWriter::snapshot() const
{
    // From memory: a few keys per deck studied and the recent files.
    QMap<QString, QVariant> values;
    for (const QString &key : m_preferences->allKeys())
        values.insert(key, m_preferences->value(key));
    return values;
}

void PreferencesWriter::save()
{
    QMap<QString, QVariant> now = snapshot();
    PreferenceChanges changes;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto known = m_known.constFind(it.key());
        if (known == m_known.cend() || *known != *it)
            changes.insert(it.key(), *it);
    }
    for (auto it = m_known.cbegin(); it != m_known.cend(); ++it) {
        if (!now.contains(it.key()))
            changes.insert(it.key(), std::nullopt);
    }
    m_known = std::move(now);
    {
        std::lock_guard lock(m_mutex);
        // Changes whose write failed go with this one, under what changed since.
        if (changes.isEmpty() && m_failure.isEmpty())
            return;
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            m_pending.insert(it.key(), it.value());
        ++m_saved;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

bool PreferencesWriter::flush()
{
    save();
    std::unique_lock lock(m_mutex);
    const quint64 saved = m_saved;
    m_written.wait(lock, [&] { return m_handled >= saved; });
    return m_failure.isEmpty();
}

std::function<void()> PreferencesWriter::waiter()
{
    std::lock_guard lock(m_mutex);
    return [this, saved = m_saved] { waitForWritten(saved); };
}

void PreferencesWriter::waitForWritten(quint64 saved)
{
    std::unique_lock lock(m_mutex);
    m_written.wait(lock, [&] { return m_handled >= saved; });
}

QString PreferencesWriter::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void PreferencesWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_handled < m_saved || m_stopping; });
        if (m_handled == m_saved)
            break;
        const quint64 saved = m_saved;
        // A failed write left its changes here: they are written with these.
        PreferenceChanges changes = m_pending;
        lock.unlock();
        QString error;
        const bool written = m_write(m_path, changes, &error);
        lock.lock();
        if (written) {
            // Only what no save changed since goes: the rest is written next.
            for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
                const auto pending = m_pending.constFind(it.key());
                if (pending != m_pending.cend() && *pending == *it)
                    m_pending.erase(pending);
            }
            m_failure.clear();
        } else if (error != std::exchange(m_failure, error)) {
            // Said once, not at every review while the file stays unwritable.
            printLine(error);
        }
        m_handled = saved;
        m_written.notify_all();
    }
}

bool writePreferencesFile(const QString &path, const PreferenceChanges &changes, QString *error)
{
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Could not write the preferences %1: %2").arg(path, why);
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failed(QStringLiteral("their folder could not be made"));
    // The lock QSettings takes while it reads the file and writes it back, so that the
    // preferences of another process are merged, not written over. One that cannot be taken
    // does not keep the preferences from being written, as it does not keep QSettings.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.lock();

    const FileRead current = readFileSafely(path, maxPreferencesFileSize);
    if (current.status == FileRead::Status::Failed)
        return failed(current.error);
    // The merge and the format are QSettings' own, in a QSettings of a scratch copy: one of the
    // file itself would share the lock that the owner's thread takes to read a value.
    QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/memoranth-preferences-XXXXXX.ini"));
    if (!scratch.open() || scratch.write(current.bytes) != current.bytes.size() || !scratch.flush())
        return failed(scratch.errorString());
    scratch.close();
    {
        QSettings merged(scratch.fileName(), QSettings::IniFormat);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (it.value())
                merged.setValue(it.key(), *it.value());
            else
                merged.remove(it.key());
        }
        merged.sync();
        if (merged.status() == QSettings::AccessError)
            return failed(
                QStringLiteral("the scratch copy %1 could not be written").arg(scratch.fileName()));
    }
    QFile written(scratch.fileName());
    if (!written.open(QIODevice::ReadOnly))
        return failed(written.errorString());
    const QByteArray bytes = written.readAll();
    written.close();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

void savePreferences(QSettings &preferences)
{
    if (PreferencesWriter *writer = PreferencesWriter::of(preferences))
        writer->save();
    else
        preferences.sync();
}

bool flushPreferences(QSettings &preferences)
{
    if (PreferencesWriter *writer = PreferencesWriter::of(preferences))
        return writer->flush();
    preferences.sync();
    return preferences.status() != QSettings::AccessError;
}

std::function<void()> preferencesWaiter(QSettings &preferences)
{
    if (PreferencesWriter *writer = PreferencesWriter::of(preferences))
        return writer->waiter();
    return [] {};
}

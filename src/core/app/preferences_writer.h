#pragma once

#include <QMap>
#include <QObject>
#include <QSettings>
#include <QVariant>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Preference keys with their new value, or none for a key removed.
using PreferenceChanges = QMap<QString, std::optional<QVariant>>;

// Writes a QSettings' preferences to its file on a thread of its own, so that the thread that
// changes them never waits for the disk: a write replaces the file through a synced rename,
// which waits for whatever the disk has still to write (seconds, right after a big copy).
//
// Every QSettings of one file in a process shares what it holds of that file, under one lock
// that QSettings::sync() keeps for the whole write. So the writer never syncs a QSettings of
// the file: save() hands it what changed since the last save (looked up in memory, on the
// owner's thread), and the writer merges that into the file as it is then on disk, as sync()
// would, in a QSettings of a scratch copy of its own. The owner's QSettings keeps every value
// set, for its reads, and is never written: its own writes, which would happen on the owner's
// thread, are held back (do not destroy it before quitting: its destructor writes the file).
//
// Saves are coalesced and kept in order: a key takes the value of the last save that changed
// it. A write that fails is printed, and its changes are written with the next save.
// save(), flush() and the destructor belong to the owner's thread.
class PreferencesWriter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreferencesWriter)

public:
    // Merges the changes into the preferences file at path; false on failure, error then says
    // why. Called on the writer's thread.
    using Write =
        std::function<bool(const QString &path, const PreferenceChanges &changes, QString *error)>;

    // Takes over writing the preferences (not owned; must outlive the writer, which must be
    // made on its thread), with writePreferencesFile unless told otherwise.
    explicit PreferencesWriter(QSettings *preferences, Write write = {});
    // Writes everything saved, then stops.
    ~PreferencesWriter() override;

    // The writer of these preferences, if they have one.
    static PreferencesWriter *of(const QSettings &preferences);

    // Hands what changed since the last save to the writer, and returns at once.
    void save();
    // Saves, then blocks until everything saved so far has been written or has failed. Whether
    // it was written.
    bool flush();
    // Blocks, on any thread, until everything saved before it was made has been written or has
    // failed.
    std::function<void()> waiter();
    // Why the last write failed; empty when it did not.
    QString failure() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMap<QString, QVariant> snapshot() const;
    void waitForWritten(quint64 saved);
    void run();

    QSettings *const m_preferences;
    const Write m_write;
    const QString m_path;
    QMap<QString, QVariant> m_known; // as last handed to the writer; the owner's

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    PreferenceChanges m_pending;
    quint64 m_saved = 0;   // saves that handed over changes
    quint64 m_handled = 0; // of them, those written or failed
    QString m_failure;
    bool m_stopping = false;
    std::thread m_thread; // started with the first change
};

// Merges the changes into the preferences file at path, as QSettings::sync() does: the file as
// it is now on disk, read under QSettings' lock of it, with the changes over it, written in the
// same format through a synced rename (a symbolic link at the path is followed, as QSettings
// follows it). False on failure, error then says why.
[[nodiscard]] bool writePreferencesFile(const QString &path, const PreferenceChanges &changes,
                                        QString *error);

// Writes the preferences out: on their writer's thread when they have one (returning at once),
// else at once.
void savePreferences(QSettings &preferences);
// Saves and blocks until the preferences are written. Whether they were.
bool flushPreferences(QSettings &preferences);
// Something that blocks, on any thread, until what was saved of the preferences before it was
// made has been written (or has failed).
std::function<void()> preferencesWaiter(QSettings &preferences);

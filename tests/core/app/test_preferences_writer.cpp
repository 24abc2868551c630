#include "app_test_support.h"

#include "core/app/commands_coordinator.h"
#include "core/app/preferences_writer.h"
#include "core/app/recent_files.h"
#include "support/capture_stdout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <mutex>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Stands for the disk: records every write and, the first time, stops the writer's thread in
// it until the test lets it go, so that what the owner can do meanwhile is decided, not timed.
class HeldWrite
{
public:
    PreferencesWriter::Write write()
    {
        return [this](const QString &, const PreferenceChanges &changes, QString *) {
            bool first = false;
            {
                std::lock_guard lock(m_mutex);
                m_writes.append(changes);
                first = m_writes.size() == 1;
            }
            if (first) {
                m_entered.release();
                m_release.acquire();
            }
            return true;
        };
    }
    bool waitUntilHeld() { return m_entered.tryAcquire(1, 5000); }
    void release() { m_release.release(); }
    QList<PreferenceChanges> writes() const
    {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }

private:
    mutable std::mutex m_mutex;
    QList<PreferenceChanges> m_writes;
    QSemaphore m_entered;
    QSemaphore m_release;
};

} // namespace

class TestPreferencesWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // While the disk holds the writer, the owner goes on changing and reading the preferences;
    // what it changed meanwhile is written next, in one write, newest values first.
    void aHeldWriteNeverHoldsTheOwner()
    {
        QSettings preferences(m_dir.filePath(u"held.ini"_qs), QSettings::IniFormat);
        preferences.setValue(u"gone"_qs, 0);
        HeldWrite disk;
        {
            PreferencesWriter writer(&preferences, disk.write());
            // A failed check must not leave the writer held: the writer waits for it at its end.
            const auto letGo = qScopeGuard([&] { disk.release(); });
            preferences.setValue(u"a"_qs, 1);
            writer.save();
            QVERIFY(disk.waitUntilHeld());

            preferences.setValue(u"a"_qs, 2);
            writer.save();
            preferences.setValue(u"b"_qs, u"text"_qs);
            preferences.remove(u"gone"_qs);
            writer.save();
            QCOMPARE(preferences.value(u"a"_qs), QVariant(2));
            QVERIFY(!preferences.contains(u"gone"_qs));
            // Nor does QSettings write the file itself at the next turn of the event loop.
            QCoreApplication::sendPostedEvents();
            QVERIFY(!QFile::exists(preferences.fileName()));
            QCOMPARE(disk.writes().size(), 1);

            disk.release();
            QVERIFY(writer.flush());
        }
        const QList<PreferenceChanges> writes = disk.writes();
        QCOMPARE(writes.size(), 2);
        QCOMPARE(writes[0], (PreferenceChanges{{u"a"_qs, QVariant(1)}}));
        QCOMPARE(writes[1], (PreferenceChanges{{u"a"_qs, QVariant(2)},
                                               {u"b"_qs, QVariant(u"text"_qs)},
                                               {u"gone"_qs, std::nullopt}}));
    }

    // Opening a deck and reviewing in it go on while the disk holds the preferences; quitting
    // waits for them.
    void aHeldWriteNeverHoldsTheCoordinator()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QUrl deck = makeFile(dir, u"deck.txt"_qs, deckText(3));
        QSettings preferences(dir.filePath(u"preferences.ini"_qs), QSettings::IniFormat);
        HeldWrite disk;
        PreferencesWriter writer(&preferences, disk.write());
        const auto letGo = qScopeGuard([&] { disk.release(); });
        {
            RecentFiles recent(&preferences);
            CommandsCoordinator coordinator(&preferences, dir.filePath(u"progress"_qs), &recent);
            coordinator.open(deck);
            QVERIFY(disk.waitUntilHeld());
            QVERIFY(coordinator.dataFile());
            QVERIFY(coordinator.reviewFace(0, 0, coordinator.dataFile()->cards[0].faces[0],
                                           Grade::Good));
            QCOMPARE(recent.files(), QList<QUrl>{deck});
            disk.release();
            coordinator.waitForPendingSaves();
            QCOMPARE(disk.writes().size(), 2);
        }
        PreferenceChanges written;
        for (const PreferenceChanges &changes : disk.writes())
            written.insert(changes);
        QVERIFY(written.contains(u"activeFile"_qs));
        QVERIFY(written.contains(u"recentFiles"_qs));
        QVERIFY(written.contains(u"decks/deck/reviews"_qs));
        QVERIFY(written.contains(u"decks/deck/newFaces"_qs));
    }

    // The file comes out as QSettings itself would have written it, with what another process
    // wrote to it meanwhile kept.
    void theFileIsWhatQSettingsWrites()
    {
        const QString path = m_dir.filePath(u"format/preferences.ini"_qs);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"format"_qs)));
        QVERIFY(writeBytes(path, "[decks]\nold%20deck\\studyMode=due\n"));
        QSettings preferences(path, QSettings::IniFormat);
        PreferencesWriter writer(&preferences);
        // Another process's change, after this one read the file.
        QVERIFY(writeBytes(path, "[decks]\nold%20deck\\studyMode=due\nother\\newFaces=x 3\n"));

        const auto change = [](QSettings &settings) {
            settings.setValue(u"activeFile"_qs, QByteArray("\x01\x00 blob", 7));
            settings.setValue(u"recentFiles"_qs,
                              QVariantList{QByteArray("one"), QByteArray("two, \"three\"")});
            settings.setValue(u"decks/new deck/studyMode"_qs, u"inOrder"_qs);
            settings.setValue(u"scheduler/desiredRetention"_qs, 0.85);
            settings.remove(u"decks/old deck"_qs);
        };
        change(preferences);
        QVERIFY(writer.flush());

        const QString expectedPath = m_dir.filePath(u"format/expected.ini"_qs);
        QVERIFY(
            writeBytes(expectedPath, "[decks]\nold%20deck\\studyMode=due\nother\\newFaces=x 3\n"));
        {
            QSettings expected(expectedPath, QSettings::IniFormat);
            change(expected);
        }
        QCOMPARE(readBytes(path), readBytes(expectedPath));
    }

    // A file that cannot be written is said once, and what was not written stays for the next
    // write, which succeeds once the file can be written again.
    void anUnwritableFileIsReportedAndItsChangesKept()
    {
        const QString blocked = m_dir.filePath(u"blocked"_qs);
        QVERIFY(writeBytes(blocked, "a file where the folder should be"));
        const QString path = blocked + u"/preferences.ini"_qs;
        QSettings preferences(path, QSettings::IniFormat);
        PreferencesWriter writer(&preferences);
        {
            CaptureStdout out;
            preferences.setValue(u"activeFile"_qs, QByteArray("bookmark"));
            QVERIFY(!writer.flush());
            preferences.setValue(u"recentFiles"_qs, QVariantList{QByteArray("bookmark")});
            QVERIFY(!writer.flush());
            const QString printed = out.text();
            QCOMPARE(printed.count(u"Could not write the preferences "_qs + path), 1);
        }
        QVERIFY(!writer.failure().isEmpty());

        QVERIFY(QFile::remove(blocked));
        QVERIFY(writer.flush());
        QVERIFY(writer.failure().isEmpty());
        const QString copy = m_dir.filePath(u"written.ini"_qs);
        QVERIFY(QFile::copy(path, copy));
        const QSettings written(copy, QSettings::IniFormat);
        QCOMPARE(written.value(u"activeFile"_qs), QVariant(QByteArray("bookmark")));
        QCOMPARE(written.value(u"recentFiles"_qs).toList(), QVariantList{QByteArray("bookmark")});
    }
};

QTEST_GUILESS_MAIN(TestPreferencesWriter)
#include "test_preferences_writer.moc"

#include "app_test_support.h"

#include "core/app/bookmark.h"
#include "core/app/preferences.h"
#include "core/app/recent_files.h"

#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

class TestRecentFiles : public QObject
{
    Q_OBJECT

private:
    // Files deck0.txt..., listed by an earlier run, the last one first.
    QList<QUrl> listedFiles(int count)
    {
        QList<QUrl> urls;
        RecentFiles recent(&*m_settings);
        for (int i = 0; i < count; ++i)
            recent.add(urls.emplaceBack(makeFile(*m_dir, QStringLiteral("deck%1.txt").arg(i))));
        return urls;
    }

    QVariant stored() { return m_settings->value(QStringLiteral("recentFiles")); }

    // What the preferences hold, resolved back to URLs; nothing for a blob that fails.
    QList<QUrl> storedUrls()
    {
        QList<QUrl> urls;
        for (const QVariant &blob : stored().toList())
            urls.append(resolveBookmarkData(blob.toByteArray()).value_or(ResolvedBookmark{}).url);
        return urls;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
    }

    // A named pipe at the preferences' path would block every start as it is read: it is set
    // aside, and the preferences start afresh; a plain file is left alone.
    void unusablePreferencesAreSetAside()
    {
        const QString path = m_dir->filePath(QStringLiteral("pipe.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const QString done = setAsideUnusablePreferences(path);
        QVERIFY2(done.contains(path + QStringLiteral(".unusable")), qPrintable(done));
        QVERIFY(!QFileInfo(path).exists() && QFileInfo(path + u".unusable"_qs).exists());
        QSettings preferences(path, QSettings::IniFormat);
        QVERIFY(!preferences.contains(QStringLiteral("recentFiles")));

        m_settings->setValue(QStringLiteral("recentFiles"), QVariantList());
        m_settings->sync();
        QCOMPARE(setAsideUnusablePreferences(m_settings->fileName()), QString());
        QVERIFY(QFileInfo(m_settings->fileName()).isFile());
    }

    void addAndRemoveKeepOrderWithoutDuplicates()
    {
        const QList<QUrl> f = listedFiles(4);
        RecentFiles recent(&*m_settings);
        QCOMPARE(recent.files(), (QList<QUrl>{f[3], f[2], f[1], f[0]}));
        QSignalSpy changed(&recent, &RecentFiles::filesChanged);
        recent.add(f[1]);
        recent.add(f[1]); // already first: nothing changes
        QCOMPARE(recent.files(), (QList<QUrl>{f[1], f[3], f[2], f[0]}));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(storedUrls(), recent.files());
        recent.remove(f[3]); // from the middle, the end and the front

        recent.remove(f[0]);
        QCOMPARE(recent.files(), (QList<QUrl>{f[1], f[2]}));
        recent.remove(f[1]);
        QCOMPARE(storedUrls(), QList<QUrl>{f[2]});
    }

    // A blob that no longer resolves stays stored until the next save; a stale one saves at once.
    void deadAndStaleBlobs()
    {
        const QList<QUrl> f = listedFiles(4);
        QVERIFY(QFile::remove(f[0].toLocalFile()));
        {
            RecentFiles recent(&*m_settings);
            QCOMPARE(recent.files(), (QList<QUrl>{f[3], f[2], f[1]}));
            QCOMPARE(storedUrls().size(), 4);
            // Removing a file that is not listed still saves, dropping the dead blob.
            recent.remove(QUrl::fromLocalFile(QStringLiteral("/not/listed")));
            QCOMPARE(storedUrls(), recent.files());
        }
        QVERIFY(QFile::remove(f[3].toLocalFile()));
        const QString renamed = m_dir->filePath(QStringLiteral("renamed.txt"));
        QVERIFY(QFile::rename(f[1].toLocalFile(), renamed));
        const QList<QUrl> expected{f[2], QUrl::fromLocalFile(renamed)};
        RecentFiles recent(&*m_settings);
        QCOMPARE(recent.files(), expected);
        QCOMPARE(storedUrls(), expected);
        for (const QVariant &blob : stored().toList())
            QVERIFY(!resolveBookmarkData(blob.toByteArray())->isStale);
    }

    void storedValueOfAnotherKindStartsEmpty()
    {
        const QByteArray valid = *createBookmarkData(makeFile(*m_dir, QStringLiteral("x.txt")));
        for (const QVariant &value :
             {QVariant(QVariantList{valid, QStringLiteral("x")}), QVariant(QVariantList{valid, 3}),
              QVariant(QStringList{QStringLiteral("a")}), QVariant(valid),
              QVariant(QStringLiteral("deck.txt"))}) {
            m_settings->setValue(QStringLiteral("recentFiles"), value);
            m_settings->sync();
            QVERIFY(RecentFiles(&*m_settings).files().isEmpty());
            QCOMPARE(stored(), value); // left as it was until a save writes the list
        }
    }

    void entryWithoutBookmarkStaysListedButIsNotStored()
    {
        const QUrl present = makeFile(*m_dir, QStringLiteral("present.txt"));
        const QUrl missing = QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("missing.txt")));
        RecentFiles recent(&*m_settings);
        recent.add(present);
        CaptureStdout output;
        recent.add(missing);
        QCOMPARE(output.text(),
                 "\"Failed to create bookmark data for " + missing.toString() + ".\"\n");
        QCOMPARE(recent.files(), (QList<QUrl>{missing, present}));
        QCOMPARE(storedUrls(), (QList<QUrl>{present}));
        // Once empty the list is stored as an empty array.
        recent.remove(present);
        recent.remove(missing);
        QCOMPARE(stored(), QVariant(QVariantList()));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
};

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "test_recent_files.moc"

#include "app_test_support.h"

#include "core/app/bookmark.h"
#include "core/app/recent_files.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestRecentFiles : public QObject
{
    Q_OBJECT

private:
    QUrl makeFile(const QString &name)
    {
        const QString path = m_dir->filePath(name);
        if (!writeFile(path, "===\nQ\n"))
            qFatal("cannot write %s", qPrintable(path));
        return QUrl::fromLocalFile(path);
    }

    // Files deck0.txt..., listed by an earlier run, the last one first.
    QList<QUrl> listedFiles(int count)
    {
        QList<QUrl> urls;
        RecentFiles recent(&*m_settings);
        for (int i = 0; i < count; ++i)
            recent.add(urls.emplaceBack(makeFile(QStringLiteral("deck%1.txt").arg(i))));
        return urls;
    }

    QVariant stored() { return m_settings->value(QStringLiteral("recentFiles")); }

    // What the preferences hold, resolved back to URLs; nothing for a blob that fails.
    QList<QUrl> storedUrls()
    {
        QList<QUrl> urls;
        for (const QVariant &blob : stored().toList()) {
            const auto resolved = resolveBookmarkData(blob.toByteArray());
            urls.append(resolved ? resolved->url : QUrl());
        }
        return urls;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
    }

    void addKeepsMostRecentFirstWithoutDuplicates()
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
    }

    void removeKeepsTheOthersInOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 1;
        QTest::newRow("last") << 2;
    }
    void removeKeepsTheOthersInOrder()
    {
        QFETCH(int, index);
        listedFiles(3);
        RecentFiles recent(&*m_settings);
        QList<QUrl> expected = recent.files();
        recent.remove(expected.takeAt(index));
        QCOMPARE(recent.files(), expected);
        QCOMPARE(storedUrls(), expected);
    }

    void unresolvableBlobLeavesStorageAtTheNextSave()
    {
        const QList<QUrl> f = listedFiles(3);
        QVERIFY(QFile::remove(f[1].toLocalFile()));
        RecentFiles recent(&*m_settings);
        QCOMPARE(recent.files(), (QList<QUrl>{f[2], f[0]}));
        QCOMPARE(storedUrls().size(), 3); // kept until the list changes
        // Removing a file that is not listed still saves, dropping the dead blob.
        recent.remove(QUrl::fromLocalFile(QStringLiteral("/not/listed")));
        QCOMPARE(storedUrls(), (QList<QUrl>{f[2], f[0]}));
    }

    void staleBlobSavesAtOnce()
    {
        const QList<QUrl> f = listedFiles(3);
        QVERIFY(QFile::remove(f[0].toLocalFile()));
        const QString renamed = m_dir->filePath(QStringLiteral("renamed.txt"));
        QVERIFY(QFile::rename(f[1].toLocalFile(), renamed));
        const QList<QUrl> expected{f[2], QUrl::fromLocalFile(renamed)};
        RecentFiles recent(&*m_settings);
        QCOMPARE(recent.files(), expected);
        // Saved again: the renamed file's blob is fresh and the dead one is gone.
        QCOMPARE(storedUrls(), expected);
        for (const QVariant &blob : stored().toList())
            QVERIFY(!resolveBookmarkData(blob.toByteArray())->isStale);
    }

    void storedValueOfAnotherKindStartsEmpty_data()
    {
        QTest::addColumn<QVariant>("value");
        const QByteArray valid = *createBookmarkData(makeFile(QStringLiteral("x.txt")));
        QTest::newRow("string among blobs") << QVariant(QVariantList{valid, QStringLiteral("x")});
        QTest::newRow("number among blobs") << QVariant(QVariantList{valid, 3});
        QTest::newRow("list of strings") << QVariant(QStringList{QStringLiteral("a")});
        QTest::newRow("a blob, not an array") << QVariant(valid);
        QTest::newRow("a string") << QVariant(QStringLiteral("deck.txt"));
    }
    void storedValueOfAnotherKindStartsEmpty()
    {
        QFETCH(QVariant, value);
        m_settings->setValue(QStringLiteral("recentFiles"), value);
        m_settings->sync();
        RecentFiles recent(&*m_settings);
        QVERIFY(recent.files().isEmpty());
        QCOMPARE(stored(), value); // left as it was until a save writes the list
    }

    void entryWithoutBookmarkStaysListedButIsNotStored()
    {
        const QUrl present = makeFile(QStringLiteral("present.txt"));
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
        QCOMPARE(stored().metaType().id(), QMetaType::QVariantList);
        QVERIFY(stored().toList().isEmpty());
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
};

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "test_recent_files.moc"

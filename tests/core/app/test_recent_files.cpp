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

    QList<QUrl> makeFiles(int count)
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i)
            urls.append(makeFile(QStringLiteral("deck%1.txt").arg(i)));
        return urls;
    }

    // What the preferences hold, resolved back to URLs; nothing for a blob that fails.
    QList<QUrl> storedUrls()
    {
        QList<QUrl> urls;
        for (const QVariant &blob : m_settings->value(QStringLiteral("recentFiles")).toList()) {
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
        const QList<QUrl> f = makeFiles(4);
        RecentFiles recent(&*m_settings);
        QSignalSpy changed(&recent, &RecentFiles::filesChanged);
        for (const QUrl &url : f)
            recent.add(url);
        QCOMPARE(recent.files(), (QList<QUrl>{f[3], f[2], f[1], f[0]}));
        recent.add(f[1]);
        QCOMPARE(recent.files(), (QList<QUrl>{f[1], f[3], f[2], f[0]}));
        recent.add(f[1]);
        QCOMPARE(recent.files(), (QList<QUrl>{f[1], f[3], f[2], f[0]}));
        QCOMPARE(changed.count(), 5);
        QCOMPARE(storedUrls(), recent.files());

        // The next run sees the same list.
        RecentFiles again(&*m_settings);
        QCOMPARE(again.files(), recent.files());
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
        const QList<QUrl> f = makeFiles(3);
        RecentFiles recent(&*m_settings);
        for (const QUrl &url : f)
            recent.add(url);
        QList<QUrl> expected = recent.files();
        recent.remove(expected.takeAt(index));
        QCOMPARE(recent.files(), expected);
        QCOMPARE(storedUrls(), expected);
    }

    void unresolvableBlobLeavesStorageAtTheNextSave()
    {
        const QList<QUrl> f = makeFiles(3);
        {
            RecentFiles recent(&*m_settings);
            for (const QUrl &url : f)
                recent.add(url);
        }
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
        const QList<QUrl> f = makeFiles(3);
        {
            RecentFiles recent(&*m_settings);
            for (const QUrl &url : f)
                recent.add(url);
        }
        QVERIFY(QFile::remove(f[0].toLocalFile()));
        const QString renamed = m_dir->filePath(QStringLiteral("renamed.txt"));
        QVERIFY(QFile::rename(f[1].toLocalFile(), renamed));
        const QList<QUrl> expected{f[2], QUrl::fromLocalFile(renamed)};

        RecentFiles recent(&*m_settings);
        QCOMPARE(recent.files(), expected);
        // Saved again: the renamed file's blob is fresh and the dead one is gone.
        QCOMPARE(storedUrls(), expected);
        for (const QVariant &blob : m_settings->value(QStringLiteral("recentFiles")).toList())
            QVERIFY(!resolveBookmarkData(blob.toByteArray())->isStale);
    }

    void storedValueOfAnotherKindStartsEmpty_data()
    {
        QTest::addColumn<QVariant>("stored");
        const QByteArray valid = *createBookmarkData(makeFile(QStringLiteral("x.txt")));
        QTest::newRow("string among blobs") << QVariant(QVariantList{valid, QStringLiteral("x")});
        QTest::newRow("number among blobs") << QVariant(QVariantList{valid, 3});
        QTest::newRow("list of strings")
            << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QTest::newRow("a blob, not an array") << QVariant(valid);
        QTest::newRow("a string") << QVariant(QStringLiteral("deck.txt"));
    }
    void storedValueOfAnotherKindStartsEmpty()
    {
        QFETCH(QVariant, stored);
        m_settings->setValue(QStringLiteral("recentFiles"), stored);
        m_settings->sync();
        RecentFiles recent(&*m_settings);
        QVERIFY(recent.files().isEmpty());
        // Left as it was until a save writes the list.
        QCOMPARE(m_settings->value(QStringLiteral("recentFiles")), stored);
    }

    void entryWithoutBookmarkStaysListedButIsNotStored()
    {
        const QUrl present = makeFile(QStringLiteral("present.txt"));
        const QUrl missing = QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("missing.txt")));
        RecentFiles recent(&*m_settings);
        recent.add(present);
        StdoutCapture output;
        recent.add(missing);
        const QByteArray printed = output.text().toUtf8();
        QCOMPARE(recent.files(), (QList<QUrl>{missing, present}));
        QCOMPARE(storedUrls(), (QList<QUrl>{present}));
        QCOMPARE(printed,
                 "\"Failed to create bookmark data for " + missing.toString().toUtf8() + ".\"\n");
    }

    void emptyListStoresEmptyArray()
    {
        const QUrl file = makeFile(QStringLiteral("only.txt"));
        RecentFiles recent(&*m_settings);
        recent.add(file);
        recent.remove(file);
        QVERIFY(recent.files().isEmpty());
        const QVariant stored = m_settings->value(QStringLiteral("recentFiles"));
        QCOMPARE(stored.metaType().id(), QMetaType::QVariantList);
        QVERIFY(stored.toList().isEmpty());
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
};

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "test_recent_files.moc"

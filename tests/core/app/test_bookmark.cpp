#include "app_test_support.h"

#include "core/app/bookmark.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

class TestBookmark : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_path = m_dir->filePath(QStringLiteral("deck ä #1.txt"));
        QVERIFY(writeFile(m_path, "===\nQ\n"));
        m_url = QUrl::fromLocalFile(m_path);
    }

    void resolvesToTheSameFile()
    {
        const auto data = createBookmarkData(m_url);
        QVERIFY(data);
        const auto resolved = resolveBookmarkData(*data);
        QVERIFY(resolved);
        QCOMPARE(resolved->url, m_url);
        QVERIFY(!resolved->isStale);
    }

    void fileReplacedInPlaceIsStaleAtTheSamePath()
    {
        const auto data = createBookmarkData(m_url);
        QVERIFY(data);
        QVERIFY(replaceByRename(m_path, "===\nChanged\n"));
        const auto resolved = resolveBookmarkData(*data);
        QVERIFY(resolved);
        QCOMPARE(resolved->url, m_url);
        QVERIFY(resolved->isStale);
        // Fresh data for the new file is no longer stale.
        const auto fresh = resolveBookmarkData(*createBookmarkData(resolved->url));
        QVERIFY(fresh && !fresh->isStale);
    }

    void renamedFileIsFoundInItsFolder()
    {
        // Other files in the folder must not be taken for it.
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("a.txt")), "x"));
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("z.txt")), "y"));
        const auto data = createBookmarkData(m_url);
        QVERIFY(data);
        const QString renamed = m_dir->filePath(QStringLiteral("renamed.txt"));
        QVERIFY(QFile::rename(m_path, renamed));
        const auto resolved = resolveBookmarkData(*data);
        QVERIFY(resolved);
        QCOMPARE(resolved->url, QUrl::fromLocalFile(renamed));
        QVERIFY(resolved->isStale);
    }

    void goneFileDoesNotResolve()
    {
        const auto data = createBookmarkData(m_url);
        QVERIFY(data);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("elsewhere")));
        QVERIFY(QFile::rename(m_path, m_dir->filePath(QStringLiteral("elsewhere/deck.txt"))));
        QVERIFY(!resolveBookmarkData(*data));
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("elsewhere/deck.txt"))));
        QVERIFY(!resolveBookmarkData(*data));
    }

    void noBookmarkForWhatCannotBeExamined_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("missing file") << QUrl::fromLocalFile(QStringLiteral("/nonexistent/x.txt"));
        QTest::newRow("remote") << QUrl(QStringLiteral("https://example.org/deck.txt"));
        QTest::newRow("relative") << QUrl::fromLocalFile(QStringLiteral("deck.txt"));
        QTest::newRow("empty") << QUrl();
    }
    void noBookmarkForWhatCannotBeExamined()
    {
        QFETCH(QUrl, url);
        QVERIFY(!createBookmarkData(url));
    }

    void malformedDataNeverResolves_data()
    {
        const QByteArray valid = *createBookmarkData(m_url);
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        for (qsizetype length = 1; length < valid.size(); ++length)
            QTest::addRow("truncated to %lld", qlonglong(length)) << valid.left(length);
        QTest::newRow("trailing byte") << valid + 'x';
        QByteArray magic = valid;
        magic[0] = 'X';
        QTest::newRow("foreign magic") << magic;
        QByteArray version = valid;
        version[5] = 2;
        QTest::newRow("unknown version") << version;
        QByteArray huge = valid;
        qToBigEndian<quint32>(0xFFFFFFFFu, huge.data() + 22);
        QTest::newRow("path length beyond the data") << huge;
        QByteArray relative = valid.left(22);
        relative += QByteArray("\0\0\0\x03"
                               "a/b",
                               7);
        QTest::newRow("relative path") << relative;
        QByteArray nul = valid.left(22);
        nul += QByteArray("\0\0\0\x04/a\0b", 8);
        QTest::newRow("NUL in path") << nul;
        QTest::newRow("plist bytes") << QByteArray("bplist00\xd0\x08", 10);
    }
    void malformedDataNeverResolves()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!resolveBookmarkData(data));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_path;
    QUrl m_url;
};

QTEST_GUILESS_MAIN(TestBookmark)
#include "test_bookmark.moc"

#include "app_test_support.h"

#include "core/app/bookmark.h"

#include <QDir>
#include <QTest>

class TestBookmark : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_url = makeFile(*m_dir, QStringLiteral("deck ä #1.txt"));
    }

    void resolution_data()
    {
        QTest::addColumn<QString>("change"); // "replace", "delete" or where the file moves
        QTest::addColumn<bool>("stale");
        QTest::addColumn<QString>("found"); // empty: resolution fails
        QTest::newRow("untouched") << "" << false << "deck ä #1.txt";
        QTest::newRow("replaced in place") << "replace" << true << "deck ä #1.txt";
        QTest::newRow("renamed in its folder") << "renamed.txt" << true << "renamed.txt";
        QTest::newRow("moved to another folder") << "elsewhere/deck.txt" << false << "";
        QTest::newRow("deleted") << "delete" << false << "";
    }
    void resolution()
    {
        QFETCH(QString, change);
        QFETCH(bool, stale);
        QFETCH(QString, found);
        // Other files in the folder must not be taken for a renamed one.
        makeFile(*m_dir, QStringLiteral("a.txt"));
        makeFile(*m_dir, QStringLiteral("z.txt"));
        const auto data = createBookmarkData(m_url);
        QVERIFY(data && QDir(m_dir->path()).mkdir(QStringLiteral("elsewhere")));
        const QString path = m_url.toLocalFile();
        if (change == u"replace")
            QVERIFY(replaceByRename(path, "===\nChanged\n"));
        else if (change == u"delete")
            QVERIFY(QFile::remove(path));
        else if (!change.isEmpty())
            QVERIFY(QFile::rename(path, m_dir->filePath(change)));

        const auto resolved = resolveBookmarkData(*data);
        QCOMPARE(resolved.has_value(), !found.isEmpty());
        if (!resolved)
            return;
        QCOMPARE(resolved->url, QUrl::fromLocalFile(m_dir->filePath(found)));
        QCOMPARE(resolved->isStale, stale);
        // Fresh data for what was found is not stale.
        const auto fresh = resolveBookmarkData(*createBookmarkData(resolved->url));
        QVERIFY(fresh && !fresh->isStale);
    }

    // The bookmarked file was deleted and a new file in its folder got its inode number: that
    // is not the bookmarked file moved, and must not be opened in its place.
    void reusedInodeIsNotTakenForTheFile()
    {
        const QString path = m_url.toLocalFile();
        // A time apart from the new file's, however coarse the file system's clock.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000),
                                 QFileDevice::FileModificationTime));
        file.close();
        QByteArray data = *createBookmarkData(m_url);
        QVERIFY(QFile::remove(path));
        const QUrl other = makeFile(*m_dir, QStringLiteral("other.txt"));
        // Whatever inode the new file got, the bookmark now names it, as a reuse would.
        const QByteArray otherInode = createBookmarkData(other)->mid(14, 8);
        data.replace(14, 8, otherInode);
        QVERIFY(!resolveBookmarkData(data));
    }

    void noBookmarkForWhatCannotBeExamined()
    {
        for (const QUrl &url : {QUrl::fromLocalFile(QStringLiteral("/nonexistent/x.txt")),
                                QUrl(QStringLiteral("https://example.org/deck.txt")),
                                QUrl::fromLocalFile(QStringLiteral("deck.txt")), QUrl()})
            QVERIFY2(!createBookmarkData(url), qPrintable(url.toString()));
    }

    void malformedDataNeverResolves_data()
    {
        const QByteArray valid = *createBookmarkData(m_url);
        QTest::addColumn<QByteArray>("data");
        for (qsizetype length = 0; length < valid.size(); ++length)
            QTest::addRow("truncated to %lld", qlonglong(length)) << valid.left(length);
        QTest::newRow("trailing byte") << valid + 'x';
        QTest::newRow("foreign magic") << QByteArray(valid).replace(0, 1, "X");
        QTest::newRow("unknown version") << QByteArray(valid).replace(5, 1, "\x07");
        QTest::newRow("path length beyond the data")
            << QByteArray(valid).replace(22, 4, "\xFF\xFF\xFF\xFF");
        QTest::newRow("relative path") << valid.left(22) + QByteArray("\0\0\0\3a/b", 7);
        QTest::newRow("NUL in path") << valid.left(22) + QByteArray("\0\0\0\x04/a\0b", 8);
        QTest::newRow("plist bytes") << QByteArray("bplist00\xd0\x08", 10);
    }
    void malformedDataNeverResolves()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!resolveBookmarkData(data));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QUrl m_url;
};

QTEST_GUILESS_MAIN(TestBookmark)
#include "test_bookmark.moc"

#include "app_test_support.h"

#include "core/app/bookmark.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

enum class Change { None, ReplacedByRename, Renamed, MovedElsewhere, Deleted };
Q_DECLARE_METATYPE(Change)

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

    void resolution_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("found"); // empty: resolution fails
        QTest::addColumn<bool>("stale");
        QTest::newRow("untouched") << Change::None << "deck ä #1.txt" << false;
        QTest::newRow("replaced in place") << Change::ReplacedByRename << "deck ä #1.txt" << true;
        QTest::newRow("renamed in its folder") << Change::Renamed << "renamed.txt" << true;
        QTest::newRow("moved to another folder") << Change::MovedElsewhere << "" << false;
        QTest::newRow("deleted") << Change::Deleted << "" << false;
    }
    void resolution()
    {
        QFETCH(Change, change);
        QFETCH(QString, found);
        QFETCH(bool, stale);
        // Other files in the folder must not be taken for a renamed one.
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("a.txt")), "x"));
        QVERIFY(writeFile(m_dir->filePath(QStringLiteral("z.txt")), "y"));
        const auto data = createBookmarkData(m_url);
        QVERIFY(data);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("elsewhere")));
        const QString target =
            m_dir->filePath(change == Change::Renamed ? QStringLiteral("renamed.txt")
                                                      : QStringLiteral("elsewhere/deck.txt"));
        if (change == Change::ReplacedByRename)
            QVERIFY(replaceByRename(m_path, "===\nChanged\n"));
        else if (change == Change::Renamed || change == Change::MovedElsewhere)
            QVERIFY(QFile::rename(m_path, target));
        else if (change == Change::Deleted)
            QVERIFY(QFile::remove(m_path));

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
        QTest::newRow("foreign magic") << QByteArray(valid).replace(0, 1, "X");
        QTest::newRow("unknown version") << QByteArray(valid).replace(5, 1, "\x02");
        QByteArray huge = valid;
        qToBigEndian<quint32>(0xFFFFFFFFu, huge.data() + 22);
        QTest::newRow("path length beyond the data") << huge;
        QTest::newRow("relative path") << valid.left(22) + QByteArray("\0\0\0\x03"
                                                                      "a/b",
                                                                      7);
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
    QString m_path;
    QUrl m_url;
};

QTEST_GUILESS_MAIN(TestBookmark)
#include "test_bookmark.moc"

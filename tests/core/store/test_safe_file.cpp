#include "core/store/safe_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TestSafeFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    bool write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

private Q_SLOTS:
    // A deck that cannot be read says why, not merely that it is no UTF-8 text; nothing blocks.
    void unreadableTextSaysWhy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo"
                                    << "it is a named pipe";
        QTest::newRow("folder") << "folder"
                                << "it is a folder";
        QTest::newRow("missing") << "missing"
                                 << "No such file";
        QTest::newRow("not UTF-8") << "latin1"
                                   << "cannot be read as UTF-8 text";
        QTest::newRow("name not UTF-8") << "name"
                                        << "its name is not valid UTF-8";
        QTest::newRow("too big") << "big"
                                 << "MB";
    }
    void unreadableTextSaysWhy()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path = m_dir.filePath(kind + u".txt"_qs);
        const QByteArray encoded = QFile::encodeName(path);
        if (kind == u"fifo") {
            QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
        } else if (kind == u"folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == u"latin1") {
            QVERIFY(write(path, "===\ncaf\xe9\n"));
        } else if (kind == u"name") {
            const QByteArray raw = QFile::encodeName(m_dir.path()) + "/caf\xe9.txt";
            const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0600);
            QVERIFY(fd >= 0 && ::write(fd, "===\nQ\n", 6) == 6 && ::close(fd) == 0);
            path = QFile::decodeName(raw);
        } else if (kind == u"big") {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(maxTextFileSize + 1));
        }
        QString error;
        const std::optional<QString> text = readUtf8TextFile(path, &error);
        QString errorInPieces;
        QVERIFY(!readUtf8TextInPieces(
            path, [](QStringView) {}, &errorInPieces));
        QCOMPARE(errorInPieces, error);
        if (kind == u"name") // QTemporaryDir cannot remove it by its decoded name
            ::unlink((QFile::encodeName(m_dir.path()) + "/caf\xe9.txt").constData());
        QCOMPARE(text, std::nullopt);
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY2(error.contains(path), qPrintable(error));
    }

    void textIsReadWhole()
    {
        const QString path = m_dir.filePath(u"deck.txt"_qs);
        QVERIFY(write(path, "===\ncaf\xc3\xa9\n"));
        QString error;
        QCOMPARE(readUtf8TextFile(path, &error), u"===\ncafé\n"_qs);
        QVERIFY(error.isEmpty());
    }

    // Read in pieces of any size, a file gives the text it gives read whole, or fails as that.
    void piecesGiveTheWholeText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << QByteArray("===\nQ\n---\nA\n");
        QTest::newRow("two, three and four bytes")
            << QByteArray("===\ncaf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\xc3\xa9\n");
        QTest::newRow("byte-order mark at the start only")
            << QByteArray("\xef\xbb\xbf===\n\xef\xbb\xbf\xef\xbb\xbfQ\xef\xbb\xbf");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("Latin-1") << QByteArray("===\ncaf\xe9 ok\n");
        QTest::newRow("cut at the end") << QByteArray("===\ncaf\xe2\x82");
        QTest::newRow("stray continuation bytes") << QByteArray("===\n\x80\x80\x80\x80x");
        QTest::newRow("surrogate encoded") << QByteArray("===\n\xed\xa0\x80\n");
    }
    void piecesGiveTheWholeText()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(u"pieces.txt"_qs);
        QVERIFY(write(path, bytes));
        const std::optional<QString> whole = readUtf8TextFile(path);
        for (qsizetype pieceSize = 1; pieceSize <= 8; ++pieceSize) {
            QString joined;
            double told = 0;
            const bool read = readUtf8TextInPieces(
                path, [&](QStringView piece) { joined += piece; }, nullptr,
                [&](double fraction) { told = fraction; }, {}, pieceSize);
            QCOMPARE(read, whole.has_value());
            if (read) {
                QCOMPARE(joined, *whole);
                QCOMPARE(told, bytes.isEmpty() ? 0.0 : 1.0);
            }
        }
    }

    // A file cut short while it is read gives what it still had, as a shorter file would.
    void aFileCutWhileReadInPiecesGivesWhatItStillHad()
    {
        const QString path = m_dir.filePath(u"cut.txt"_qs);
        QByteArray bytes;
        for (int card = 0; bytes.size() < 5 * 4096; ++card)
            bytes += "=== " + QByteArray::number(card) + "\ncaf\xc3\xa9\n";
        QVERIFY(write(path, bytes));
        QString joined;
        bool cut = false;
        QString error;
        const bool read = readUtf8TextInPieces(
            path,
            [&](QStringView piece) {
                joined += piece;
                if (!std::exchange(cut, true))
                    QVERIFY(QFile::resize(path, 6000));
            },
            &error, {}, {}, 4096);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(joined, QString::fromUtf8(bytes.first(6000)));
    }

    // Writing replaces a file through a synced temporary one, keeping its permissions, and
    // leaves nothing else behind.
    void writeReplacesTheFileAndKeepsItsMode()
    {
        const QString path = m_dir.filePath(u"kept.plist"_qs);
        QVERIFY(write(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QString error;
        QVERIFY2(writeFileSafely(path, "new", &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "new");
        QCOMPARE(file.permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QDir(m_dir.path()).entryList({u"*kept*"_qs}, QDir::Files | QDir::Hidden),
                 QStringList{u"kept.plist"_qs});
    }

    // Moving aside never replaces an earlier copy.
    void movedAsideCopiesAreNumbered()
    {
        const QString path = m_dir.filePath(u"damaged.plist"_qs);
        QStringList aside;
        for (const char *bytes : {"first", "second", "third"}) {
            QVERIFY(write(path, bytes));
            aside.append(moveAsideNumbered(path, u".corrupt"_qs));
        }
        QCOMPARE(aside, (QStringList{path + u".corrupt"_qs, path + u".corrupt-2"_qs,
                                     path + u".corrupt-3"_qs}));
        QVERIFY(!QFile::exists(path));
        QFile second(aside[1]);
        QVERIFY(second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll(), "second");
    }

    // What a killed write left beside a file goes; what may still be written, or only looks
    // alike, stays.
    void staleTemporariesAreRemoved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        QTest::newRow("left by a killed write") << ".deck.plist.a1B2c3"
                                                << "old" << true;
        QTest::newRow("changed a moment ago") << ".deck.plist.a1B2c3"
                                              << "recent" << false;
        QTest::newRow("locked by its writer") << ".deck.plist.a1B2c3"
                                              << "locked" << false;
        QTest::newRow("a symbolic link") << ".deck.plist.a1B2c3"
                                         << "link" << false;
        QTest::newRow("a folder") << ".deck.plist.a1B2c3"
                                  << "folder" << false;
        QTest::newRow("not hidden") << "deck.plist.a1B2c3"
                                    << "old" << false;
        QTest::newRow("another file's") << ".other.plist.a1B2c3"
                                        << "old" << false;
        QTest::newRow("longer name") << ".deck.plist.a1B2c3d"
                                     << "old" << false;
        QTest::newRow("not from mkstemp") << ".deck.plist.a1-2c3"
                                          << "old" << false;
    }
    void staleTemporariesAreRemoved()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"deck.plist"_qs);
        QVERIFY(write(path, "kept"));
        const QString temporary = dir.filePath(name);
        const QByteArray encoded = QFile::encodeName(temporary);
        if (kind == u"link") {
            const QString target = dir.filePath(u"target"_qs);
            QVERIFY(write(target, "target"));
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), encoded.constData()), 0);
        } else if (kind == u"folder") {
            QVERIFY(QDir().mkpath(temporary));
        } else {
            QVERIFY(write(temporary, "half written"));
        }
        if (kind != u"recent") {
            const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, encoded.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
        }
        int writer = -1;
        if (kind == u"locked") {
            writer = ::open(encoded.constData(), O_RDWR | O_CLOEXEC);
            QVERIFY(writer >= 0);
            QCOMPARE(::flock(writer, LOCK_EX | LOCK_NB), 0);
        }

        QCOMPARE(removeStaleTemporaries(path, std::chrono::minutes(1)), removed ? 1 : 0);
        if (writer >= 0)
            ::close(writer);
        struct stat info;
        QCOMPARE(::lstat(encoded.constData(), &info) == 0, !removed);
        QVERIFY(QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safe_file.moc"

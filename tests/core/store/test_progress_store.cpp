#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "support/capture_stdout.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

class TestProgressStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_folder;
    const QUrl m_deck = QUrl::fromLocalFile(u"/decks/capitals.cards.txt"_qs);

    QString progressPath() const { return progressFileURL(m_deck, m_folder).toLocalFile(); }

    static QList<Card> rated(QList<Card> cards,
                             const QList<std::pair<qint8, CardFaceProgress>> &values)
    {
        qsizetype i = 0;
        for (Card &card : cards)
            for (CardFace &face : card.faces) {
                face.rating = values[i].first;
                face.progress = values[i].second;
                ++i;
            }
        return cards;
    }

    static QList<std::pair<qint8, CardFaceProgress>> progressOf(const DataFile &deck)
    {
        QList<std::pair<qint8, CardFaceProgress>> result;
        for (const Card &card : deck.cards)
            for (const CardFace &face : card.faces)
                result.append({face.rating, face.progress});
        return result;
    }

    static void writeBytes(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray readBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init()
    {
        m_folder = m_home.filePath(QStringLiteral("progress-%1").arg(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(m_folder));
    }

    void faceKeyIsBase64OfMd5OfUtf8_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("one line") << u"Paris\n"_qs << u"hnEXc9jLpXml6FlpBR503A=="_qs;
        QTest::newRow("empty") << QString() << u"1B2M2Y8AsgTpgAmY7PhCfg=="_qs;
        QTest::newRow("Japanese") << u"こんにちは\n"_qs << u"9ScazgmlZgDhzvdmPZMoBw=="_qs;
    }

    void faceKeyIsBase64OfMd5OfUtf8()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(faceKey(text), key);
        QCOMPARE(digestFromFaceKey(key), faceDigest(text));
    }

    void onlyCanonicalFaceKeysAreDigests()
    {
        QVERIFY(!digestFromFaceKey(u"hnEXc9jLpXml6FlpBR503B=="_qs)); // stray bits
        QVERIFY(!digestFromFaceKey(u"hnEXc9jLpXml6FlpBR503A="_qs));
        QVERIFY(!digestFromFaceKey(u"hnEXc9jLpXml6Flp!R503A=="_qs));
        QVERIFY(!digestFromFaceKey(QString()));
        for (int i = 0; i < 1000; ++i) {
            const FaceDigest digest = faceDigest(QString::number(i));
            QCOMPARE(digestFromFaceKey(faceKey(digest)), digest);
        }
    }

    void progressFileIsNamedAfterTheTitle()
    {
        QCOMPARE(progressFileURL(m_deck, u"/p"_qs).toLocalFile(), u"/p/capitals.cards.plist"_qs);
        QCOMPARE(progressFileURL(QUrl::fromLocalFile(u"/d/notes"_qs), u"/p"_qs).toLocalFile(),
                 u"/p/.untitled.plist"_qs);
    }

    void savedProgressComesBackByText()
    {
        const QString text = u"===\nQ\n---\nA\n===\nQ2\n---\nA2\n===\nQ3"_qs;
        const DataFile first = loadDataFile(text, m_deck, m_folder);
        // A new face keeps its rating too.
        QVERIFY(saveProgress(m_deck,
                             rated(first.cards, {{1, CardFaceProgress::Learning},
                                                 {3, CardFaceProgress::Mastered},
                                                 {-5, CardFaceProgress::Abandoned},
                                                 {0, CardFaceProgress::Archived},
                                                 {2, CardFaceProgress::New}}),
                             m_folder));
        // Reordered cards, a face edited by a trailing space (it keeps its progress), an
        // inserted face.
        const QString edited = u"===\nQ2\n---\nA2\n===\nQ \n---\nnew\n---\nA\n===\nQ3"_qs;
        const DataFile second = loadDataFile(edited, m_deck, m_folder);
        QCOMPARE(second.title, u"capitals.cards"_qs);
        QCOMPARE(progressOf(second),
                 (QList<std::pair<qint8, CardFaceProgress>>{{-5, CardFaceProgress::Abandoned},
                                                            {0, CardFaceProgress::Archived},
                                                            {1, CardFaceProgress::Learning},
                                                            {0, CardFaceProgress::New},
                                                            {3, CardFaceProgress::Mastered},
                                                            {2, CardFaceProgress::New}}));
        // Identity stays that of this reading.
        QCOMPARE(second.cards[1].faces[2].cardFaceID, 2);
        QVERIFY(second.cards[1].faces[2].id() != first.cards[0].faces[1].id());
    }

    void scheduleComesBackWhole()
    {
        const QString text = u"===\nQ\n---\nA\n---\nB"_qs;
        QList<Card> cards = loadDataFile(text, m_deck, m_folder).cards;
        CardFace &learnt = cards[0].faces[0];
        learnt.lastReview = QDateTime(QDate(2026, 3, 28), QTime(20, 15, 30, 125), Qt::UTC);
        learnt.nextReview = learnt.lastReview->addDays(11);
        learnt.memory = ReviewMemory{10.873652918, 5.1121707, 4, 1, std::nullopt};
        CardFace &learning = cards[0].faces[1];
        learning.lastReview = QDateTime(QDate(2026, 3, 28), QTime(20, 16), Qt::UTC);
        learning.nextReview = learning.lastReview->addSecs(600);
        learning.memory = ReviewMemory{2.3065, 2.118, 1, 0, 1};
        QVERIFY(saveProgress(m_deck, cards, m_folder));

        const DataFile loaded = loadDataFile(text, m_deck, m_folder);
        for (qsizetype i = 0; i < 3; ++i) {
            const CardFace &face = loaded.cards[0].faces[i];
            QCOMPARE(face.lastReview, cards[0].faces[i].lastReview);
            QCOMPARE(face.nextReview, cards[0].faces[i].nextReview);
            QCOMPARE(face.memory, cards[0].faces[i].memory);
        }
        QVERIFY(!loaded.cards[0].faces[2].memory); // never reviewed: new to the scheduler
    }

    void facesWithTheSameTextShareTheLaterEntry()
    {
        const QString text = u"===\nsame\n===\nsame"_qs;
        const DataFile deck = loadDataFile(text, m_deck, m_folder);
        QVERIFY(saveProgress(
            m_deck,
            rated(deck.cards, {{1, CardFaceProgress::Learning}, {2, CardFaceProgress::Mastered}}),
            m_folder));
        QCOMPARE(readProgressTable(progressPath()).size(), 1);
        QCOMPARE(progressOf(loadDataFile(text, m_deck, m_folder)),
                 (QList<std::pair<qint8, CardFaceProgress>>{{2, CardFaceProgress::Mastered},
                                                            {2, CardFaceProgress::Mastered}}));
    }

    void missingOrUndecodableFileGivesNoProgress()
    {
        QVERIFY(readProgressTable(progressPath()).isEmpty());
        writeBytes(progressPath(), "not a property list");
        QCOMPARE(progressOf(loadDataFile(u"===\nQ"_qs, m_deck, m_folder)),
                 (QList<std::pair<qint8, CardFaceProgress>>{{0, CardFaceProgress::New}}));
    }

    void saveKeepsEveryUndecodableFileAside()
    {
        writeBytes(progressPath(), "bplist00 damaged progress");
        writeBytes(progressPath() + u".corrupt"_qs, "older damage");
        CaptureStdout output;
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ"_qs), m_folder));
        const QString printed = output.text();
        QCOMPARE(printed.count(u'\n'), 1);
        QVERIFY(printed.contains(u".corrupt-2"_qs));
        QCOMPARE(readBytes(progressPath() + u".corrupt"_qs), "older damage");
        QCOMPARE(readBytes(progressPath() + u".corrupt-2"_qs), "bplist00 damaged progress");
        QCOMPARE(readProgressTable(progressPath()).size(), 1);

        // A sound file is simply replaced, with nothing printed.
        CaptureStdout quiet;
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ\n---\nA"_qs), m_folder));
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ\n---\nB"_qs), m_folder));
        QCOMPARE(quiet.text(), QString());
        // The progress file, its two copies set aside and the lock of its saves.
        QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 4);
    }

    // Whatever is found at the progress path, loading neither blocks nor follows it out of the
    // folder, and a save refuses to replace it, says why, and changes nothing outside the folder.
    void hostileThingsAtTheProgressPath_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo"
                                    << "named pipe";
        QTest::newRow("folder") << "folder"
                                << "folder";
        QTest::newRow("link to a progress file elsewhere") << "link"
                                                           << "symbolic link";
        QTest::newRow("dangling link") << "dangling"
                                       << "symbolic link";
        QTest::newRow("absurdly big file") << "big"
                                           << "MB";
    }
    void hostileThingsAtTheProgressPath()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        m_folder = m_home.filePath(u"hostile-%1"_qs.arg(kind));
        QVERIFY(QDir().mkpath(m_folder));
        const QString outside = m_home.filePath(u"outside-%1.plist"_qs.arg(kind));
        const QByteArray outsideBytes =
            encodeProgressTable({StoredFace{faceKey(faceDigest(u"Q"_qs)), CardFace(u"Q"_qs)}});
        const QByteArray path = QFile::encodeName(progressPath());
        if (kind == u"fifo") {
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        } else if (kind == u"folder") {
            QVERIFY(QDir().mkpath(progressPath()));
        } else if (kind == u"link") {
            writeBytes(outside, outsideBytes);
            QVERIFY(QFile::link(outside, progressPath()));
        } else if (kind == u"dangling") {
            QVERIFY(QFile::link(outside, progressPath()));
        } else {
            // Sparse: big without taking the space.
            QFile big(progressPath());
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(maxProgressFileSize + 1));
        }

        const ProgressRead read = readProgressFile(progressPath());
        if (kind == u"link") {
            QCOMPARE(read.status, ProgressRead::Status::Read);
        } else if (kind == u"dangling") {
            QCOMPARE(read.status, ProgressRead::Status::Missing);
        } else {
            QCOMPARE(read.status, ProgressRead::Status::Unreadable);
            QVERIFY2(read.error.contains(reason), qPrintable(read.error));
        }
        QString error;
        QVERIFY(!saveProgress(m_deck, readCards(u"===\nQ\n---\nA"_qs), m_folder, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        // Nothing moved aside as if corrupt, nothing left behind, nothing written outside.
        const QString name = QFileInfo(progressPath()).fileName();
        QCOMPARE(QDir(m_folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                              QDir::NoDotAndDotDot,
                                          QDir::Name),
                 (QStringList{name, name + u".lock"_qs}));
        if (kind == u"link")
            QCOMPARE(readBytes(outside), outsideBytes);
        else
            QVERIFY(!QFileInfo::exists(outside));
    }

    void failedWriteLeavesTheOldFile()
    {
        QVERIFY(saveProgress(m_deck, readCards(u"===\nold"_qs), m_folder));
        const QByteArray old = readBytes(progressPath());
        QString big;
        for (int i = 0; i < 2000; ++i)
            big += QStringLiteral("===\nface number %1\n").arg(i);
        // A file-size limit makes the write come up short, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = saveProgress(m_deck, readCards(big), m_folder);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(readBytes(progressPath()), old);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{u"capitals.cards.plist"_qs, u"capitals.cards.plist.lock"_qs}));
    }

    // A save killed while it wrote left a temporary as big as the file: the next save of that
    // file clears it away.
    void saveRemovesWhatAKilledSaveLeft()
    {
        const QString left =
            m_folder + u"/."_qs + QFileInfo(progressPath()).fileName() + u".Xy12Z9"_qs;
        writeBytes(left, QByteArray(4096, 'x'));
        const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 86400, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(left).constData(), times, 0), 0);
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ"_qs), m_folder));
        QVERIFY(!QFile::exists(left));
        QVERIFY(QFile::exists(progressPath()));
    }

    void progressFolderIsMadeOnFirstSaveAndNoneMeansNothingWritten()
    {
        const QString folder = m_folder + u"/not/yet"_qs;
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ"_qs), folder));
        QVERIFY(QFileInfo::exists(folder + u"/capitals.cards.plist"_qs));
        QVERIFY(saveProgress(m_deck, readCards(u"===\nQ"_qs), std::nullopt));
    }

    void progressDirectoryIsCreatedUnderDataHome()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_home.filePath(u"data/home"_qs).toUtf8());
        const auto folder = progressDirectory();
        QCOMPARE(folder, m_home.filePath(u"data/home/" MEMORANTH_APP_ID ""_qs));
        QVERIFY(QFileInfo(*folder).isDir());

        // A data home that is a file: the folder cannot be made.
        writeBytes(m_home.filePath(u"blocker"_qs), "x");
        qputenv("XDG_DATA_HOME", m_home.filePath(u"blocker"_qs).toUtf8());
        CaptureStdout output;
        QCOMPARE(progressDirectory(), std::nullopt);
        const QString printed = output.text();
        QVERIFY2(printed.startsWith(u"\"Unexpected error: "_qs) && printed.endsWith(u".\"\n"_qs),
                 qPrintable(printed));
        qputenv("XDG_DATA_HOME", saved);
    }
};

QTEST_GUILESS_MAIN(TestProgressStore)
#include "test_progress_store.moc"

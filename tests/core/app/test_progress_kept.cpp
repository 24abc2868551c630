#include "app_test_support.h"

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/journal_writer.h"
#include "core/store/progress_store.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

// Edits of the file that used to cost the user their progress, through the coordinator and its
// real saver: each must leave every rating where it was.
class TestProgressKept : public QObject
{
    Q_OBJECT

    struct Session
    {
        Session(const QString &preferences, const QString &progressFolder)
            : settings(preferences, QSettings::IniFormat), recent(&settings),
              coordinator(&settings, progressFolder, &recent)
        {
        }
        QSettings settings;
        RecentFiles recent;
        CommandsCoordinator coordinator;
    };

    std::optional<QTemporaryDir> m_dir;
    QString m_progress;
    int m_sessions = 0;

    std::unique_ptr<Session> start()
    {
        return std::make_unique<Session>(
            m_dir->filePath(QStringLiteral("preferences-%1.ini").arg(++m_sessions)), m_progress);
    }

    static bool rate(CommandsCoordinator &coordinator, qsizetype card, qsizetype face, int rating)
    {
        CardFace changed = coordinator.dataFile()->cards.value(card).faces.value(face);
        changed.rating = qint8(rating);
        changed.progress = CardFaceProgress::Learning;
        return coordinator.setFace(card, face, changed);
    }

    // The ratings of a deck as a fresh reading of the file and the progress folder gives them.
    QList<int> savedRatings(const QUrl &file)
    {
        QList<int> ratings;
        const DataFile deck = loadDataFile(*readUtf8File(file.toLocalFile()), file, m_progress);
        for (const Card &card : deck.cards)
            for (const CardFace &face : card.faces)
                ratings.append(face.rating);
        return ratings;
    }

    // The ratings of a deck as its progress file alone gives them, without the journal: what a
    // reader of that file sees.
    QList<int> fileRatings(const QUrl &file)
    {
        const ProgressTable table =
            readProgressTable(progressFileURL(file, m_progress).toLocalFile());
        QList<int> ratings;
        for (const Card &card : readCards(*readUtf8File(file.toLocalFile())))
            for (const CardFace &face : card.faces)
                ratings.append(mergeSavedProgress(face, table).rating);
        return ratings;
    }

    static QList<int> ratings(const CommandsCoordinator &coordinator)
    {
        QList<int> result;
        for (const Card &card : coordinator.dataFile()->cards)
            for (const CardFace &face : card.faces)
                result.append(face.rating);
        return result;
    }

    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Edits the open file and lets the coordinator read it again, saves included.
    static void edit(CommandsCoordinator &coordinator, const QByteArray &text)
    {
        QVERIFY(replaceByRename(coordinator.activeFile().toLocalFile(), text));
        coordinator.reloadActiveFile();
        coordinator.waitForPendingSaves();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_progress = m_dir->filePath(QStringLiteral("progress"));
    }

    void aTitleLineAboveTheFirstCardLosesNothing()
    {
        const QByteArray text = deckText(3);
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), text);
        const auto session = start();
        session->coordinator.open(file);
        QVERIFY(rate(session->coordinator, 0, 0, 2));
        QVERIFY(rate(session->coordinator, 2, 1, 3));
        session->coordinator.waitForPendingSaves();

        edit(session->coordinator, "My vocabulary\n" + text);
        QVERIFY(session->coordinator.dataFile()->cards.isEmpty());
        edit(session->coordinator, text);
        QCOMPARE(ratings(session->coordinator), (QList<int>{2, 0, 0, 0, 0, 3}));
        QCOMPARE(savedRatings(file), (QList<int>{2, 0, 0, 0, 0, 3}));
    }

    void aCardCutAndPastedElsewhereKeepsItsProgress()
    {
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(3));
        const auto session = start();
        session->coordinator.open(file);
        QVERIFY(rate(session->coordinator, 1, 0, 2));
        QVERIFY(rate(session->coordinator, 1, 1, 1));
        session->coordinator.waitForPendingSaves();

        edit(session->coordinator, "===\nQ0\n---\nA0\n===\nQ2\n---\nA2\n");
        edit(session->coordinator, "===\nQ1\n---\nA1\n===\nQ0\n---\nA0\n===\nQ2\n---\nA2\n");
        QCOMPARE(ratings(session->coordinator), (QList<int>{2, 1, 0, 0, 0, 0}));
        QCOMPARE(savedRatings(file), (QList<int>{2, 1, 0, 0, 0, 0}));
        QCOMPARE(fileRatings(file), (QList<int>{2, 1, 0, 0, 0, 0}));
    }

    void aFileCaughtEmptyWipesNothing()
    {
        const QByteArray text = deckText(2);
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), text);
        const auto session = start();
        session->coordinator.open(file);
        QVERIFY(rate(session->coordinator, 1, 1, 3));
        session->coordinator.waitForPendingSaves();

        // Truncated in place, the rest written a moment later.
        QVERIFY(writeFile(file.toLocalFile(), ""));
        session->coordinator.reloadActiveFile();
        session->coordinator.waitForPendingSaves();
        QVERIFY(writeFile(file.toLocalFile(), text));
        session->coordinator.reloadActiveFile();
        QCOMPARE(ratings(session->coordinator), (QList<int>{0, 0, 0, 3}));
    }

    void decksWithTheSameTitleKeepEachOthersProgress()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("a")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("b")));
        const QUrl a = makeFile(*m_dir, QStringLiteral("a/vocab.txt"), deckText(2, "house"));
        const QUrl b = makeFile(*m_dir, QStringLiteral("b/vocab.txt"), deckText(2, "tree"));
        const auto session = start();
        session->coordinator.open(a);
        QVERIFY(rate(session->coordinator, 0, 0, 3));
        session->coordinator.open(b);
        QVERIFY(rate(session->coordinator, 1, 0, 2));
        session->coordinator.open(a);
        QCOMPARE(ratings(session->coordinator), (QList<int>{3, 0, 0, 0}));
        session->coordinator.waitForPendingSaves();
        QCOMPARE(savedRatings(b), (QList<int>{0, 0, 2, 0}));
        QCOMPARE(fileRatings(a), (QList<int>{3, 0, 0, 0}));
        QCOMPARE(fileRatings(b), (QList<int>{0, 0, 2, 0}));
    }

    void twoCoordinatorsOnOneFileKeepBothReviews()
    {
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2));
        const auto first = start();
        const auto second = start();
        first->coordinator.open(file);
        second->coordinator.open(file);
        first->coordinator.waitForPendingSaves();
        second->coordinator.waitForPendingSaves();

        // Each rates a face the other has unrated in its memory.
        QVERIFY(rate(first->coordinator, 0, 0, 1));
        first->coordinator.waitForPendingSaves();
        QVERIFY(rate(second->coordinator, 1, 1, 2));
        second->coordinator.waitForPendingSaves();
        QVERIFY(rate(first->coordinator, 0, 1, 3));
        first->coordinator.waitForPendingSaves();
        QCOMPARE(savedRatings(file), (QList<int>{1, 3, 0, 2}));
        QCOMPARE(fileRatings(file), (QList<int>{1, 3, 0, 2}));
    }

    void anEditedFaceKeepsItsProgress_data()
    {
        QTest::addColumn<QByteArray>("edited");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<bool>("reattached");
        const QByteArray text = "===\nThe capital of France is {Paris}.\n---\nIt stands on "
                                "the {Seine}.\n===\nThe capital of Peru is {Lima}.\n";
        QTest::newRow("typo fixed")
            << QByteArray(text).replace("France", "Frnace") << QList<int>{2, 1, 3} << true;
        QTest::newRow("hint reworded") << QByteArray(text).replace("It stands on", "It lies on")
                                       << QList<int>{2, 1, 3} << true;
        QTest::newRow("a card appended after the last face")
            << text + "===\nThe capital of Chile is {Santiago}.\n"
            << QList<int>{2, 1, 3, 0} << true;
        QTest::newRow("trailing empty line taken away")
            << QByteArray(text).chopped(1) << QList<int>{2, 1, 3} << true;
        QTest::newRow("rewritten: new") << QByteArray(text).replace("{Seine}", "{Loire} and more")
                                        << QList<int>{2, 0, 3} << false;
    }

    void anEditedFaceKeepsItsProgress()
    {
        QFETCH(QByteArray, edited);
        QFETCH(QList<int>, expected);
        QFETCH(bool, reattached);
        const QByteArray text = "===\nThe capital of France is {Paris}.\n---\nIt stands on "
                                "the {Seine}.\n===\nThe capital of Peru is {Lima}.\n";
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), text);
        {
            const auto session = start();
            session->coordinator.open(file);
            QVERIFY(rate(session->coordinator, 0, 0, 2));
            QVERIFY(rate(session->coordinator, 0, 1, 1));
            QVERIFY(rate(session->coordinator, 1, 0, 3));
            session->coordinator.waitForPendingSaves();
            // Seen by the open deck as it happens.
            QSignalSpy notice(&session->coordinator, &CommandsCoordinator::progressNotice);
            edit(session->coordinator, edited);
            QCOMPARE(ratings(session->coordinator), expected);
            QCOMPARE(notice.size(), 1);
            const QString said = notice.first().first().toString();
            QCOMPARE(said.contains(u"kept their progress"), reattached);
            QCOMPARE(said.contains(u"kept aside"), !reattached);
            // The move is a change of its own in the journal.
            QVERIFY(session->coordinator.waitForJournal());
            const QList<JournalRecord> journal =
                readDeckJournal(progressFileURL(file, m_progress).toLocalFile()).records;
            QCOMPARE(journal.last().kind == JournalChange::Reattachment, reattached);
        }
        // A re-attached record moved to the new text; one that was not is kept aside, and the
        // face that starts new has no record until it first changes.
        QCOMPARE(savedRatings(file), expected);
        const QString table = progressFileURL(file, m_progress).toLocalFile();
        const ProgressTable saved = readProgressTable(table);
        QCOMPARE(saved.size(), expected.size());
        if (!reattached)
            QVERIFY(saved.contains(faceDigest(u"It stands on the {Seine}.\n")));
    }

    void aChangeOnlyTheJournalHoldsReachesTheProgressFile()
    {
        // A run that ended before it rewrote the progress file.
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2));
        {
            const auto session = start();
            session->coordinator.open(file);
            QVERIFY(rate(session->coordinator, 0, 0, 2));
        }
        const QString table = progressFileURL(file, m_progress).toLocalFile();
        JournalRecord record;
        record.time = QDateTime::currentMSecsSinceEpoch();
        record.face = faceDigest(u"Q1\n");
        record.grade = 3;
        record.rating = 3;
        record.progress = CardFaceProgress::Learning;
        JournalWriter writer;
        QString error;
        QVERIFY(writer.open(journalPath(table, journalMachineId()), &error));
        QVERIFY(writer.append(record, &error));
        QCOMPARE(fileRatings(file), (QList<int>{2, 0, 0, 0}));
        QCOMPARE(savedRatings(file), (QList<int>{2, 0, 3, 0}));

        const auto session = start();
        session->coordinator.open(file);
        session->coordinator.waitForPendingSaves();
        QCOMPARE(fileRatings(file), (QList<int>{2, 0, 3, 0}));
    }

    // Reading a deck whose progress file already holds its progress writes nothing: for a big
    // deck, a rewrite reads and writes the whole file again right after it opened.
    void anUnchangedDeckLeavesItsProgressFileAsItWas()
    {
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(3));
        {
            const auto session = start();
            session->coordinator.open(file);
            QVERIFY(rate(session->coordinator, 1, 0, 2));
        }
        const QString table = progressFileURL(file, m_progress).toLocalFile();
        const std::optional<FileStamp> stamp = fileStamp(table);
        QVERIFY(stamp);
        const QByteArray bytes = bytesOf(table);
        {
            const auto session = start();
            session->coordinator.open(file);
            session->coordinator.waitForPendingSaves();
            // Read again as an editor's save through a rename leaves it.
            QVERIFY(replaceByRename(file.toLocalFile(), deckText(3)));
            session->coordinator.reloadActiveFile();
            session->coordinator.waitForPendingSaves();
            QCOMPARE(ratings(session->coordinator), (QList<int>{0, 0, 2, 0, 0, 0}));
            session->coordinator.open(std::nullopt);
        }
        QVERIFY(fileStamp(table) == stamp);
        QCOMPARE(bytesOf(table), bytes);
    }

    // A record that a save marked as claimed by no face loses the mark at the next reading in
    // which a face claims it: left there, the old date would cut short the time it is kept
    // once the face is cut again.
    void aCardPastedBackLosesItsOrphanMarkAtOnce()
    {
        // Enough cards that the records of the one cut, kept at the end of the file, are not
        // far out of the deck's order once it is back.
        const QByteArray text = deckText(20);
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), text);
        const QString table = progressFileURL(file, m_progress).toLocalFile();
        const auto session = start();
        session->coordinator.open(file);
        QVERIFY(rate(session->coordinator, 1, 0, 2));
        session->coordinator.waitForPendingSaves();

        edit(session->coordinator, QByteArray(text).replace("===\nQ1\n---\nA1\n", ""));
        QVERIFY(rate(session->coordinator, 0, 0, 1));
        session->coordinator.waitForPendingSaves();
        QVERIFY(bytesOf(table).contains("orphanedSince"));

        edit(session->coordinator, text);
        QVERIFY(!bytesOf(table).contains("orphanedSince"));
        QCOMPARE(fileRatings(file).first(4), (QList<int>{1, 0, 2, 0}));
    }

    void progressThatCannotBeSavedIsKeptUntilItCanBe()
    {
        // The progress folder cannot be made while a file stands where its parent should be:
        // every append and every save fails, as on a full disk.
        const QString blocker = m_dir->filePath(QStringLiteral("blocked"));
        QVERIFY(writeFile(blocker, "not a folder"));
        m_progress = blocker + QStringLiteral("/progress");
        const QByteArray text = deckText(2);
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), text);
        const auto session = start();
        CommandsCoordinator &coordinator = session->coordinator;
        coordinator.setRetryDelay(std::chrono::milliseconds(10));
        QSignalSpy problem(&coordinator, &CommandsCoordinator::saveProblemChanged);
        coordinator.open(file);
        QVERIFY(rate(coordinator, 1, 0, 3));
        QVERIFY(!coordinator.waitForJournal());
        QVERIFY(coordinator.hasUnsavedProgress());
        QVERIFY(!coordinator.saveProblem().isEmpty());
        QTRY_VERIFY(!problem.isEmpty());

        // Reading the file again, or opening it again, keeps what only memory holds.
        edit(coordinator, text);
        QCOMPARE(ratings(coordinator), (QList<int>{0, 0, 3, 0}));
        coordinator.open(file);
        QCOMPARE(ratings(coordinator), (QList<int>{0, 0, 3, 0}));
        QVERIFY(!coordinator.retrySaves());

        // The folder can be written again: the saves tried again by themselves catch up.
        QVERIFY(QFile::remove(blocker));
        QTRY_VERIFY(coordinator.saveProblem().isEmpty());
        QVERIFY(!coordinator.hasUnsavedProgress());
        QCOMPARE(fileRatings(file), (QList<int>{0, 0, 3, 0}));
    }

    void progressCanBeSavedElsewhere()
    {
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2));
        const auto session = start();
        session->coordinator.open(file);
        QVERIFY(rate(session->coordinator, 0, 1, 2));
        const QString copy = m_dir->filePath(QStringLiteral("copy.plist"));
        QVERIFY(session->coordinator.saveProgressCopy(copy));
        QCOMPARE(readProgressTable(copy).value(faceDigest(u"A0\n")).rating, 2);
        QCOMPARE(readProgressTable(copy).size(), 4);
    }

    void anEditMadeWhileClosedIsFoundAtOpen()
    {
        const QUrl file = makeFile(*m_dir, QStringLiteral("deck.txt"),
                                   "===\nThe capital of France is {Paris}.\n");
        {
            const auto session = start();
            session->coordinator.open(file);
            QVERIFY(rate(session->coordinator, 0, 0, 3));
        }
        QVERIFY(writeFile(file.toLocalFile(), "===\nThe capital of France: {Paris}.\n"));
        const auto session = start();
        QSignalSpy notice(&session->coordinator, &CommandsCoordinator::progressNotice);
        session->coordinator.open(file);
        QCOMPARE(ratings(session->coordinator), QList<int>{3});
        QCOMPARE(notice.size(), 1);
        QCOMPARE(notice.first().first().toString(),
                 u"1 face(s) kept their progress after your edit."_qs);
    }
};

QTEST_GUILESS_MAIN(TestProgressKept)
#include "test_progress_kept.moc"

#include "app_test_support.h"

#include "core/app/bookmark.h"
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/app/study_settings.h"
#include "core/model/flashcard_reader.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"
#include "core/study/review.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(Grade)

class TestCommandsCoordinator : public QObject
{
    Q_OBJECT

private:
    // A coordinator as at a fresh start of the application over the test's folders.
    std::unique_ptr<CommandsCoordinator> start()
    {
        m_recent.reset();
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        return std::make_unique<CommandsCoordinator>(&*m_settings, m_progressFolder,
                                                     m_recent.get());
    }

    static bool rate(CommandsCoordinator &coordinator, qsizetype card, qsizetype face, int rating,
                     CardFaceProgress progress)
    {
        CardFace changed = coordinator.dataFile()->cards.value(card).faces.value(face);
        changed.rating = qint8(rating);
        changed.progress = progress;
        return coordinator.setFace(card, face, changed);
    }

    // Whether the saved table holds exactly the rating and progress of every face of the deck.
    bool savedMatches(const QUrl &file, const DataFile &deck)
    {
        const ProgressTable table =
            readProgressTable(progressFileURL(file, m_progressFolder).toLocalFile());
        for (const Card &card : deck.cards)
            for (const CardFace &face : card.faces)
                if (table.value(faceDigest(face.text), {-1, {}}) !=
                    SavedProgress{face.rating, face.progress})
                    return false;
        return !table.isEmpty();
    }

    QVariant storedActiveFile() { return m_settings->value(QStringLiteral("activeFile")); }

private Q_SLOTS:
    void init()
    {
        m_recent.reset(); // before the settings it refers to, and those before their folder
        m_settings.reset();
        QVERIFY(m_dir.emplace().isValid());
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
        m_progressFolder = m_dir->filePath(QStringLiteral("progress"));
        QVERIFY(QDir().mkpath(m_progressFolder));
    }

    void openPublishesTheDeckAndBookmarksTheFile()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("capitals.cards.txt"), deckText(50));
        const auto coordinator = start();
        QSignalSpy state(coordinator.get(), &CommandsCoordinator::stateChanged);
        QSignalSpy file(coordinator.get(), &CommandsCoordinator::activeFileChanged);
        coordinator->open(deck);
        QCOMPARE(coordinator->state(), CommandsCoordinator::State::DeckOpen);
        QCOMPARE(coordinator->activeFile(), deck);
        QCOMPARE(coordinator->dataFile()->title, QStringLiteral("capitals.cards"));
        QCOMPARE(coordinator->dataFile()->cards.size(), 50);
        QCOMPARE(resolveBookmarkData(storedActiveFile().toByteArray())->url, deck);
        QCOMPARE(state.count(), 1);
        QCOMPARE(file.count(), 1);
        QCOMPARE(m_recent->files(), QList<QUrl>{deck});
    }

    void anEmptyFileIsADeckWithoutCards()
    {
        const QUrl empty = makeFile(*m_dir, QStringLiteral("empty.txt"), "");
        const auto coordinator = start();
        coordinator->open(empty);
        QCOMPARE(coordinator->state(), CommandsCoordinator::State::DeckOpen);
        QCOMPARE(coordinator->dataFile()->cards.size(), 0);
    }

    // Unreadable files are active without a deck; only one that exists is bookmarked.
    void unreadableFileIsActiveWithoutADeck_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // none: no file
        QTest::newRow("not UTF-8") << QByteArray("===\nQ\xff\xfe\n---\nA\n");
        QTest::newRow("missing") << QByteArray();
    }
    void unreadableFileIsActiveWithoutADeck()
    {
        QFETCH(QByteArray, bytes);
        const bool exists = !bytes.isEmpty();
        const QUrl url = exists ? makeFile(*m_dir, QStringLiteral("binary.txt"), bytes)
                                : QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("gone.txt")));
        const auto coordinator = start();
        coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2)));
        CaptureStdout output; // the recent files report the missing file's bookmark
        coordinator->open(url);
        QCOMPARE(coordinator->state(), CommandsCoordinator::State::UnreadableFile);
        QCOMPARE(coordinator->activeFile(), url);
        QVERIFY(!coordinator->dataFile());
        QCOMPARE(m_settings->contains(QStringLiteral("activeFile")), exists);
        QCOMPARE(m_recent->files().first(), url);
    }

    void reopeningReadsTheFileAgainAfterThePendingSave()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(50));
        const auto coordinator = start();
        coordinator->open(deck);
        QVERIFY(writeFile(deck.toLocalFile(), deckText(55)));
        coordinator->open(deck);
        QCOMPARE(coordinator->dataFile()->cards.size(), 55);
        // Reopened at once after changes: the read must not overtake the pending save.
        for (int i = 0; i < 55; ++i)
            rate(*coordinator, i, 0, 3, CardFaceProgress::Mastered);
        coordinator->open(deck);
        for (const Card &card : coordinator->dataFile()->cards)
            QCOMPARE(card.faces[0].rating, qint8(3));
    }

    void closingClearsEverythingButTheRecentFiles()
    {
        const QUrl first = makeFile(*m_dir, QStringLiteral("first.txt"), deckText(2));
        const QUrl second = makeFile(*m_dir, QStringLiteral("second.txt"), deckText(3));
        const auto coordinator = start();
        coordinator->open(first);
        coordinator->open(second);
        coordinator->open(std::nullopt);
        QCOMPARE(coordinator->state(), CommandsCoordinator::State::NoFile);
        QVERIFY(coordinator->activeFile().isEmpty());
        QVERIFY(!coordinator->dataFile());
        QVERIFY(!m_settings->contains(QStringLiteral("activeFile")));
        QCOMPARE(m_recent->files(), (QList<QUrl>{second, first}));
    }

    // At start-up the file last open is opened again: as it was, then moved, then deleted.
    void restore()
    {
        const QUrl a = makeFile(*m_dir, QStringLiteral("a.txt"), deckText(2));
        const QUrl b = makeFile(*m_dir, QStringLiteral("b.txt"), deckText(4));
        {
            const auto coordinator = start();
            coordinator->open(b);
            coordinator->open(a);
            m_settings->setValue(QStringLiteral("activeFile"), *createBookmarkData(b));
        }
        const QVariant storedList = m_settings->value(QStringLiteral("recentFiles"));
        const QUrl moved = QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("moved.txt")));
        for (const QUrl &file : {b, moved}) {
            if (file == moved)
                QVERIFY(QFile::rename(b.toLocalFile(), moved.toLocalFile()));
            const auto coordinator = start();
            QCOMPARE(m_recent->files().first(), a); // restoring does not move a file to the front
            QCOMPARE(coordinator->activeFile(), file);
            QCOMPARE(coordinator->dataFile()->cards.size(), 4);
            const auto stored = resolveBookmarkData(storedActiveFile().toByteArray());
            QVERIFY(stored && stored->url == file && !stored->isStale);
            if (file == b)
                QCOMPARE(m_settings->value(QStringLiteral("recentFiles")), storedList);
        }
        const QVariant storedActive = storedActiveFile();
        QVERIFY(QFile::remove(moved.toLocalFile()));
        const auto coordinator = start();
        QCOMPARE(coordinator->state(), CommandsCoordinator::State::NoFile);
        QCOMPARE(storedActiveFile(), storedActive); // kept for a later start
    }

    // A file that crashed or hung the start reopening it is not reopened blindly at the next
    // one: the start says so and goes on without it; the start after that is an ordinary one.
    void restoreThatNeverFinishedIsNotRepeated()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("crashes.txt"), deckText(2));
        start()->open(deck);
        const QString preferences = m_settings->fileName();
        const QString atCrash = m_dir->filePath(QStringLiteral("at-crash.ini"));
        {
            const auto coordinator = start();
            QCOMPARE(coordinator->activeFile(), deck);
            QVERIFY(coordinator->startNotice().isEmpty());
            // What the preferences hold while the window shows the deck for the first time.
            m_settings->sync();
            QVERIFY(QFile::copy(preferences, atCrash));
        }
        m_recent.reset();
        m_settings.reset();
        QVERIFY(QFile::remove(preferences) && QFile::rename(atCrash, preferences));
        m_settings.emplace(preferences, QSettings::IniFormat);
        {
            CaptureStdout output;
            const auto coordinator = start();
            QCOMPARE(coordinator->state(), CommandsCoordinator::State::NoFile);
            QVERIFY(coordinator->startNotice().contains(deck.toLocalFile()));
            QCOMPARE(output.text().trimmed(), coordinator->startNotice());
            QCOMPARE(m_recent->files().value(0), deck);
            coordinator->open(deck);
        }
        const auto coordinator = start();
        coordinator->finishRestore();
        QCOMPARE(coordinator->activeFile(), deck);
        QVERIFY(coordinator->startNotice().isEmpty());
    }

    void finerWritesSaveAndSignalOneCard()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(3));
        const auto coordinator = start();
        // A deck without an active file is not saved.
        coordinator->setDataFile(DataFile{QStringLiteral("loose"), readCards(u"===\nQ\n")});
        QVERIFY(rate(*coordinator, 0, 0, 1, CardFaceProgress::Learning));
        coordinator->waitForPendingSaves();
        QVERIFY(QDir(m_progressFolder).isEmpty());
        coordinator->open(deck);
        QSignalSpy cards(coordinator.get(), &CommandsCoordinator::cardChanged);
        QSignalSpy decks(coordinator.get(), &CommandsCoordinator::dataFileChanged);
        QVERIFY(rate(*coordinator, 1, 1, 2, CardFaceProgress::Learning));
        QVERIFY(!coordinator->setFace(1, 2, CardFace()) &&
                !coordinator->setFace(3, 0, CardFace()) && !coordinator->setCard(-1, Card()));
        QCOMPARE(cards.count(), 1);
        QCOMPARE(cards.at(0).at(0).value<qsizetype>(), qsizetype(1));
        QCOMPARE(decks.count(), 0);
    }

    // A review is one write of the rules' outcome and the schedule, saved and undone as one.
    void reviewAddsTheScheduleToTheSameWrite()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2));
        const auto coordinator = start();
        coordinator->open(deck);
        const QDateTime now(QDate(2026, 6, 10), QTime(12, 0), Qt::UTC);
        coordinator->setClock([now] { return now; });
        coordinator->setStudyDayClock(StudyDayClock(QTime(4, 0), QTimeZone::utc()));
        const auto face = [&] { return coordinator->dataFile()->cards[0].faces[0]; };
        QSignalSpy cards(coordinator.get(), &CommandsCoordinator::cardChanged);

        QVERIFY(coordinator->reviewFace(0, 0, markCorrect(face()).face, Grade::Good));
        QCOMPARE(cards.count(), 1);
        const CardFace learning = face();
        QCOMPARE(learning.rating, 1);
        QCOMPARE(learning.progress, CardFaceProgress::Learning);
        QCOMPARE(learning.lastReview, now);
        QCOMPARE(learning.nextReview, now.addSecs(600));
        QCOMPARE(learning.memory->learningStep, 1);
        // Only a face new to the scheduler counts towards the day's new faces.
        QVERIFY(coordinator->reviewFace(0, 0, markCorrect(face()).face, Grade::Good));
        QCOMPARE(newFacesIntroduced(*m_settings, u"deck"_qs, now.date()), 1);
        QVERIFY(!face().memory->learningStep);
        QCOMPARE(face().nextReview, now.addDays(2));

        coordinator->waitForPendingSaves();
        const ProgressTable saved =
            readProgressTable(progressFileURL(deck, m_progressFolder).toLocalFile());
        QCOMPARE(saved.value(faceDigest(face().text)).memory, face().memory);
        QCOMPARE(saved.value(faceDigest(face().text)).nextReview, face().nextReview);

        QVERIFY(coordinator->undo());
        QCOMPARE(face(), learning);
        QVERIFY(coordinator->undo());
        QVERIFY(!face().memory && !face().lastReview && !face().nextReview);
        QCOMPARE(face().rating, 0);
    }

    // The journal keeps a review's own grade, even when the rating cannot move or moves as
    // another grade's would.
    void reviewIsJournalledWithItsGrade_data()
    {
        QTest::addColumn<int>("rating");
        QTest::addColumn<Grade>("grade");
        QTest::newRow("Good at the top rating") << 3 << Grade::Good;
        QTest::newRow("Again at rating 0") << 0 << Grade::Again;
        QTest::newRow("Hard") << 1 << Grade::Hard;
        QTest::newRow("Easy") << 1 << Grade::Easy;
    }
    void reviewIsJournalledWithItsGrade()
    {
        QFETCH(int, rating);
        QFETCH(Grade, grade);
        const QUrl deck = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(1));
        const auto coordinator = start();
        coordinator->open(deck);
        QVERIFY(rate(*coordinator, 0, 0, rating, CardFaceProgress::Learning));
        const CardFace face = coordinator->dataFile()->cards[0].faces[0];
        QVERIFY(coordinator->reviewFace(0, 0, gradeFace(face, grade).face, grade));
        QVERIFY(coordinator->waitForJournal());
        const QList<JournalRecord> records =
            readDeckJournal(progressFileURL(deck, m_progressFolder).toLocalFile()).records;
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.last().kind, JournalChange::Review);
        QCOMPARE(records.last().grade, quint8(grade));
    }

    // Each review counts towards the day's figures; recalled are all grades but Again.
    void reviewsOfTheStudyDayAreCounted()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2));
        const auto coordinator = start();
        coordinator->open(deck);
        QDateTime now(QDate(2026, 6, 10), QTime(23, 0), Qt::UTC);
        coordinator->setClock([&now] { return now; });
        coordinator->setStudyDayClock(StudyDayClock(QTime(4, 0), QTimeZone::utc()));
        const auto review = [&](qsizetype card, Grade grade) {
            const CardFace face = coordinator->dataFile()->cards[card].faces[0];
            return coordinator->reviewFace(card, 0, gradeFace(face, grade).face, grade);
        };
        QVERIFY(review(0, Grade::Again));
        QVERIFY(review(1, Grade::Hard));
        now = now.addSecs(3 * 3600); // 02:00: still the same study day
        QVERIFY(review(0, Grade::Easy));
        const QDate day(2026, 6, 10);
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day), (DayReviews{3, 2}));
        QCOMPARE(newFacesIntroduced(*m_settings, u"deck"_qs, day), 2);
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day.addDays(1)), DayReviews{});

        // An undone review leaves the figures, a redone one comes back.
        QVERIFY(coordinator->undo());
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day), (DayReviews{2, 1}));
        QVERIFY(coordinator->undo());
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day), (DayReviews{1, 0}));
        QCOMPARE(newFacesIntroduced(*m_settings, u"deck"_qs, day), 1);
        QVERIFY(coordinator->redo());
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day), (DayReviews{2, 1}));
        QCOMPARE(newFacesIntroduced(*m_settings, u"deck"_qs, day), 2);
        // A review of an earlier study day undone today leaves today's figures alone.
        QVERIFY(coordinator->undo());
        now = now.addDays(1);
        QVERIFY(coordinator->undo());
        QCOMPARE(reviewsOfDay(*m_settings, u"deck"_qs, day), (DayReviews{1, 0}));
    }

    // A thousand quick changes, mixed with whole replacements, and what follows at once.
    void lastChangeIsSaved_data()
    {
        QTest::addColumn<QString>("then");
        for (const char *then : {"destroy", "open another", "close"})
            QTest::newRow(then) << QString::fromLatin1(then);
    }
    void lastChangeIsSaved()
    {
        QFETCH(QString, then);
        const QUrl a = makeFile(*m_dir, QStringLiteral("a.txt"), deckText(2000));
        const QUrl b = makeFile(*m_dir, QStringLiteral("b.txt"), deckText(3, "B"));
        auto coordinator = start();
        coordinator->open(a);
        for (int i = 0; i < 1000; ++i) {
            rate(*coordinator, (i * 7) % 2000, i % 2, i % 4, allCardFaceProgresses[i % 5]);
            if (i % 100 == 0)
                coordinator->setDataFile(coordinator->dataFile());
        }
        const DataFile last = *coordinator->dataFile();
        if (then == u"open another")
            coordinator->open(b);
        else if (then == u"close")
            coordinator->open(std::nullopt);
        coordinator.reset(); // at once, which waits for the saves
        QVERIFY(savedMatches(a, last));
    }

    void failedSaveIsPrintedAndKeepsTheDeck()
    {
        // A regular file where the progress folder should be: every write fails.
        QVERIFY(QDir(m_progressFolder).removeRecursively());
        QVERIFY(writeFile(m_progressFolder, "not a folder"));
        const auto coordinator = start();
        CaptureStdout output;
        coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(2)));
        rate(*coordinator, 0, 0, 2, CardFaceProgress::Learning);
        coordinator->waitForPendingSaves();
        QVERIFY(!output.text().trimmed().isEmpty());
        QCOMPARE(coordinator->dataFile()->cards[0].faces[0].rating, qint8(2));
        // Reading the edited file again must not bring back what the disk has instead.
        QVERIFY(writeFile(coordinator->activeFile().toLocalFile(), deckText(3)));
        coordinator->reloadActiveFile();
        QCOMPARE(coordinator->dataFile()->cards.size(), 3);
        QCOMPARE(coordinator->dataFile()->cards[0].faces[0].rating, qint8(2));
        QCOMPARE(coordinator->dataFile()->cards[0].faces[0].progress, CardFaceProgress::Learning);
    }

    // Not a strict benchmark: a rating change must not copy a large deck on the caller's
    // thread, even while the saver is busy writing it.
    void ratingChangeOnLargeDeckIsCheap()
    {
        const QUrl deck = makeFile(*m_dir, QStringLiteral("large.txt"), deckText(100000));
        const auto coordinator = start();
        coordinator->open(deck);
        QList<qint64> nanoseconds;
        for (int i = 0; i < 200; ++i) {
            QElapsedTimer timer;
            timer.start();
            rate(*coordinator, (qsizetype(i) * 4999) % 100000, 0, 1, CardFaceProgress::Learning);
            nanoseconds.append(timer.nsecsElapsed());
            if (i % 20 == 0)
                QTest::qWait(5);
        }
        std::sort(nanoseconds.begin(), nanoseconds.end());
        QVERIFY2(nanoseconds[100] < 100'000, qPrintable(QString::number(nanoseconds[100])));
        coordinator->waitForPendingSaves();
        QVERIFY(savedMatches(deck, *coordinator->dataFile()));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    QString m_progressFolder;
};

QTEST_GUILESS_MAIN(TestCommandsCoordinator)
#include "test_commands_coordinator.moc"

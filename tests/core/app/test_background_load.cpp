#include "app_test_support.h"

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/safe_file.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <limits>
#include <utility>

// Big decks are read on a thread of their own while the window goes on.
class TestBackgroundLoad : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<CommandsCoordinator> m_coordinator;

    // A reader that does the whole reading, tells it is halfway and then waits to be let go:
    // whatever happens while it waits was not seen by it.
    QSemaphore m_held;
    QSemaphore m_release;
    std::atomic<QThread *> m_readOn = nullptr;

    QString progressFolder() const { return m_dir->filePath(u"progress"_qs); }
    QUrl deck(const QString &name) const { return QUrl::fromLocalFile(m_dir->filePath(name)); }
    CommandsCoordinator &coordinator() { return *m_coordinator; }

    void holdReadings()
    {
        coordinator().setBackgroundLoadThreshold(0);
        coordinator().setDeckReader([this](const QUrl &file, const DataFile *previous,
                                           LoadReport *report, LoadProgress &progress) {
            m_readOn = QThread::currentThread();
            std::optional<DataFile> read;
            if (const auto text = readUtf8TextFile(file.toLocalFile()))
                read = loadDataFile(*text, file, progressFolder(), previous, report);
            progress.advance(LoadProgress::Step::Deck, 0.5);
            m_held.release();
            m_release.acquire();
            return read;
        });
    }

    // Waits until the reading holds.
    bool held() { return m_held.tryAcquire(1, 10000); }

    // A reading done for real that holds at the first share it tells until it is given up on:
    // what it does after that is what a cancelled reading does.
    std::atomic<double> m_lastShare = 0;
    std::atomic<int> m_decksGiven = 0;
    void holdUntilCancelled()
    {
        coordinator().setBackgroundLoadThreshold(0);
        coordinator().setDeckReader([this](const QUrl &file, const DataFile *previous,
                                           LoadReport *report, LoadProgress &progress) {
            bool holding = true; // told under the progress's lock
            LoadProgress held(
                [&](double share) {
                    m_lastShare = share;
                    if (!std::exchange(holding, false))
                        return;
                    m_held.release();
                    while (!progress.isCancelled())
                        QThread::msleep(1);
                },
                [&progress] { return progress.isCancelled(); });
            std::optional<DataFile> deck = loadDeckFile(file.toLocalFile(), file, progressFolder(),
                                                        previous, report, nullptr, &held);
            m_decksGiven += deck ? 1 : 0;
            return deck;
        });
    }

    // A deck read in three pieces: a card of one face of 10 MiB.
    QUrl bigDeck()
    {
        const QUrl file = deck(u"big.txt"_qs);
        if (!writeFile(file.toLocalFile(), "===\n" + QByteArray(10 << 20, 'x') + "\n"))
            qFatal("cannot write the big deck");
        return file;
    }

    void rate(qsizetype card, qsizetype face, qint8 value)
    {
        CardFace changed = coordinator().dataFile()->cards.at(card).faces.at(face);
        changed.rating = value;
        changed.progress = CardFaceProgress::Learning;
        QVERIFY(coordinator().setFace(card, face, changed));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        QVERIFY(QDir().mkpath(progressFolder()));
        m_settings.emplace(m_dir->filePath(u"preferences.ini"_qs), QSettings::IniFormat);
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        m_coordinator =
            std::make_unique<CommandsCoordinator>(&*m_settings, progressFolder(), m_recent.get());
        QVERIFY(writeFile(deck(u"a.txt"_qs).toLocalFile(), deckText(3)));
        QVERIFY(writeFile(deck(u"b.txt"_qs).toLocalFile(), deckText(2, "B")));
        m_readOn = nullptr;
        m_held.acquire(m_held.available());
        m_release.acquire(m_release.available());
    }

    void cleanup()
    {
        // A reading a failed test left held must not hold the coordinator's end.
        m_release.release(16);
        m_coordinator.reset();
        m_recent.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void aBigDeckIsReadOffTheMainThreadAndPublishedWhole()
    {
        holdReadings();
        QSignalSpy states(&coordinator(), &CommandsCoordinator::stateChanged);
        coordinator().open(deck(u"a.txt"_qs));
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::Loading);
        QVERIFY(coordinator().isLoading());
        QCOMPARE(coordinator().activeFile(), deck(u"a.txt"_qs));
        QVERIFY(!coordinator().dataFile());
        QVERIFY(held());
        QVERIFY(m_readOn.load() != QThread::currentThread());

        m_release.release();
        QTRY_COMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QVERIFY(!coordinator().isLoading());
        QCOMPARE(coordinator().dataFile()->cards.size(), 3);
        QCOMPARE(m_recent->files().value(0), deck(u"a.txt"_qs));
        QCOMPARE(states.size(), 2);
    }

    void theReadingTellsHowFarItGot()
    {
        holdReadings();
        QSignalSpy told(&coordinator(), &CommandsCoordinator::loadProgressChanged);
        coordinator().open(deck(u"a.txt"_qs));
        QVERIFY(held());
        QTRY_VERIFY(coordinator().loadProgress() > 0);
        QVERIFY(coordinator().loadProgress() < 1);
        QVERIFY(told.size() >= 2);
        m_release.release();
        coordinator().waitForLoad();
        QVERIFY(!coordinator().isLoading());
    }

    void theRealReadingTellsItsProgressUpToTheEnd()
    {
        coordinator().setBackgroundLoadThreshold(0);
        QList<double> told;
        connect(&coordinator(), &CommandsCoordinator::loadProgressChanged, this,
                [&] { told.append(coordinator().loadProgress()); });
        coordinator().open(deck(u"a.txt"_qs));
        QTRY_COMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QVERIFY(told.size() >= 3);
        QVERIFY(std::is_sorted(told.cbegin(), told.cend()));
        QVERIFY(told.contains(1.0));
    }

    void aReviewMadeWhileAReloadIsReadSurvivesIt()
    {
        coordinator().open(deck(u"a.txt"_qs));
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        holdReadings();
        QVERIFY(replaceByRename(deck(u"a.txt"_qs).toLocalFile(), deckText(4)));
        coordinator().reloadActiveFile();
        QVERIFY(held());
        // The deck on screen stays, and takes a review.
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QVERIFY(coordinator().isLoading());
        rate(1, 0, 3);

        m_release.release();
        QTRY_VERIFY(!coordinator().isLoading());
        QCOMPARE(coordinator().dataFile()->cards.size(), 4);
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].rating, 3);
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].progress, CardFaceProgress::Learning);
        QVERIFY(coordinator().canUndo());
        // And is saved with it.
        coordinator().waitForPendingSaves();
        QCOMPARE(
            readProgressTable(progressFileURL(deck(u"a.txt"_qs), progressFolder()).toLocalFile())
                .value(faceDigest(u"Q1\n"_qs))
                .rating,
            3);
    }

    // The reading works from a list of cards of its own: a review meanwhile changes the deck on
    // screen in place rather than copying the list of all its cards first.
    void aReviewDuringAReloadLeavesTheCardListInPlace()
    {
        coordinator().setMinimumCompactionDelay(std::chrono::hours(1));
        coordinator().open(deck(u"a.txt"_qs));
        holdReadings();
        coordinator().reloadActiveFile();
        QVERIFY(held());
        const Card *cards = coordinator().dataFile()->cards.constData();
        rate(2, 1, 4);
        QCOMPARE(coordinator().dataFile()->cards.constData(), cards);
        QCOMPARE(coordinator().dataFile()->cards[2].faces[1].rating, 4);
        m_release.release();
        coordinator().waitForLoad();
        QCOMPARE(coordinator().dataFile()->cards[2].faces[1].rating, 4);
    }

    // Reviews come one after the other while the changes of the first are carried into the
    // deck read: each is kept, on the faces of every card with its text.
    void reviewsWhileAReloadEndsAreAllKept()
    {
        QVERIFY(writeFile(deck(u"a.txt"_qs).toLocalFile(), deckText(3) + "===\nQ0"));
        coordinator().open(deck(u"a.txt"_qs));
        holdReadings();
        coordinator().reloadActiveFile();
        QVERIFY(held());
        rate(0, 0, 1);
        m_release.release();
        qint8 last = 0;
        for (qint8 rating = 2; coordinator().isLoading(); rating = qint8(rating % 5 + 1)) {
            rate(1, 0, rating);
            last = rating;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].rating, last);
        QCOMPARE(coordinator().dataFile()->cards[0].faces[0].rating, 1);
        QCOMPARE(coordinator().dataFile()->cards[3].faces[0].rating, 1);
    }

    void aReadingOvertakenByAnotherOpenIsDropped()
    {
        holdReadings();
        coordinator().open(deck(u"a.txt"_qs));
        QVERIFY(held());
        coordinator().setBackgroundLoadThreshold(std::numeric_limits<qint64>::max());
        coordinator().open(deck(u"b.txt"_qs));
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QVERIFY(!coordinator().isLoading());

        m_release.release();
        coordinator().waitForLoad();
        QCOMPARE(coordinator().activeFile(), deck(u"b.txt"_qs));
        QCOMPARE(coordinator().dataFile()->cards.size(), 2);
    }

    // Closing, opening another file and quitting stop the reading at its next piece, and what
    // it read is neither shown nor saved.
    void aReadingGivenUpOnStopsAtItsNextPiece_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("close") << u"close"_qs;
        QTest::newRow("open another") << u"open another"_qs;
        QTest::newRow("quit") << u"quit"_qs;
    }
    void aReadingGivenUpOnStopsAtItsNextPiece()
    {
        QFETCH(QString, how);
        holdUntilCancelled();
        const QUrl big = bigDeck();
        coordinator().open(big);
        QVERIFY(held());
        if (how == u"quit") {
            m_coordinator.reset();
        } else {
            coordinator().setBackgroundLoadThreshold(std::numeric_limits<qint64>::max());
            coordinator().open(how == u"close" ? std::optional<QUrl>() : deck(u"b.txt"_qs));
            coordinator().waitForLoad();
            QCOMPARE(coordinator().state(), how == u"close" ? CommandsCoordinator::State::NoFile
                                                            : CommandsCoordinator::State::DeckOpen);
            QVERIFY(!coordinator().isLoading());
        }
        // A reading to the end tells the whole; this one stopped after a piece of the three.
        QVERIFY2(m_lastShare < 0.5, qPrintable(QString::number(m_lastShare)));
        QCOMPARE(m_decksGiven.load(), 0);
        if (m_coordinator)
            m_coordinator->waitForPendingSaves();
        QVERIFY(!QFile::exists(progressFileURL(big, progressFolder()).toLocalFile()));
    }

    void aReloadGivenUpOnAtQuitKeepsTheReviewsMadeMeanwhile()
    {
        coordinator().open(deck(u"a.txt"_qs));
        rate(0, 0, 1);
        holdUntilCancelled();
        QVERIFY(replaceByRename(deck(u"a.txt"_qs).toLocalFile(), deckText(4)));
        coordinator().reloadActiveFile();
        QVERIFY(held());
        rate(2, 0, 2);
        m_coordinator.reset();
        QCOMPARE(m_decksGiven.load(), 0);

        // The next start reads the edited file with both reviews.
        m_coordinator =
            std::make_unique<CommandsCoordinator>(&*m_settings, progressFolder(), m_recent.get());
        coordinator().waitForLoad();
        QCOMPARE(coordinator().dataFile()->cards.size(), 4);
        QCOMPARE(coordinator().dataFile()->cards[0].faces[0].rating, 1);
        QCOMPARE(coordinator().dataFile()->cards[2].faces[0].rating, 2);
    }

    // Until the deck read again is shown, both decks are held: a text left as it was is held
    // once.
    void aReloadHoldsTheTextsOfUnchangedCardsOnce()
    {
        coordinator().open(deck(u"a.txt"_qs));
        const DataFile before = *coordinator().dataFile();
        QByteArray text = deckText(3);
        text.replace("Q1\n", "Q1 edited\n");
        QVERIFY(replaceByRename(deck(u"a.txt"_qs).toLocalFile(), text));
        coordinator().setBackgroundLoadThreshold(0);
        coordinator().reloadActiveFile();
        coordinator().waitForLoad();
        const QList<Card> &after = coordinator().dataFile()->cards;
        QCOMPARE(after.size(), 3);
        QCOMPARE(after[1].faces[0].text.toString(), u"Q1 edited\n"_qs);
        for (qsizetype card : {0, 2}) {
            for (qsizetype face = 0; face < 2; ++face)
                QCOMPARE(after[card].faces[face].text.view().data(),
                         before.cards[card].faces[face].text.view().data());
        }
    }

    void aReloadOfAFileThatCannotBeReadKeepsTheDeck()
    {
        coordinator().open(deck(u"a.txt"_qs));
        coordinator().setBackgroundLoadThreshold(0);
        QVERIFY(writeFile(deck(u"a.txt"_qs).toLocalFile(), "===\n\xff\n"));
        coordinator().reloadActiveFile();
        QTRY_VERIFY(!coordinator().isLoading());
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::DeckOpen);
        QCOMPARE(coordinator().dataFile()->cards.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundLoad)
#include "test_background_load.moc"

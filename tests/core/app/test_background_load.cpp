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
                                           LoadReport *report,
                                           const std::function<void(double)> &progress) {
            m_readOn = QThread::currentThread();
            std::optional<DataFile> read;
            if (const auto text = readUtf8TextFile(file.toLocalFile()))
                read = loadDataFile(*text, file, progressFolder(), previous, report);
            progress(0.5);
            m_held.release();
            m_release.acquire();
            return read;
        });
    }

    // Waits until the reading holds.
    bool held() { return m_held.tryAcquire(1, 10000); }

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
        QTRY_COMPARE(coordinator().loadProgress(), 0.5);
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

#include "app_test_support.h"

#include "core/app/commands_coordinator.h"
#include "core/app/due_session.h"
#include "core/app/recent_files.h"
#include "core/study/review.h"

#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <tuple>

class TestDueSession : public QObject
{
    Q_OBJECT

private:
    void start()
    {
        m_session.reset();
        m_coordinator.reset();
        m_recent = std::make_unique<RecentFiles>(&*m_settings);
        m_coordinator = std::make_unique<CommandsCoordinator>(
            &*m_settings, m_dir->filePath(QStringLiteral("progress")), m_recent.get());
        m_coordinator->setClock([this] { return m_now; });
        m_coordinator->setStudyDayClock(StudyDayClock(QTime(4, 0), QTimeZone::utc()));
        m_session = std::make_unique<DueSession>(*m_coordinator);
    }

    bool review(qsizetype card, qsizetype face, Grade grade)
    {
        const CardFace record = m_coordinator->dataFile()->cards.at(card).faces.at(face);
        return m_coordinator->reviewFace(card, face, gradeFace(record, grade).face, grade);
    }

    QList<QueuedFace> queued() const { return m_session->queue().faces; }

    // The queue a full build gives now, passed-over faces aside.
    DueQueue fullBuild() const
    {
        const qsizetype newLimit = std::max<qsizetype>(
            m_coordinator->schedulerParameters().newFacesPerDay - m_session->newFacesToday(), 0);
        return buildDueQueue(*m_coordinator->dataFile(), m_now, m_coordinator->studyDayClock(),
                             newLimit);
    }

    // The same faces, counts and order of due times as a full build.
    void compareWithFullBuild(qsizetype lastCard)
    {
        const DueQueue expected = fullBuild();
        const DueQueue &actual = m_session->queue();
        QList<QueuedFace> a = actual.faces;
        QList<QueuedFace> b = expected.faces;
        auto byPosition = [](const QueuedFace &x, const QueuedFace &y) {
            return std::tie(x.card, x.face) < std::tie(y.card, y.face);
        };
        std::sort(a.begin(), a.end(), byPosition);
        std::sort(b.begin(), b.end(), byPosition);
        QCOMPARE(a, b);
        QCOMPARE(actual.dueCount, expected.dueCount);
        QCOMPARE(actual.newCount, expected.newCount);
        QCOMPARE(actual.moreNew, expected.moreNew);
        // Waking early costs a build; waking late would hide a due face.
        if (expected.nextDue)
            QVERIFY(actual.nextDue && *actual.nextDue <= *expected.nextDue);
        if (actual.faces.size() > 1 && actual.faces.size() > m_passedOver) {
            bool others = false;
            for (qsizetype i = 0; i < actual.faces.size() - m_passedOver; ++i)
                others = others || actual.faces.at(i).card != lastCard;
            if (others)
                QVERIFY(actual.faces.first().card != lastCard);
        }
    }

private Q_SLOTS:
    void init()
    {
        m_session.reset();
        m_coordinator.reset();
        m_recent.reset();
        m_settings.reset();
        QVERIFY(m_dir.emplace().isValid());
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("progress"))));
        m_settings.emplace(m_dir->filePath(QStringLiteral("preferences.ini")),
                           QSettings::IniFormat);
        m_now = QDateTime(QDate(2026, 3, 10), QTime(10, 0), Qt::UTC);
        start();
    }

    void studyModeIsRememberedPerDeck()
    {
        const QUrl a = makeFile(*m_dir, QStringLiteral("a.txt"), deckText(2));
        const QUrl b = makeFile(*m_dir, QStringLiteral("b.txt"), deckText(2));
        QSignalSpy modes(m_session.get(), &DueSession::modeChanged);
        m_coordinator->open(a);
        QCOMPARE(m_session->mode(), StudyMode::InOrder);
        m_session->setMode(StudyMode::Due);
        QCOMPARE(modes.count(), 1);
        m_coordinator->open(b);
        QCOMPARE(m_session->mode(), StudyMode::InOrder);
        m_coordinator->open(a);
        QCOMPARE(m_session->mode(), StudyMode::Due);
        m_coordinator->open(std::nullopt);
        QCOMPARE(m_session->mode(), StudyMode::InOrder);
        m_coordinator->open(a);
        // The next run reopens the deck in the mode it was left in.
        start();
        QCOMPARE(m_coordinator->activeFile(), a);
        QCOMPARE(m_session->mode(), StudyMode::Due);
    }

    // A face answered Again waits out its first step while others are studied, then comes
    // first.
    void faceAnsweredAgainComesBackAfterItsStep()
    {
        m_coordinator->open(
            makeFile(*m_dir, QStringLiteral("deck.txt"), "===\nA\n===\nB\n===\nC\n"));
        QCOMPARE(queued().size(), 3);
        QVERIFY(review(0, 0, Grade::Again));
        QCOMPARE(queued(), (QList<QueuedFace>{{1, 0, true}, {2, 0, true}}));
        QCOMPARE(m_session->queue().nextDue, m_now.addSecs(60));
        QVERIFY(review(1, 0, Grade::Good));
        m_now = m_now.addSecs(61);
        m_session->refresh();
        QCOMPARE(m_session->next(), (QueuedFace{0, 0, false}));
        QCOMPARE(m_session->queue().dueCount, 1);
        QCOMPARE(m_session->queue().newCount, 1);
    }

    void passedOverFaceWaitsBehindTheOthers()
    {
        m_coordinator->open(
            makeFile(*m_dir, QStringLiteral("deck.txt"), "===\nA\n===\nB\n===\nC\n"));
        m_session->passOver(0, 0);
        m_session->passOver(1, 0);
        QCOMPARE(queued(), (QList<QueuedFace>{{2, 0, true}, {0, 0, true}, {1, 0, true}}));
        // Reviewed, it is no longer passed over: when it is due again it takes its own place.
        QVERIFY(review(0, 0, Grade::Again));
        m_now = m_now.addSecs(120);
        m_session->refresh();
        QCOMPARE(queued(), (QList<QueuedFace>{{0, 0, false}, {2, 0, true}, {1, 0, true}}));
    }

    // The daily limit of new faces counts those introduced earlier in the study day, and a
    // change of the setting applies at once.
    void newFacesFollowTheDailyLimit()
    {
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(5)));
        QCOMPARE(m_session->queue().newCount, 10);
        QSignalSpy changes(m_session.get(), &DueSession::queueChanged);
        SchedulerParameters parameters = m_coordinator->schedulerParameters();
        parameters.newFacesPerDay = 3;
        m_coordinator->setSchedulerParameters(parameters);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(m_session->queue().newCount, 3);
        QVERIFY(review(0, 0, Grade::Good));
        QCOMPARE(m_session->queue().newCount, 2);
        QCOMPARE(m_session->newFacesToday(), 1);
        QCOMPARE(m_session->reviewsToday(), (DayReviews{1, 1}));
        // The next study day brings the full number again.
        m_now = QDateTime(QDate(2026, 3, 11), QTime(4, 0), Qt::UTC);
        m_session->refresh();
        QCOMPARE(m_session->queue().newCount, 3);
        QCOMPARE(m_session->reviewsToday(), DayReviews{});
    }

    // A run of changes is announced once, after it; whoever asks before gets the queue as it
    // is now.
    void quickChangesAreAnnouncedOnce()
    {
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(3)));
        QCOMPARE(m_session->queue().newCount, 6);
        QSignalSpy changes(m_session.get(), &DueSession::queueChanged);
        QVERIFY(review(0, 0, Grade::Good));
        QVERIFY(review(1, 0, Grade::Good));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(m_session->queue().newCount, 4);
        QCOMPARE(m_session->next(), (QueuedFace{0, 1, true}));
        QVERIFY(changes.wait());
        QCOMPARE(changes.count(), 1);
    }

    // A big deck's queue is built in the background and then follows each change of a face
    // without a full build; it holds what a full build would at every step.
    void bigDeckQueueFollowsChangesFaceByFace()
    {
        m_session->setBackgroundFrom(0);
        SchedulerParameters parameters = m_coordinator->schedulerParameters();
        parameters.newFacesPerDay = 5;
        m_coordinator->setSchedulerParameters(parameters);
        QSignalSpy changes(m_session.get(), &DueSession::queueChanged);
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(8)));
        // The counts come when the build is done; the window is not kept waiting for them.
        QTRY_VERIFY(!m_session->isBuilding() && !queued().isEmpty());
        compareWithFullBuild(-1);

        struct Step
        {
            qsizetype card;
            qsizetype face;
            Grade grade;
            qint64 waitSecs;
        };
        const QList<Step> steps = {
            {0, 0, Grade::Again, 0},  {0, 1, Grade::Good, 0},  {1, 0, Grade::Easy, 0},
            {2, 1, Grade::Again, 0},  {3, 0, Grade::Good, 30}, {0, 0, Grade::Good, 90},
            {2, 1, Grade::Hard, 60},  {4, 0, Grade::Again, 0}, {4, 1, Grade::Again, 0},
            {4, 0, Grade::Good, 700}, {7, 1, Grade::Good, 0},  {5, 0, Grade::Again, 0},
        };
        connect(m_coordinator.get(), &CommandsCoordinator::cardChanged, this,
                [this](qsizetype card) { m_lastUndone = card; });
        for (const Step &step : steps) {
            if (step.waitSecs > 0) {
                // As the wake-up does when a face falls due.
                m_now = m_now.addSecs(step.waitSecs);
                m_session->refresh();
                QTRY_VERIFY(!m_session->isBuilding());
                compareWithFullBuild(m_lastUndone);
            }
            QVERIFY(review(step.card, step.face, step.grade));
            compareWithFullBuild(step.card);
        }
        // Undone, a new face is new again and takes its place among the new ones.
        QVERIFY(m_coordinator->undo());
        compareWithFullBuild(m_lastUndone);
        QVERIFY(m_coordinator->undo());
        compareWithFullBuild(m_lastUndone);

        // A face passed over waits last; reviewed, it takes its own place again.
        const QueuedFace passed = queued().first();
        m_session->passOver(passed.card, passed.face);
        QCOMPARE(queued().last(), passed);
        m_passedOver = 1;
        compareWithFullBuild(passed.card);
        QVERIFY(review(passed.card, passed.face, Grade::Again));
        m_passedOver = 0;
        QVERIFY(!queued().contains(passed));
        compareWithFullBuild(passed.card);

        // Time passes: the refresh runs in the background and then agrees again.
        m_now = m_now.addDays(3);
        changes.clear();
        m_session->refresh();
        QTRY_VERIFY(!changes.isEmpty() && !m_session->isBuilding());
        compareWithFullBuild(passed.card);
    }

    // A review made while the background build runs is not lost when its result arrives.
    void changeDuringBackgroundBuildIsKept()
    {
        m_session->setBackgroundFrom(0);
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(6)));
        QTRY_VERIFY(!m_session->isBuilding());
        m_session->refresh();
        QVERIFY(review(0, 0, Grade::Again));
        QVERIFY(review(3, 1, Grade::Good));
        QTRY_VERIFY(!m_session->isBuilding());
        compareWithFullBuild(3);
    }

    // A review while a big deck's queue is built in the background does not copy the deck's
    // list of cards on this thread, as a change of a deck shared with the build would: the build
    // lets go of the deck first, and goes through it again once the change is made.
    void reviewDuringBackgroundBuildDoesNotCopyTheDeck()
    {
        m_session->setBackgroundFrom(0);
        // No rewrite of the progress file shares the deck meanwhile.
        m_coordinator->setMinimumCompactionDelay(std::chrono::hours(1));
        m_coordinator->open(makeFile(*m_dir, QStringLiteral("deck.txt"), deckText(50)));
        QTRY_VERIFY(!m_session->isBuilding());
        m_coordinator->waitForPendingSaves();

        // The next build holds until it is told to stop, or let go by the test.
        QSemaphore held;
        QSemaphore release;
        std::atomic<bool> holding = true;
        m_session->setQueueBuilder([&](const DataFile &deck, const QDateTime &now,
                                       const StudyDayClock &clock, qsizetype newLimit,
                                       std::optional<qsizetype> afterCard,
                                       const std::function<bool()> &stopped) {
            if (holding.exchange(false)) {
                held.release();
                while (!stopped() && !release.tryAcquire(1, 10)) {
                }
            }
            return buildDueQueue(deck, now, clock, newLimit, afterCard, stopped);
        });
        const auto letGo = qScopeGuard([&release] { release.release(); });
        m_session->refresh();
        QVERIFY(held.tryAcquire(1, 10000));
        const Card *cards = m_coordinator->dataFile()->cards.constData();
        QVERIFY(review(3, 0, Grade::Good));
        QCOMPARE(m_coordinator->dataFile()->cards.constData(), cards);
        QTRY_VERIFY(!m_session->isBuilding());
        compareWithFullBuild(3);
    }

private:
    qsizetype m_passedOver = 0;
    qsizetype m_lastUndone = -1;
    std::optional<QTemporaryDir> m_dir;
    std::optional<QSettings> m_settings;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<CommandsCoordinator> m_coordinator;
    std::unique_ptr<DueSession> m_session;
    QDateTime m_now;
};

QTEST_GUILESS_MAIN(TestDueSession)
#include "test_due_session.moc"

#include "../app/window_test_support.h"

#include "core/store/review_journal.h"
#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/stats/statistics_window.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>

// The statistics window over the open deck's journal, and how it follows a study session.
class TestStatisticsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;
    QString m_journal;
    qint64 m_now = 0;

    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

    // Appends a review of a face of the fixture's deck to the journal of this test's machine.
    void appendReview(int card, int face, int grade, qint64 lapses)
    {
        JournalRecord record;
        record.face = faceDigest(coordinator().dataFile()->cards[card].faces[face].text);
        record.time = m_now - 3600000;
        record.grade = quint8(grade);
        record.stateBefore = SchedulingState::Review;
        record.rating = qint8(grade == 1 ? 0 : 2);
        record.lastReview = record.time;
        record.nextReview = record.time + 2 * 86400000;
        record.memory = ReviewMemory{4, 5, 3, lapses, std::nullopt};
        QFile file(m_journal);
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.write(encodeJournalRecord(record)) == journalRecordSize);
    }

    std::unique_ptr<StatisticsWindow> openWindow()
    {
        auto window = std::make_unique<StatisticsWindow>(&coordinator());
        window->setClock([this] { return QDateTime::fromMSecsSinceEpoch(m_now, Qt::UTC); },
                         StudyDayClock(QTime(4, 0), QTimeZone("Europe/Berlin")));
        window->show();
        return window;
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<WindowFixture>();
        m_now = QDateTime(QDate(2026, 6, 10), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
        coordinator().open(m_fixture->deck(u"deck.txt"_qs, 3));
        m_journal = journalPath(*coordinator().progressFilePath(), u"00000000000000aa"_qs);
    }
    void cleanup() { m_fixture.reset(); }

    void showsTheJournalAndFollowsIt()
    {
        appendReview(1, 0, 3, 0);
        appendReview(2, 1, 1, 2);
        // As another machine's journal is taken in: by reading the deck again.
        coordinator().reloadActiveFile();
        const auto window = openWindow();
        // The history is read on a thread of its own.
        QTRY_VERIFY(!window->isReadingHistory());
        QCOMPARE(window->figures().totalReviews, 2);
        QCOMPARE(window->figures().reviewsPerDay.last(), 2);
        auto *hardest = window->findChild<QListWidget *>(u"hardestFaces"_qs);
        QCOMPARE(hardest->count(), 1);
        QVERIFY2(hardest->item(0)->text().startsWith(u"Lapses: 2 · card 2: Card 2 face 1"_qs),
                 qPrintable(hardest->item(0)->text()));
        QVERIFY(window->findChild<QLabel *>(u"summary"_qs)
                    ->text()
                    .contains(u"Current streak (days): 1 "_qs));

        // A review appended while the window is open is taken in without reading it all again.
        appendReview(0, 0, 1, 1);
        window->refresh();
        QCOMPARE(window->figures().totalReviews, 3);
        QCOMPARE(hardest->count(), 2);

        // A card changed in the deck counts at once.
        CardFace face = coordinator().dataFile()->cards[0].faces[1];
        face.rating = 3;
        QVERIFY(coordinator().setFace(0, 1, face));
        QCOMPARE(window->figures().facesPerRating[3], 1);

        // A new study day moves the heatmap on.
        m_now += 86400000;
        window->refresh();
        QCOMPARE(window->figures().reviewsPerDay.last(), 0);
        QCOMPARE(window->figures().reviewsPerDay[heatmapDays - 2], 3);
    }

    // The window takes the user's settings, and follows a change of them.
    void usesTheSchedulingPreferences()
    {
        SchedulerParameters parameters;
        parameters.desiredRetention = 0.85;
        coordinator().setSchedulerParameters(parameters);
        const auto window = openWindow();
        QCOMPARE(window->figures().desiredRetention, 0.85);
        QCOMPARE(window->figures().newToday, 6);
        parameters.desiredRetention = 0.8;
        parameters.newFacesPerDay = 2;
        coordinator().setSchedulerParameters(parameters);
        QCOMPARE(window->figures().desiredRetention, 0.8);
        QCOMPARE(window->figures().newToday, 2);
    }

    // The list shows a face's first line as the card list does, its answer hidden.
    void hardestFaceHidesItsPassages()
    {
        coordinator().open(m_fixture->file(
            u"hidden.txt"_qs, "===\nThe capital of {France} is {Paris}.\nmore\n---\nsecond\n"));
        m_journal = journalPath(*coordinator().progressFilePath(), u"00000000000000aa"_qs);
        appendReview(0, 0, 1, 1);
        coordinator().reloadActiveFile();
        const auto window = openWindow();
        QTRY_VERIFY(!window->isReadingHistory());
        auto *hardest = window->findChild<QListWidget *>(u"hardestFaces"_qs);
        QCOMPARE(hardest->count(), 1);
        QCOMPARE(hardest->item(0)->text(),
                 u"Lapses: 1 · card 0: The capital of ______ is _____."_qs);
    }

    void hardestFaceOpensItsCard()
    {
        MainWindow main(coordinator(), *m_fixture->recent);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        appendReview(2, 0, 1, 4);
        coordinator().reloadActiveFile();
        QAction *statistics = named<QAction>(&main, u"statisticsAction"_qs);
        QCOMPARE(statistics->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
        statistics->trigger();
        auto *window = main.findChild<StatisticsWindow *>();
        QVERIFY(window && window->isVisible());
        QTRY_VERIFY(!window->isReadingHistory());
        auto *hardest = window->findChild<QListWidget *>(u"hardestFaces"_qs);
        QCOMPARE(hardest->count(), 1);
        auto *content = main.findChild<ContentView *>();
        QVERIFY(content);
        content->setSelectedCardIndex(0);
        const QRect item = hardest->visualItemRect(hardest->item(0));
        QTest::mouseClick(hardest->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(content->selectedCardIndex(), 2);
        QVERIFY(main.isActiveWindow() || main.isVisible());
    }

    void emptyWhenNoDeckIsOpen()
    {
        coordinator().open(std::nullopt);
        const auto window = openWindow();
        QTRY_VERIFY(!window->isReadingHistory());
        QCOMPARE(window->figures().totalReviews, 0);
        QCOMPARE(window->windowTitle(), u"Statistics"_qs);
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"

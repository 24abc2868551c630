#include "core/schedule/scheduler.h"
#include "core/schedule/study_day.h"

#include <QTest>

#include <limits>

namespace {

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

const QTimeZone berlin("Europe/Berlin");

QDateTime inBerlin(const char *text)
{
    QDateTime local = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    return QDateTime(local.date(), local.time(), berlin);
}

SchedulerParameters withoutFuzz()
{
    SchedulerParameters parameters;
    parameters.fuzz = false;
    return parameters;
}

// Draws that must not be made: the test fails if the scheduler fuzzes.
double noDraw()
{
    qFatal("unexpected random draw");
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(Grade)
Q_DECLARE_METATYPE(SchedulePhase)

class TestScheduler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Good six times, Again twice, Good five times, each review exactly when due.
    void learningStepsHistory()
    {
        const Scheduler scheduler(withoutFuzz());
        const Grade G = Grade::Good, A = Grade::Again;
        const Grade grades[] = {G, G, G, G, G, G, A, A, G, G, G, G, G};
        const qint64 intervals[] = {0, 2, 11, 46, 163, 498, 0, 0, 2, 4, 7, 12, 21};
        const SchedulePhase phases[] = {
            SchedulePhase::Learning,   SchedulePhase::Review,     SchedulePhase::Review,
            SchedulePhase::Review,     SchedulePhase::Review,     SchedulePhase::Review,
            SchedulePhase::Relearning, SchedulePhase::Relearning, SchedulePhase::Review};
        QDateTime now = utc("2026-01-05T10:00:00Z");
        FaceSchedule schedule;
        QList<qint64> actual;
        for (std::size_t i = 0; i < std::size(grades); ++i) {
            schedule = scheduler.review(schedule, grades[i], now, noDraw);
            actual << elapsedDays(now, *schedule.nextReview);
            if (i < std::size(phases))
                QCOMPARE(schedule.phase(), phases[i]);
            now = *schedule.nextReview;
        }
        QCOMPARE(actual, QList<qint64>(std::begin(intervals), std::end(intervals)));
        QCOMPARE(schedule.memory->reviews, 13);
        QCOMPARE(schedule.memory->lapses, 1);
    }

    // Where each grade leaves a face, and how long it waits: steps of 1 and 10 minutes,
    // relearning 10 minutes.
    void steps_data()
    {
        QTest::addColumn<int>("phase"); // how far the face has come
        QTest::addColumn<Grade>("grade");
        QTest::addColumn<SchedulePhase>("after");
        QTest::addColumn<qint64>("learningStep");
        QTest::addColumn<qint64>("minutes"); // -1: whole days
        QTest::addColumn<qint64>("lapses");
        const auto L = SchedulePhase::Learning, R = SchedulePhase::Review,
                   RL = SchedulePhase::Relearning;
        // 0: new, 1: after Again (first step), 2: after Good (second step), 3: learnt,
        // 4: relearning.
        QTest::newRow("new again") << 0 << Grade::Again << L << 0LL << 1LL << 0LL;
        QTest::newRow("new hard") << 0 << Grade::Hard << L << 0LL << 6LL << 0LL;
        QTest::newRow("new good") << 0 << Grade::Good << L << 1LL << 10LL << 0LL;
        QTest::newRow("new easy") << 0 << Grade::Easy << R << -1LL << -1LL << 0LL;
        QTest::newRow("first step good") << 1 << Grade::Good << L << 1LL << 10LL << 0LL;
        QTest::newRow("second step again") << 2 << Grade::Again << L << 0LL << 1LL << 0LL;
        QTest::newRow("second step hard") << 2 << Grade::Hard << L << 1LL << 10LL << 0LL;
        QTest::newRow("second step good") << 2 << Grade::Good << R << -1LL << -1LL << 0LL;
        QTest::newRow("learnt again") << 3 << Grade::Again << RL << 0LL << 10LL << 1LL;
        QTest::newRow("learnt hard") << 3 << Grade::Hard << R << -1LL << -1LL << 0LL;
        QTest::newRow("relearning again") << 4 << Grade::Again << RL << 0LL << 10LL << 1LL;
        QTest::newRow("relearning hard") << 4 << Grade::Hard << RL << 0LL << 15LL << 1LL;
        QTest::newRow("relearning good") << 4 << Grade::Good << R << -1LL << -1LL << 1LL;
    }
    void steps()
    {
        QFETCH(int, phase);
        QFETCH(Grade, grade);
        QFETCH(SchedulePhase, after);
        QFETCH(qint64, learningStep);
        QFETCH(qint64, minutes);
        QFETCH(qint64, lapses);
        const Scheduler scheduler(withoutFuzz());
        const QList<Grade> histories[] = {
            {}, {Grade::Again}, {Grade::Good}, {Grade::Easy}, {Grade::Easy, Grade::Again}};
        QDateTime now = utc("2026-01-05T10:00:00Z");
        FaceSchedule schedule;
        for (Grade earlier : histories[phase]) {
            schedule = scheduler.review(schedule, earlier, now, noDraw);
            now = *schedule.nextReview;
        }
        const FaceSchedule next = scheduler.review(schedule, grade, now, noDraw);
        QCOMPARE(next.phase(), after);
        QCOMPARE(next.memory->learningStep.value_or(-1), learningStep);
        QCOMPARE(next.memory->lapses, lapses);
        QCOMPARE(*next.lastReview, now);
        const qint64 waited = now.secsTo(*next.nextReview);
        if (minutes >= 0)
            QCOMPARE(waited, minutes * 60);
        else
            QVERIFY(waited >= 86400 && waited % 86400 == 0);
    }

    void shortenedStepsCountAsTheLast()
    {
        SchedulerParameters parameters = withoutFuzz();
        FaceSchedule schedule;
        schedule.memory = ReviewMemory{2.3, 5, 1, 0, 7};
        schedule.lastReview = utc("2026-01-05T10:00:00Z");
        const QDateTime now = utc("2026-01-05T10:10:00Z");
        const FaceSchedule hard = Scheduler(parameters).review(schedule, Grade::Hard, now, noDraw);
        QCOMPARE(hard.memory->learningStep, 1);
        QCOMPARE(now.secsTo(*hard.nextReview), 600);
        parameters.learningSteps.clear();
        // Without steps a face in them leaves at once, whatever the grade.
        const FaceSchedule again =
            Scheduler(parameters).review(schedule, Grade::Again, now, noDraw);
        QCOMPARE(again.phase(), SchedulePhase::Review);
    }

    void countsFromAStoredRecordStopAtTheLargest()
    {
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        FaceSchedule schedule;
        schedule.memory = ReviewMemory{3, 5, largest, largest, std::nullopt};
        schedule.lastReview = utc("2026-01-05T10:00:00Z");
        const FaceSchedule next =
            Scheduler(withoutFuzz())
                .review(schedule, Grade::Again, utc("2026-01-09T10:00:00Z"), noDraw);
        QCOMPARE(next.memory->reviews, largest);
        QCOMPARE(next.memory->lapses, largest);
    }

    void retrievabilityCountsWholeDays()
    {
        const Scheduler scheduler;
        QVERIFY(!scheduler.retrievability({}, utc("2026-01-05T10:00:00Z")));
        FaceSchedule schedule;
        schedule.memory = ReviewMemory{10, 5, 3, 0, std::nullopt};
        schedule.lastReview = utc("2026-01-05T10:00:00Z");
        QCOMPARE(*scheduler.retrievability(schedule, utc("2026-01-15T09:59:59Z")),
                 scheduler.model().retrievability(9, 10));
        QCOMPARE(*scheduler.retrievability(schedule, utc("2026-01-15T10:00:00Z")),
                 scheduler.model().retrievability(10, 10));
    }

    void fuzzBounds_data()
    {
        QTest::addColumn<qint64>("days");
        QTest::addColumn<qint64>("maximum");
        QTest::addColumn<qint64>("low");
        QTest::addColumn<qint64>("high");
        QTest::newRow("2: none") << 2LL << 36500LL << 2LL << 2LL;
        QTest::newRow("3") << 3LL << 36500LL << 2LL << 4LL;
        QTest::newRow("10") << 10LL << 36500LL << 8LL << 12LL;
        QTest::newRow("100") << 100LL << 36500LL << 93LL << 107LL;
        QTest::newRow("at the maximum") << 36500LL << 36500LL << 34673LL << 36500LL;
        QTest::newRow("maximum below the range") << 10LL << 10LL << 8LL << 10LL;
    }
    void fuzzBounds()
    {
        QFETCH(qint64, days);
        QFETCH(qint64, maximum);
        QFETCH(qint64, low);
        QFETCH(qint64, high);
        QCOMPARE(fuzzedInterval(days, maximum, [] { return 0.0; }), low);
        QCOMPARE(fuzzedInterval(days, maximum, [] { return 0.9999999; }), high);
        // Every whole number of the range is drawn equally often from an even spread.
        QHash<qint64, int> counts;
        const int draws = int(high - low + 1) * 100;
        for (int i = 0; i < draws; ++i) {
            const double u = (i + 0.5) / draws;
            ++counts[fuzzedInterval(days, maximum, [u] { return u; })];
        }
        QCOMPARE(counts.size(), int(high - low + 1));
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            QVERIFY(it.key() >= low && it.key() <= high);
            QCOMPARE(it.value(), 100);
        }
    }

    void fuzzAppliesToLearntFacesOnly()
    {
        const QDateTime now = utc("2026-01-05T10:00:00Z");
        const Scheduler plainScheduler(withoutFuzz());
        const FaceSchedule learning = plainScheduler.review({}, Grade::Good, now, noDraw);
        const qint64 plain =
            elapsedDays(now, *plainScheduler.review(learning, Grade::Easy, now, noDraw).nextReview);

        const Scheduler scheduler; // fuzz on
        int draws = 0;
        const UniformSource lowest = [&draws] {
            ++draws;
            return 0.0;
        };
        FaceSchedule schedule = scheduler.review({}, Grade::Good, now, lowest);
        QCOMPARE(draws, 0); // a learning step is never fuzzed
        schedule = scheduler.review(schedule, Grade::Easy, now, lowest);
        QCOMPARE(draws, 1);
        const qint64 fuzzed = elapsedDays(now, *schedule.nextReview);
        QCOMPARE(fuzzed, fuzzedInterval(plain, 36500, [] { return 0.0; }));
        QVERIFY(fuzzed < plain);
    }

    void parameterValidation_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("error");
        QTest::newRow("defaults") << 0 << QString();
        QTest::newRow("retention low")
            << 1 << QStringLiteral("Desired retention is 0.69; it must lie between 0.70 and 0.97.");
        QTest::newRow("retention high")
            << 2 << QStringLiteral("Desired retention is 0.98; it must lie between 0.70 and 0.97.");
        QTest::newRow("bad weight")
            << 3 << QStringLiteral("Weight w16 is 0.5; it must lie between 1 and 6.");
        QTest::newRow("zero interval")
            << 4 << QStringLiteral("Maximum interval is 0 days; it must lie between 1 and 36500.");
        QTest::newRow("zero step")
            << 5 << QStringLiteral("Every learning step must last at least one minute.");
        QTest::newRow("negative new faces")
            << 6 << QStringLiteral("New faces per day is -1; it cannot be negative.");
    }
    void parameterValidation()
    {
        QFETCH(int, change);
        QFETCH(QString, error);
        SchedulerParameters parameters;
        switch (change) {
        case 1:
            parameters.desiredRetention = 0.69;
            break;
        case 2:
            parameters.desiredRetention = 0.98;
            break;
        case 3:
            parameters.weights[16] = 0.5;
            break;
        case 4:
            parameters.maximumInterval = 0;
            break;
        case 5:
            parameters.relearningSteps = {0};
            break;
        case 6:
            parameters.newFacesPerDay = -1;
            break;
        }
        QString message;
        QCOMPARE(parameters.validate(&message), error.isEmpty());
        QCOMPARE(message, error);
    }

    void studyDayBoundary_data()
    {
        QTest::addColumn<QDateTime>("instant");
        QTest::addColumn<QDate>("day");
        QTest::newRow("just before four") << inBerlin("2026-06-10T03:59:59") << QDate(2026, 6, 9);
        QTest::newRow("four") << inBerlin("2026-06-10T04:00:00") << QDate(2026, 6, 10);
        QTest::newRow("midnight") << inBerlin("2026-06-11T00:00:00") << QDate(2026, 6, 10);
        QTest::newRow("in UTC, after four in Berlin")
            << utc("2026-06-10T02:30:00Z") << QDate(2026, 6, 10);
        QTest::newRow("spring forward night")
            << inBerlin("2026-03-29T03:30:00") << QDate(2026, 3, 28);
        QTest::newRow("fall back, second 02:30")
            << utc("2026-10-25T01:30:00Z") << QDate(2026, 10, 24);
    }
    void studyDayBoundary()
    {
        QFETCH(QDateTime, instant);
        QFETCH(QDate, day);
        const StudyDayClock clock(QTime(4, 0), berlin);
        QCOMPARE(clock.studyDay(instant), day);
        const QDateTime start = clock.startOf(day);
        QVERIFY(start <= instant && instant < clock.startOfNextDay(instant));
        QCOMPARE(clock.studyDay(start), day);
        QCOMPARE(clock.studyDay(start.addSecs(-1)), day.addDays(-1));
    }

    // The day keeps its 04:00 start on the wall clock; its length changes instead.
    void daylightSavingDays_data()
    {
        QTest::addColumn<QTime>("dayStart");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<qint64>("minutes");
        QTest::newRow("spring") << QTime(4, 0) << QDate(2026, 3, 28) << utc("2026-03-28T03:00:00Z")
                                << 23 * 60LL;
        QTest::newRow("autumn") << QTime(4, 0) << QDate(2026, 10, 24) << utc("2026-10-24T02:00:00Z")
                                << 25 * 60LL;
        QTest::newRow("summer") << QTime(4, 0) << QDate(2026, 7, 1) << utc("2026-07-01T02:00:00Z")
                                << 24 * 60LL;
        // A start inside the skipped hour moves to the first time after it: 03:00 summer time,
        // and the next day starts at 02:30 again.
        QTest::newRow("start in the gap")
            << QTime(2, 30) << QDate(2026, 3, 29) << utc("2026-03-29T01:00:00Z") << 23 * 60 + 30LL;
    }
    void daylightSavingDays()
    {
        QFETCH(QTime, dayStart);
        QFETCH(QDate, day);
        QFETCH(QDateTime, start);
        QFETCH(qint64, minutes);
        const StudyDayClock clock(dayStart, berlin);
        QCOMPARE(clock.startOf(day), start);
        const qint64 length = clock.startOf(day).secsTo(clock.startOf(day.addDays(1)));
        QCOMPARE(length, minutes * 60);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "test_scheduler.moc"

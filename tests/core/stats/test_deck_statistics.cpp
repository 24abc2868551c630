#include "core/stats/deck_statistics.h"
#include "core/store/progress_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QTest>

namespace {

const QTimeZone berlin("Europe/Berlin");

// A wall-clock time in a zone, as ms since 1970.
qint64 at(const QTimeZone &zone, const char *local)
{
    const QDateTime parsed = QDateTime::fromString(QString::fromLatin1(local), Qt::ISODate);
    return QDateTime(parsed.date(), parsed.time(), zone).toMSecsSinceEpoch();
}

QDateTime instant(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

DataFile deckOf(const QStringList &texts)
{
    DataFile deck;
    for (const QString &text : texts)
        deck.cards.append(Card({CardFace(text)}));
    return deck;
}

JournalRecord change(JournalChange kind, const QString &face, qint64 time)
{
    JournalRecord record;
    record.kind = kind;
    record.face = faceDigest(face);
    record.time = time;
    return record;
}

JournalRecord review(const QString &face, qint64 time, int grade = 3,
                     SchedulingState before = SchedulingState::Review)
{
    JournalRecord record = change(JournalChange::Review, face, time);
    record.grade = quint8(grade);
    record.stateBefore = before;
    return record;
}

// A record leaving the face learnt, with the given memory and dates.
JournalRecord learnt(const QString &face, qint64 last, qint64 next, double stability,
                     qint64 lapses = 0, std::optional<qint64> step = std::nullopt)
{
    JournalRecord record = review(face, last);
    record.lastReview = last;
    record.nextReview = next;
    record.memory = ReviewMemory{stability, 5, 3, lapses, step};
    return record;
}

StatsFigures figuresOf(const QList<JournalRecord> &journal, const DataFile &deck, qint64 now,
                       const QTimeZone &zone = berlin, SchedulerParameters parameters = {})
{
    DeckStatistics statistics(parameters, StudyDayClock(QTime(4, 0), zone), instant(now));
    statistics.reset(journal, deck);
    return statistics.figures();
}

} // namespace

class TestDeckStatistics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Reviews fall on the study day that starts at 04:00 local time, across zones and
    // daylight-saving changes.
    void reviewDays_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QByteArray>("review");
        QTest::addColumn<QDate>("day"); // invalid: outside the heatmap
        QTest::newRow("before 04:00") << QByteArray("Europe/Berlin")
                                      << QByteArray("2026-11-02T03:59:59") << QDate(2026, 11, 1);
        QTest::newRow("at 04:00") << QByteArray("Europe/Berlin")
                                  << QByteArray("2026-11-02T04:00:00") << QDate(2026, 11, 2);
        QTest::newRow("past midnight") << QByteArray("Europe/Berlin")
                                       << QByteArray("2026-10-31T00:30:00") << QDate(2026, 10, 30);
        QTest::newRow("clocks back, second 02:30")
            << QByteArray("Europe/Berlin") << QByteArray("2026-10-25T03:30:00")
            << QDate(2026, 10, 24);
        QTest::newRow("clocks forward") << QByteArray("Europe/Berlin")
                                        << QByteArray("2026-03-29T03:30:00") << QDate(2026, 3, 28);
        QTest::newRow("half-hour zone") << QByteArray("Asia/Kolkata")
                                        << QByteArray("2026-11-02T03:45:00") << QDate(2026, 11, 1);
        QTest::newRow("west of UTC") << QByteArray("America/New_York")
                                     << QByteArray("2026-11-01T04:10:00") << QDate(2026, 11, 1);
        QTest::newRow("364 days ago") << QByteArray("Europe/Berlin")
                                      << QByteArray("2025-11-03T10:00:00") << QDate(2025, 11, 3);
        QTest::newRow("365 days ago")
            << QByteArray("Europe/Berlin") << QByteArray("2025-11-02T10:00:00") << QDate();
        QTest::newRow("tomorrow") << QByteArray("Europe/Berlin")
                                  << QByteArray("2026-11-03T05:00:00") << QDate();
    }
    void reviewDays()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QByteArray, review);
        QFETCH(QDate, day);
        const QTimeZone timeZone(zone);
        QVERIFY(timeZone.isValid());
        const StatsFigures figures =
            figuresOf({::review(QStringLiteral("a"), at(timeZone, review.constData()))},
                      deckOf({QStringLiteral("a")}), at(timeZone, "2026-11-02T12:00:00"), timeZone);
        QCOMPARE(figures.today, QDate(2026, 11, 2));
        QCOMPARE(figures.reviewsPerDay.size(), heatmapDays);
        QList<int> expected(heatmapDays, 0);
        if (day.isValid())
            expected[heatmapDays - 1 - day.daysTo(figures.today)] = 1;
        QCOMPARE(figures.reviewsPerDay, expected);
        QCOMPARE(figures.totalReviews, 1);
    }

    // Day offsets from today with reviews, and the streaks they make.
    void streaks_data()
    {
        QTest::addColumn<QList<int>>("days");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("longest");
        QTest::newRow("none") << QList<int>{} << 0 << 0;
        QTest::newRow("today") << QList<int>{0} << 1 << 1;
        QTest::newRow("not yet today") << QList<int>{-2, -1} << 2 << 2;
        QTest::newRow("broken") << QList<int>{-3, -2} << 0 << 2;
        QTest::newRow("older run longer") << QList<int>{-9, -8, -7, -6, -1, 0} << 2 << 4;
        QTest::newRow("two reviews a day") << QList<int>{-1, -1, 0, 0} << 2 << 2;
        QTest::newRow("over years") << QList<int>{-800, -799, -798, 0} << 1 << 3;
    }
    void streaks()
    {
        QFETCH(QList<int>, days);
        QFETCH(int, current);
        QFETCH(int, longest);
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        QList<JournalRecord> journal;
        for (int day : days)
            journal.append(review(QStringLiteral("a"), now + qint64(day) * 86400000));
        const StatsFigures figures = figuresOf(journal, deckOf({QStringLiteral("a")}), now);
        QCOMPARE(figures.currentStreak, current);
        QCOMPARE(figures.longestStreak, longest);
    }

    // An undone review no longer counts; a redone one counts again.
    void undoneReviews_data()
    {
        QTest::addColumn<QByteArray>("changes"); // R review, P picker, U undo, D redo; then face
        QTest::addColumn<QList<qsizetype>>("standing");
        QTest::newRow("undo") << QByteArray("Ra Ua") << QList<qsizetype>{};
        QTest::newRow("undo other face first") << QByteArray("Ra Rb Ua") << QList<qsizetype>{1};
        QTest::newRow("redo") << QByteArray("Ra Ua Da") << QList<qsizetype>{0};
        QTest::newRow("undo twice") << QByteArray("Ra Ra Ua Ua Da") << QList<qsizetype>{0};
        QTest::newRow("new change ends redo") << QByteArray("Ra Ua Rb Da") << QList<qsizetype>{2};
        QTest::newRow("undo a picker change") << QByteArray("Ra Pa Ua") << QList<qsizetype>{0};
        QTest::newRow("undo with nothing done") << QByteArray("Ua Ra") << QList<qsizetype>{1};
    }
    void undoneReviews()
    {
        QFETCH(QByteArray, changes);
        QFETCH(QList<qsizetype>, standing);
        QList<JournalRecord> journal;
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        for (const QByteArray &token : changes.split(' ')) {
            const QString face = QString::fromLatin1(token.mid(1));
            const qint64 time = now - 1000 * (100 - journal.size());
            switch (token[0]) {
            case 'R':
                journal.append(review(face, time));
                break;
            case 'P':
                journal.append(change(JournalChange::Picker, face, time));
                break;
            case 'U':
                journal.append(change(JournalChange::Undo, face, time));
                break;
            case 'D':
                journal.append(change(JournalChange::Redo, face, time));
                break;
            }
        }
        QCOMPARE(standingReviewIndexes(journal), standing);
        const StatsFigures figures =
            figuresOf(journal, deckOf({QStringLiteral("a"), QStringLiteral("b")}), now);
        QCOMPARE(figures.reviewsPerDay.last(), int(standing.size()));
        QCOMPARE(figures.totalReviews, standing.size());
    }

    // Where a face due at a time lands in the forecast and today's counts.
    void forecast_data()
    {
        QTest::addColumn<QByteArray>("due");
        QTest::addColumn<qint64>("step"); // -1: learnt
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("day"); // -1: not in the forecast
        QTest::addColumn<int>("dueToday");
        QTest::addColumn<int>("learningToday");
        const int learning = int(CardFaceProgress::Learning);
        QTest::newRow("overdue") << QByteArray("2026-06-01T10:00:00") << qint64(-1) << learning << 0
                                 << 1 << 0;
        QTest::newRow("tonight") << QByteArray("2026-06-10T23:00:00") << qint64(-1) << learning << 0
                                 << 1 << 0;
        QTest::newRow("before tomorrow's start")
            << QByteArray("2026-06-11T03:59:00") << qint64(-1) << learning << 0 << 1 << 0;
        QTest::newRow("tomorrow") << QByteArray("2026-06-11T04:00:00") << qint64(-1) << learning
                                  << 1 << 0 << 0;
        QTest::newRow("in 29 days")
            << QByteArray("2026-07-09T12:00:00") << qint64(-1) << learning << 29 << 0 << 0;
        QTest::newRow("in 30 days")
            << QByteArray("2026-07-10T12:00:00") << qint64(-1) << learning << -1 << 0 << 0;
        QTest::newRow("in its steps")
            << QByteArray("2026-06-10T20:10:00") << qint64(1) << learning << 0 << 0 << 1;
        QTest::newRow("archived") << QByteArray("2026-06-10T20:10:00") << qint64(-1)
                                  << int(CardFaceProgress::Archived) << -1 << 0 << 0;
        QTest::newRow("abandoned") << QByteArray("2026-06-10T20:10:00") << qint64(-1)
                                   << int(CardFaceProgress::Abandoned) << -1 << 0 << 0;
        QTest::newRow("mastered") << QByteArray("2026-06-12T20:10:00") << qint64(-1)
                                  << int(CardFaceProgress::Mastered) << 2 << 0 << 0;
    }
    void forecast()
    {
        QFETCH(QByteArray, due);
        QFETCH(qint64, step);
        QFETCH(int, progress);
        QFETCH(int, day);
        QFETCH(int, dueToday);
        QFETCH(int, learningToday);
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        JournalRecord record =
            learnt(QStringLiteral("a"), now - 86400000, at(berlin, due.constData()), 3, 0,
                   step < 0 ? std::nullopt : std::optional<qint64>(step));
        record.progress = CardFaceProgress(progress);
        DataFile deck = deckOf({QStringLiteral("a")});
        deck.cards[0].faces[0].progress = CardFaceProgress(progress);
        const StatsFigures figures = figuresOf({record}, deck, now);
        QList<int> expected(forecastDays, 0);
        if (day >= 0)
            expected[day] = 1;
        QCOMPARE(figures.forecast, expected);
        QCOMPARE(figures.dueToday, dueToday);
        QCOMPARE(figures.learningToday, learningToday);
        QCOMPARE(figures.newToday, 0);
    }

    // New faces left for today: the daily limit less the faces introduced today.
    void newToday_data()
    {
        QTest::addColumn<int>("newFaces");
        QTest::addColumn<int>("introducedToday");
        QTest::addColumn<int>("expected");
        QTest::newRow("fewer than the limit") << 3 << 0 << 3;
        QTest::newRow("limited") << 30 << 0 << 20;
        QTest::newRow("some introduced") << 30 << 15 << 5;
        QTest::newRow("over the limit") << 30 << 25 << 0;
    }
    void newToday()
    {
        QFETCH(int, newFaces);
        QFETCH(int, introducedToday);
        QFETCH(int, expected);
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        QStringList texts;
        for (int i = 0; i < newFaces; ++i)
            texts.append(QStringLiteral("new %1").arg(i));
        QList<JournalRecord> journal;
        for (int i = 0; i < introducedToday; ++i)
            journal.append(
                review(QStringLiteral("gone %1").arg(i), now - 1000, 3, SchedulingState::New));
        // Yesterday's introductions do not count against today.
        journal.prepend(review(QStringLiteral("old"), now - 86400000, 3, SchedulingState::New));
        QCOMPARE(figuresOf(journal, deckOf(texts), now).newToday, expected);
    }

    // True retention: reviews of learnt faces answered Hard or better, by study month.
    void retentionPerMonth()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        const QString a = QStringLiteral("a");
        const QList<JournalRecord> journal = {
            review(a, at(berlin, "2026-04-30T12:00:00"), 1),
            review(a, at(berlin, "2026-05-01T03:00:00"), 2), // still April's last study day
            review(a, at(berlin, "2026-05-01T05:00:00"), 1),
            review(a, at(berlin, "2026-05-02T05:00:00"), 4),
            review(a, at(berlin, "2026-05-03T05:00:00"), 3, SchedulingState::Learning),
            review(a, at(berlin, "2026-05-04T05:00:00"), 3, SchedulingState::Relearning),
            review(a, at(berlin, "2025-06-30T12:00:00"), 3), // before the twelve months
        };
        const StatsFigures figures = figuresOf(journal, deckOf({a}), now);
        QCOMPARE(figures.retention.size(), retentionMonths);
        QCOMPARE(figures.retention.first().month, QDate(2025, 7, 1));
        QCOMPARE(figures.retention.last(), (MonthRetention{QDate(2026, 6, 1), 0, 0}));
        QCOMPARE(figures.retention[9], (MonthRetention{QDate(2026, 4, 1), 2, 1}));
        QCOMPARE(figures.retention[10], (MonthRetention{QDate(2026, 5, 1), 2, 1}));
        QCOMPARE(figures.reviewsPerGrade, (std::array<qint64, 4>{2, 1, 3, 1}));
        QCOMPARE(figures.desiredRetention, 0.9);
    }

    // Counts per progress and rating, histograms, predicted retention and the hardest faces.
    void faceFigures()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        const qint64 day = 86400000;
        QStringList texts;
        for (int i = 0; i < 13; ++i)
            texts.append(QStringLiteral("face %1").arg(i));
        DataFile deck = deckOf(texts);
        deck.cards[0].faces[0].rating = 3;
        deck.cards[1].faces[0].rating = 7; // out of range: counts as three dots
        deck.cards[2].faces[0].progress = CardFaceProgress::Mastered;
        deck.cards[3].faces[0].progress = CardFaceProgress::Abandoned;
        QList<JournalRecord> journal;
        // Twelve learnt faces with 1..12 lapses (face 12 stays new); stability 10 reviewed ten
        // days ago is recalled at 90 %, stability 0.5 falls into the first bin.
        for (int i = 0; i < 12; ++i) {
            const bool fresh = i < 11;
            journal.append(learnt(texts[i], now - 10 * day, now + day, fresh ? 10 : 0.5, i + 1));
            journal.last().memory->difficulty = i == 0 ? 10 : 1 + i * 0.5;
        }
        const StatsFigures figures = figuresOf(journal, deck, now);
        QCOMPARE(figures.facesPerProgress, (std::array<int, 5>{11, 0, 1, 0, 1}));
        QCOMPARE(figures.facesPerRating, (std::array<int, 4>{11, 0, 0, 2}));
        QCOMPARE(figures.stabilityHistogram,
                 (QList<int>{1, 0, 0, 0, 11, 0, 0, 0, 0, 0})); // 10 days: [7, 14)
        QCOMPARE(figures.difficultyHistogram, (QList<int>{1, 2, 2, 2, 2, 2, 0, 0, 1}));
        // The abandoned face is left out: ten faces at 0.9 and one at R(10, 0.5).
        const double low = FsrsModel().retrievability(10, 0.5);
        QVERIFY(figures.averageRetention);
        QVERIFY(qAbs(*figures.averageRetention - (10 * 0.9 + low) / 11) < 1e-9);
        QCOMPARE(figures.hardest.size(), hardestFaceCount);
        QCOMPARE(figures.hardest.first(), (HardFace{11, 0, 12}));
        QCOMPARE(figures.hardest.last(), (HardFace{2, 0, 3}));
        QCOMPARE(figures.newToday, 1);
    }

    void emptyDeck()
    {
        const StatsFigures figures = figuresOf({}, {}, at(berlin, "2026-06-10T20:00:00"));
        QVERIFY(!figures.averageRetention);
        QCOMPARE(figures.hardest, QList<HardFace>{});
        QCOMPARE(figures.forecast, QList<int>(forecastDays, 0));
    }

    // Following the journal record by record, and the deck card by card, gives the figures
    // that reading it all at once gives.
    void incrementalMatchesReset()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        const qint64 day = 86400000;
        QStringList texts;
        for (int i = 0; i < 6; ++i)
            texts.append(QStringLiteral("face %1").arg(i));
        QList<JournalRecord> journal;
        for (int i = 0; i < 200; ++i) {
            const QString &face = texts[i % 6];
            const qint64 time = now - (200 - i) * day / 3;
            if (i % 7 == 3) {
                journal.append(change(JournalChange::Undo, face, time));
            } else if (i % 11 == 5) {
                journal.append(change(JournalChange::Redo, face, time));
            } else {
                journal.append(learnt(face, time, time + (i % 9) * day, 1 + i % 40, i % 5,
                                      i % 4 == 0 ? std::optional<qint64>(0) : std::nullopt));
                journal.last().grade = quint8(1 + i % 4);
                journal.last().stateBefore = SchedulingState(i % 4);
                journal.last().rating = qint8(i % 4);
                journal.last().progress = CardFaceProgress(i % 5);
            }
        }
        // The deck shows what the journal last recorded of each face.
        DataFile deck = deckOf(texts);
        for (const JournalRecord &record : std::as_const(journal)) {
            for (qsizetype t = 0; t < texts.size(); ++t) {
                if (record.face == faceDigest(texts[t])) {
                    CardFace &face = deck.cards[t].faces[0];
                    face.rating = record.rating;
                    face.progress = record.progress;
                    face.memory.reset();
                    if (record.memory)
                        face.memory =
                            ReviewMemory{record.memory->stability, record.memory->difficulty,
                                         record.memory->reviews, record.memory->lapses,
                                         record.memory->learningStep};
                    const auto date = [](const std::optional<qint64> &ms) {
                        return ms ? std::optional(instant(*ms)) : std::nullopt;
                    };
                    face.lastReview = date(record.lastReview);
                    face.nextReview = date(record.nextReview);
                }
            }
        }
        DeckStatistics live({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        live.reset(journal.mid(0, 50), deck);
        for (qsizetype i = 50; i < journal.size(); ++i)
            live.addRecord(journal[i]);
        // The deck's own fields win over the journal's.
        deck.cards[2].faces[0].rating = 3;
        deck.cards[2].faces[0].progress = CardFaceProgress::Archived;
        live.updateCard(2, deck.cards[2]);
        live.updateCard(99, deck.cards[2]); // no such card: ignored

        DeckStatistics whole({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        whole.reset(journal, deck);
        const StatsFigures expected = whole.figures();
        QVERIFY(expected.totalReviews > 100);
        QVERIFY(!expected.hardest.isEmpty());
        const StatsFigures actual = live.figures();
        QCOMPARE(actual.reviewsPerDay, expected.reviewsPerDay);
        QCOMPARE(actual.retention, expected.retention);
        QCOMPARE(actual.forecast, expected.forecast);
        QCOMPARE(actual.hardest, expected.hardest);
        QVERIFY(qAbs(*actual.averageRetention - *expected.averageRetention) < 1e-12);
        StatsFigures same = actual;
        same.averageRetention = expected.averageRetention;
        QVERIFY(same == expected);
    }

    // The window's way: the faces from a deck that carries their schedules, the reviews read
    // from the deck's journals on their own (two machines, one torn append), gives what reading
    // the merged journal at once gives.
    void journalFilesMatchReset()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        const qint64 day = 86400000;
        const QStringList texts = {u"a"_qs, u"b"_qs, u"c"_qs};
        QList<JournalRecord> machines[2];
        for (int i = 0; i < 60; ++i) {
            const qint64 time = now - (60 - i) * day / 2;
            JournalRecord record = i % 9 == 4 ? change(JournalChange::Undo, texts[i % 3], time + 1)
                                              : learnt(texts[i % 3], time, time + day, 3, i % 4);
            record.grade = i % 9 == 4 ? 0 : quint8(1 + i % 4);
            machines[i % 2].append(record);
        }
        QTemporaryDir folder;
        const QString progress = folder.filePath(u"deck.plist"_qs);
        QList<JournalRecord> merged;
        for (int m = 0; m < 2; ++m) {
            QByteArray bytes;
            for (const JournalRecord &record : std::as_const(machines[m]))
                bytes += encodeJournalRecord(record);
            if (m == 1)
                bytes += encodeJournalRecord(machines[m].first()).left(40); // torn
            QFile file(journalPath(progress, QStringLiteral("000000000000000%1").arg(m)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        const QList<JournalRecord> records = readDeckJournal(progress).records;
        QCOMPARE(records.size(), 60);

        DataFile deck = deckOf(texts);
        DeckStatistics whole({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        whole.reset(records, deck);
        const StatsFigures expected = whole.figures();
        QVERIFY(expected.totalReviews > 40);

        const JournalCounts counts = countDeckReviews(progress, StudyDayClock(QTime(4, 0), berlin));
        for (const QString &path : deckJournalPaths(progress)) {
            const qint64 size = QFileInfo(path).size();
            QCOMPARE(counts.readUpTo.value(path), size - size % journalRecordSize);
        }
        // What the journal last recorded of each face, as loading the deck replays it.
        for (const JournalRecord &record : records) {
            for (qsizetype t = 0; t < texts.size(); ++t) {
                if (record.face != faceDigest(texts[t]))
                    continue;
                CardFace &face = deck.cards[t].faces[0];
                face.memory.reset();
                if (const std::optional<ReviewMemory> &m = record.memory)
                    face.memory = ReviewMemory{m->stability, m->difficulty, m->reviews, m->lapses,
                                               m->learningStep};
                const auto date = [](const std::optional<qint64> &ms) {
                    return ms ? std::optional(instant(*ms)) : std::nullopt;
                };
                face.lastReview = date(record.lastReview);
                face.nextReview = date(record.nextReview);
            }
        }
        DeckStatistics parts({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        parts.setDeck(deck);
        parts.setCounts(counts.counts, faceSlotsByDigest(deck));
        QCOMPARE(parts.figures(), expected);
    }

    // A report tallies the faces as it reads the deck, without keeping them; it must find
    // what keeping them finds, the hardest faces and their ties included.
    void tallyingTheDeckMatchesKeepingIt()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        const qint64 day = 86400000;
        DataFile deck;
        for (int c = 0; c < 12; ++c) {
            QList<CardFace> faces;
            for (int f = 0; f < 1 + c % 3; ++f) {
                CardFace face(QStringLiteral("%1.%2").arg(c).arg(f));
                const int i = c * 3 + f;
                face.rating = qint8(i % 6 - 1); // one below and past the dots
                face.progress = CardFaceProgress(i % 5);
                if (i % 4 != 0) {
                    // Lapses rise and fall, so that later faces overtake and tie earlier ones.
                    face.memory = ReviewMemory{0.3 + i * 7.5, 1.0 + i % 10, 4, (i * 5) % 7,
                                               i % 3 ? std::nullopt : std::optional<qint64>(1)};
                    face.lastReview = instant(now - (i % 9) * day);
                    face.nextReview = instant(now + (i % 11 - 3) * day);
                }
                faces.append(face);
            }
            deck.cards.append(Card(faces));
        }
        DeckStatistics kept({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        kept.setDeck(deck);
        DeckStatistics tallied({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        tallied.tallyDeck(deck);
        const StatsFigures expected = kept.figures();
        QCOMPARE(expected.hardest.size(), hardestFaceCount);
        QVERIFY(expected.hardest[0].lapses == expected.hardest[1].lapses);
        QVERIFY(expected.ratingSum != 0);
        const StatsFigures actual = tallied.figures();
        QCOMPARE(actual.hardest, expected.hardest);
        QCOMPARE(actual.forecast, expected.forecast);
        QCOMPARE(actual.ratingSum, expected.ratingSum);
        QVERIFY(actual == expected);
    }

    // A new study day moves the heatmap and the forecast on.
    void nextDay()
    {
        const qint64 now = at(berlin, "2026-06-10T20:00:00");
        DeckStatistics statistics({}, StudyDayClock(QTime(4, 0), berlin), instant(now));
        statistics.reset({learnt(QStringLiteral("a"), now, now + 86400000, 2)},
                         deckOf({QStringLiteral("a")}));
        QCOMPARE(statistics.figures().forecast[1], 1);
        statistics.setNow(instant(now + 86400000));
        const StatsFigures figures = statistics.figures();
        QCOMPARE(figures.today, QDate(2026, 6, 11));
        QCOMPARE(figures.reviewsPerDay[heatmapDays - 2], 1);
        QCOMPARE(figures.forecast[0], 1);
        QCOMPARE(figures.dueToday, 1);
    }

    // The review log that the weight optimizers read.
    void reviewLog()
    {
        JournalRecord first = review(QStringLiteral("a"), 1767225600123, 1, SchedulingState::New);
        JournalRecord undone = review(QStringLiteral("b"), 1767225700000, 3);
        JournalRecord second =
            review(QStringLiteral("a"), 1767312000000, 4, SchedulingState::Relearning);
        const QList<JournalRecord> journal = {
            first, undone, change(JournalChange::Undo, QStringLiteral("b"), 1767225701000),
            change(JournalChange::Picker, QStringLiteral("a"), 1767225702000), second};
        // MD5("a") = 0cc175b9c0f1b6a8...: the top bit is clear already.
        const QByteArray id = QByteArray::number(0x0cc175b9c0f1b6a8LL);
        QCOMPARE(reviewLogCsv(journal),
                 "card_id,review_time,review_rating,review_state,review_duration\n" + id +
                     ",1767225600123,1,0,0\n" + id + ",1767312000000,4,3,0\n");
        FaceDigest high;
        high.bytes.fill(0xff);
        QCOMPARE(faceNumber(high), std::numeric_limits<qint64>::max());
    }
};

QTEST_GUILESS_MAIN(TestDeckStatistics)
#include "test_deck_statistics.moc"

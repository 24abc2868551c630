#include "core/schedule/due_queue.h"

#include <QTest>

namespace {

const QTimeZone berlin("Europe/Berlin");
const StudyDayClock berlinDay(QTime(4, 0), berlin);

QDateTime inBerlin(const QString &text)
{
    const QDateTime local = QDateTime::fromString(text, Qt::ISODate);
    return QDateTime(local.date(), local.time(), berlin).toUTC();
}

enum class Kind { New, Learning, Learnt };

CardFace face(Kind kind, const QDateTime &next = {},
              CardFaceProgress progress = CardFaceProgress::Learning)
{
    CardFace f(QStringLiteral("face\n"));
    f.progress = progress;
    if (kind == Kind::New)
        return f;
    f.memory = ReviewMemory{3, 5, 2, 0, std::nullopt};
    if (kind == Kind::Learning)
        f.memory->learningStep = 1;
    f.lastReview = next.addDays(-1);
    f.nextReview = next;
    return f;
}

DataFile deckOf(const QList<QList<CardFace>> &cards)
{
    DataFile deck;
    for (const QList<CardFace> &faces : cards)
        deck.cards.append(Card(faces));
    return deck;
}

QString order(const DueQueue &queue)
{
    QStringList places;
    for (const QueuedFace &f : queue.faces)
        places << QStringLiteral("%1.%2%3").arg(f.card).arg(f.face).arg(f.isNew ? "n" : "");
    return places.join(QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestDueQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Times are Berlin wall-berlinDay times; a study day starts at 04:00 there.
    void dueAroundTheDayStart_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("now");
        QTest::addColumn<bool>("due");
        const Kind learnt = Kind::Learnt, learning = Kind::Learning;
        QTest::newRow("learnt, before four") << learnt << "2026-06-10T10:00"
                                             << "2026-06-10T03:59" << false;
        QTest::newRow("learnt, at four") << learnt << "2026-06-10T04:00"
                                         << "2026-06-10T04:00" << true;
        QTest::newRow("learnt, later that day") << learnt << "2026-06-10T23:00"
                                                << "2026-06-10T04:00" << true;
        QTest::newRow("learnt, night after") << learnt << "2026-06-11T03:30"
                                             << "2026-06-10T04:00" << true;
        QTest::newRow("learnt, next day") << learnt << "2026-06-11T04:00"
                                          << "2026-06-11T03:59" << false;
        QTest::newRow("learnt, overdue") << learnt << "2026-05-01T12:00"
                                         << "2026-06-10T12:00" << true;
        QTest::newRow("learning, a second early") << learning << "2026-06-10T10:00:01"
                                                  << "2026-06-10T10:00" << false;
        QTest::newRow("learning, on time") << learning << "2026-06-10T10:00"
                                           << "2026-06-10T10:00" << true;
        // The night the clocks go forward: the study day of the 28th ends at 04:00 summer time,
        // 23 hours after it began.
        QTest::newRow("spring, before four") << learnt << "2026-03-29T06:00"
                                             << "2026-03-29T03:59" << false;
        QTest::newRow("spring, half past four") << learnt << "2026-03-29T06:00"
                                                << "2026-03-29T04:30" << true;
        QTest::newRow("spring, after the skipped hour") << learnt << "2026-03-29T03:30"
                                                        << "2026-03-28T20:00" << true;
        // The night they go back: 03:30 winter time is still the 24th's study day.
        QTest::newRow("autumn, half past three") << learnt << "2026-10-25T12:00"
                                                 << "2026-10-25T03:30" << false;
        QTest::newRow("autumn, four") << learnt << "2026-10-25T12:00"
                                      << "2026-10-25T04:00" << true;
    }
    void dueAroundTheDayStart()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, next);
        QFETCH(QString, now);
        QFETCH(bool, due);
        const DataFile deck = deckOf({{face(kind, inBerlin(next))}});
        const DueQueue queue = buildDueQueue(deck, inBerlin(now), berlinDay, 20);
        QCOMPARE(queue.dueCount, due ? 1 : 0);
        QCOMPARE(queue.faces.size(), due ? 1 : 0);
        QCOMPARE(queue.nextDue.has_value(), !due);
    }

    void archivedAndAbandonedAreNeverDue()
    {
        const QDateTime now = inBerlin(QStringLiteral("2026-06-10T12:00"));
        const QDateTime past = now.addDays(-3);
        const DataFile deck = deckOf({{face(Kind::Learnt, past, CardFaceProgress::Archived),
                                       face(Kind::Learning, past, CardFaceProgress::Abandoned),
                                       face(Kind::New, {}, CardFaceProgress::Archived),
                                       face(Kind::Learnt, past, CardFaceProgress::Mastered),
                                       face(Kind::New, {}, CardFaceProgress::New)}});
        const DueQueue queue = buildDueQueue(deck, now, berlinDay, 20);
        QCOMPARE(order(queue), QStringLiteral("0.3 0.4n"));
        QVERIFY(!queue.nextDue);
    }

    void newFacesInFileOrderUpToTheLimit_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none left") << 0 << QString();
        QTest::newRow("two, both of the first card") << 2 << QStringLiteral("0.0n 0.1n");
        QTest::newRow("all") << 20 << QStringLiteral("0.0n 1.0n 0.1n 2.0n");
    }
    void newFacesInFileOrderUpToTheLimit()
    {
        QFETCH(int, limit);
        QFETCH(QString, expected);
        const DataFile deck =
            deckOf({{face(Kind::New), face(Kind::New)}, {face(Kind::New)}, {face(Kind::New)}});
        const DueQueue queue =
            buildDueQueue(deck, inBerlin(QStringLiteral("2026-06-10T12:00")), berlinDay, limit);
        QCOMPARE(order(queue), expected);
        QCOMPARE(queue.newCount, qMin(limit, 4));
    }

    void learningFirstThenLongestDueThenNew()
    {
        const QDateTime now = inBerlin(QStringLiteral("2026-06-10T12:00"));
        const DataFile deck = deckOf({
            {face(Kind::New), face(Kind::Learnt, now.addDays(-2))},
            {face(Kind::Learnt, now.addSecs(3600)), face(Kind::Learning, now.addSecs(-60))},
            {face(Kind::Learning, now.addSecs(-600)), face(Kind::Learnt, now.addDays(-9))},
        });
        const DueQueue queue = buildDueQueue(deck, now, berlinDay, 20);
        QCOMPARE(order(queue), QStringLiteral("2.0 1.1 2.1 0.1 1.0 0.0n"));
        QCOMPARE(queue.dueCount, 5);
        QCOMPARE(queue.newCount, 1);
    }

    void siblingsAreNotShownBackToBack_data()
    {
        QTest::addColumn<int>("afterCard"); // -1: none
        QTest::addColumn<QString>("expected");
        QTest::newRow("fresh start") << -1 << QStringLiteral("0.0 1.0 0.1 0.2");
        QTest::newRow("after card 0") << 0 << QStringLiteral("1.0 0.0 0.1 0.2");
        QTest::newRow("after card 1") << 1 << QStringLiteral("0.0 1.0 0.1 0.2");
    }
    void siblingsAreNotShownBackToBack()
    {
        QFETCH(int, afterCard);
        QFETCH(QString, expected);
        const QDateTime now = inBerlin(QStringLiteral("2026-06-10T12:00"));
        // By due date alone: 0.0 0.1 1.0 0.2. The faces of card 0 left at the end have no
        // other card to wait for.
        const DataFile deck = deckOf({
            {face(Kind::Learnt, now.addDays(-4)), face(Kind::Learnt, now.addDays(-3)),
             face(Kind::Learnt, now.addDays(-1))},
            {face(Kind::Learnt, now.addDays(-2))},
        });
        const auto after = afterCard < 0 ? std::nullopt : std::optional<qsizetype>(afterCard);
        QCOMPARE(order(buildDueQueue(deck, now, berlinDay, 20, after)), expected);
    }

    void nextDue_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("expected");
        QTest::newRow("learning step ends") << Kind::Learning << "2026-06-10T12:10"
                                            << "2026-06-10T12:10";
        // A learnt face is due from the start of its study day.
        QTest::newRow("learnt tomorrow") << Kind::Learnt << "2026-06-11T15:00"
                                         << "2026-06-11T04:00";
        QTest::newRow("learnt after midnight") << Kind::Learnt << "2026-06-12T02:00"
                                               << "2026-06-11T04:00";
    }
    void nextDue()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, next);
        QFETCH(QString, expected);
        const QDateTime now = inBerlin(QStringLiteral("2026-06-10T12:00"));
        // A later face never hides an earlier one.
        const DataFile deck =
            deckOf({{face(Kind::Learnt, now.addDays(30)), face(kind, inBerlin(next))}});
        const DueQueue queue = buildDueQueue(deck, now, berlinDay, 20);
        QVERIFY(queue.faces.isEmpty());
        QCOMPARE(queue.nextDue, inBerlin(expected));
    }
};

QTEST_GUILESS_MAIN(TestDueQueue)
#include "test_due_queue.moc"

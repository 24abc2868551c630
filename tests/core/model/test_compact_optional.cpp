#include "core/model/records.h"
#include "core/store/progress_table.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(ReviewMemory)

// The packed fields of a face must give back exactly what was put in them, at their limits too.
class TestCompactOptional : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void instantComesBackEqual_data()
    {
        QTest::addColumn<QDateTime>("time");

        const qint64 lowest = std::numeric_limits<qint64>::min();
        QTest::newRow("epoch") << QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
        QTest::newRow("a millisecond before the epoch")
            << QDateTime::fromMSecsSinceEpoch(-1, Qt::UTC);
        QTest::newRow("local time") << QDateTime(QDate(2024, 3, 31), QTime(12, 30), Qt::LocalTime);
        QTest::newRow("offset from UTC")
            << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 678), Qt::OffsetFromUTC, -34200);
        // What the progress file holds: seconds since 2001 with a fraction, to the millisecond.
        QTest::newRow("sub-second from the file") << *dateFromReferenceSeconds(725'846'400.123);
        QTest::newRow("far future from the file") << *dateFromReferenceSeconds(1e6 * 366 * 86400);
        QTest::newRow("far past from the file") << *dateFromReferenceSeconds(-1e6 * 366 * 86400);
        QTest::newRow("just above the marks")
            << QDateTime::fromMSecsSinceEpoch(lowest + 2, Qt::UTC);
    }

    void instantComesBackEqual()
    {
        QFETCH(QDateTime, time);
        CardFace face;
        face.lastReview = time;
        QVERIFY(face.lastReview.has_value());
        QCOMPARE(*face.lastReview, time);
        QCOMPARE(face.lastReview->toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
        QCOMPARE(face.lastReview->timeSpec(), Qt::UTC);
        const std::optional<QDateTime> asOptional = face.lastReview;
        QCOMPARE(asOptional, std::optional(time));
        QCOMPARE(referenceSeconds(*face.lastReview), referenceSeconds(time));
    }

    void instantKeepsNoneAndInvalidApart()
    {
        CardFace face;
        QVERIFY(!face.lastReview);
        QCOMPARE(face.lastReview.value_or(QDateTime()), QDateTime());
        QVERIFY(std::optional<QDateTime>(face.lastReview) == std::nullopt);

        face.lastReview = QDateTime();
        QVERIFY(face.lastReview.has_value());
        QVERIFY(!face.lastReview->isValid());
        QVERIFY(face.lastReview != OptionalInstant());

        face.lastReview = std::optional<QDateTime>();
        QVERIFY(!face.lastReview);
    }

    void instantsOnTheMarksMoveAMillisecond()
    {
        // The two lowest counts mark none and an invalid date: a valid date there stays a date.
        const qint64 lowest = std::numeric_limits<qint64>::min();
        for (const qint64 msecs : {lowest, lowest + 1}) {
            const OptionalInstant instant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
            QVERIFY(instant.has_value());
            QVERIFY(instant->isValid());
            QCOMPARE(instant.msecsSinceEpoch(), lowest + 2);
        }
    }

    void integerComesBackEqual_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("minus one") << qint64(-1);
        QTest::newRow("past 32 bits") << (qint64(1) << 40);
        QTest::newRow("greatest") << std::numeric_limits<qint64>::max();
        QTest::newRow("one above the mark") << std::numeric_limits<qint64>::min() + 1;
    }

    void integerComesBackEqual()
    {
        QFETCH(qint64, value);
        CardFace face;
        QVERIFY(!face.cardFaceID);
        face.cardFaceID = value;
        QVERIFY(face.cardFaceID.has_value());
        QCOMPARE(*face.cardFaceID, value);
        QCOMPARE(std::optional<qint64>(face.cardFaceID), std::optional(value));
    }

    void memoryComesBackEqual_data()
    {
        QTest::addColumn<ReviewMemory>("memory");
        QTest::newRow("learnt") << ReviewMemory{36500, 10, std::numeric_limits<qint64>::max(),
                                                std::numeric_limits<qint64>::max(), std::nullopt};
        QTest::newRow("in a step") << ReviewMemory{0.1 + 0.2, 1, 0, 0, 0};
        QTest::newRow("relearning") << ReviewMemory{0.001, 5.5, 12, 3, 1};
    }

    void memoryComesBackEqual()
    {
        QFETCH(ReviewMemory, memory);
        CardFace face;
        QVERIFY(!face.memory);
        face.memory = memory;
        QVERIFY(face.memory.has_value());
        QCOMPARE(*face.memory, memory);
        QCOMPARE(face.memory->learningStep, memory.learningStep);
        QCOMPARE(std::optional<ReviewMemory>(face.memory), std::optional(memory));

        // A copy is a face of its own: changing it leaves the original as it was.
        CardFace copy = face;
        QVERIFY(copy == face);
        copy.memory->reviews = 7;
        copy.memory->learningStep = std::nullopt;
        QCOMPARE(*face.memory, memory);
        copy.memory.reset();
        QVERIFY(copy != face);
        QCOMPARE(*face.memory, memory);
    }
};

QTEST_GUILESS_MAIN(TestCompactOptional)
#include "test_compact_optional.moc"

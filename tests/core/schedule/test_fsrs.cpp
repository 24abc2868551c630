#include "core/schedule/fsrs.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {

bool near(double actual, double expected, double tolerance)
{
    return std::abs(actual - expected) <= tolerance;
}

// The published figures were computed in single precision: they agree with ours to about one
// part in a million, while a wrong term in a formula is off by far more.
constexpr double singlePrecision = 2e-6;

#define COMPARE_NEAR(actual, expected, tolerance)                                                  \
    QVERIFY2(near((actual), (expected), (tolerance)),                                              \
             qPrintable(QStringLiteral("%1 != %2").arg((actual), 0, 'g', 12).arg((expected))))

FsrsWeights withWeight(int index, double value)
{
    FsrsWeights w = defaultFsrsWeights;
    w[std::size_t(index)] = value;
    return w;
}

} // namespace

Q_DECLARE_METATYPE(Grade)
Q_DECLARE_METATYPE(FsrsWeights)

class TestFsrs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstReview_data()
    {
        QTest::addColumn<Grade>("grade");
        QTest::addColumn<double>("stability");
        QTest::addColumn<double>("difficulty");
        QTest::newRow("again") << Grade::Again << 0.212 << 6.4133;
        QTest::newRow("hard") << Grade::Hard << 1.2931 << 5.11217071;
        QTest::newRow("good") << Grade::Good << 2.3065 << 2.11810397;
        QTest::newRow("easy") << Grade::Easy << 8.2956 << 1.0;
    }
    void firstReview()
    {
        QFETCH(Grade, grade);
        QFETCH(double, stability);
        QFETCH(double, difficulty);
        const MemoryState state = FsrsModel().initialState(grade);
        COMPARE_NEAR(state.stability, stability, 1e-9);
        COMPARE_NEAR(state.difficulty, difficulty, 1e-8);
    }

    // Again, then Good five times at 0, 1, 3, 8 and 21 days.
    void reviewHistory_data()
    {
        QTest::addColumn<FsrsWeights>("weights");
        QTest::addColumn<double>("stability");
        QTest::addColumn<double>("difficulty");
        QTest::newRow("default weights") << defaultFsrsWeights << 53.62691 << 6.3574867;
        FsrsWeights noSameDay = defaultFsrsWeights;
        noSameDay[17] = noSameDay[18] = noSameDay[19] = 0;
        QTest::newRow("no same-day terms") << noSameDay << 53.335106 << -1.0;
    }
    void reviewHistory()
    {
        QFETCH(FsrsWeights, weights);
        QFETCH(double, stability);
        QFETCH(double, difficulty);
        const FsrsModel model(weights);
        MemoryState state = model.initialState(Grade::Again);
        for (qint64 days : {0, 1, 3, 8, 21})
            state = model.nextState(state, days, Grade::Good);
        COMPARE_NEAR(state.stability, stability, stability * singlePrecision);
        if (difficulty > 0)
            COMPARE_NEAR(state.difficulty, difficulty, difficulty * singlePrecision);
    }

    // The mean reversion pulls towards the first-Easy difficulty as computed, below 1 with the
    // default weights; clamping that target first would give other difficulties.
    void difficultyRevertsToUnclampedTarget_data()
    {
        QTest::addColumn<double>("before");
        QTest::addColumn<Grade>("grade");
        QTest::addColumn<double>("after");
        const double target = 6.4133 - std::exp(0.8334 * 3) + 1; // -4.7716...
        QTest::newRow("good at 5") << 5.0 << Grade::Good << 0.001 * target + 0.999 * 5.0;
        QTest::newRow("good at 10") << 10.0 << Grade::Good << 0.001 * target + 0.999 * 10.0;
        QTest::newRow("again at 9 is damped")
            << 9.0 << Grade::Again << 0.001 * target + 0.999 * (9.0 + 2 * 3.0194 / 9);
        QTest::newRow("easy at 1 stays at 1") << 1.0 << Grade::Easy << 1.0;
    }
    void difficultyRevertsToUnclampedTarget()
    {
        QFETCH(double, before);
        QFETCH(Grade, grade);
        QFETCH(double, after);
        const MemoryState state = FsrsModel().nextState({5, before}, 3, grade);
        COMPARE_NEAR(state.difficulty, after, 1e-9);
    }

    void intervalOverRetention()
    {
        const qint64 expected[] = {3116766, 34793, 2508, 387, 90, 27, 9, 3, 1, 1};
        const FsrsModel model;
        for (int i = 0; i < 10; ++i) {
            const double retention = (i + 1) / 10.0;
            const qint64 days =
                model.roundedInterval(1, retention, std::numeric_limits<qint64>::max());
            COMPARE_NEAR(double(days), double(expected[i]), double(expected[i]) * singlePrecision);
        }
        QCOMPARE(model.roundedInterval(1, 0.1, 36500), 36500);
        COMPARE_NEAR(model.interval(10, 0.9), 10.0, 1e-9);
    }

    void retrievability()
    {
        const FsrsModel model;
        const double expected[][2] = {{0, 1}, {10, 0.9}, {30, 0.809388}, {100, 0.692827}};
        for (const auto &row : expected)
            COMPARE_NEAR(model.retrievability(row[0], 10), row[1], 5e-7);
    }

    void sameDayReviews()
    {
        const FsrsModel model;
        // A recall the same day never lowers stability, even where the formula would.
        const MemoryState good = model.initialState(Grade::Good);
        QCOMPARE(model.nextState(good, 0, Grade::Good).stability, good.stability);
        QVERIFY(model.nextState(good, 0, Grade::Easy).stability > good.stability);
        QVERIFY(model.nextState(good, 0, Grade::Again).stability < good.stability);
        // Stability stays within its bounds however long the history.
        MemoryState state = model.initialState(Grade::Easy);
        for (int i = 0; i < 40; ++i)
            state = model.nextState(state, 36500, Grade::Easy);
        QCOMPARE(state.stability, maximumStability);
        for (int i = 0; i < 40; ++i)
            state = model.nextState(state, 0, Grade::Again);
        QCOMPARE(state.stability, minimumStability);
    }

    void lapseNeverRaisesStability()
    {
        const FsrsModel model;
        for (double stability : {0.5, 3.0, 40.0, 2000.0}) {
            for (qint64 days : {1, 30, 3000}) {
                const MemoryState after = model.nextState({stability, 5}, days, Grade::Again);
                QVERIFY(after.stability <= stability / std::exp(0.5425 * 0.0912) + 1e-12);
            }
        }
    }

    void weightValidation_data()
    {
        QTest::addColumn<FsrsWeights>("weights");
        QTest::addColumn<QString>("error");
        QTest::newRow("defaults") << defaultFsrsWeights << QString();
        QTest::newRow("mean reversion too strong")
            << withWeight(7, 0.9)
            << QStringLiteral("Weight w7 is 0.9; it must lie between 0.001 and 0.75.");
        QTest::newRow("no decay") << withWeight(20, 0)
                                  << QStringLiteral(
                                         "Weight w20 is 0; it must lie between 0.1 and 0.8.");
        QTest::newRow("not a number")
            << withWeight(3, std::nan(""))
            << QStringLiteral("Weight w3 is nan; it must lie between 0.001 and 100.");
        QTest::newRow("negative first stability")
            << withWeight(0, -1)
            << QStringLiteral("Weight w0 is -1; it must lie between 0.001 and 100.");
        QTest::newRow("largest allowed") << withWeight(16, 6) << QString();
    }
    void weightValidation()
    {
        QFETCH(FsrsWeights, weights);
        QFETCH(QString, error);
        QString message;
        QCOMPARE(validateWeights(weights, &message), error.isEmpty());
        QCOMPARE(message, error);
    }

    void parsingWeights_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("as written back") << weightsText(defaultFsrsWeights) << QString();
        QString spaced = weightsText(defaultFsrsWeights);
        spaced.replace(QStringLiteral(", "), QStringLiteral("\n  "));
        QTest::newRow("white space") << spaced << QString();
        QTest::newRow("twenty") << weightsText(defaultFsrsWeights).section(QStringLiteral(", "), 1)
                                << QStringLiteral("Expected 21 weights, found 20.");
        QTest::newRow("empty") << QString() << QStringLiteral("Expected 21 weights, found 0.");
        QString word = weightsText(defaultFsrsWeights);
        word.replace(QStringLiteral("3.0194"), QStringLiteral("3,O194"));
        QTest::newRow("a letter for a digit")
            << word << QStringLiteral("Expected 21 weights, found 22.");
        QString letter = weightsText(defaultFsrsWeights);
        letter.replace(QStringLiteral("3.0194"), QStringLiteral("3.O194"));
        QTest::newRow("not a number")
            << letter << QStringLiteral("Weight w6, \"3.O194\", is not a number.");
        QString decay = weightsText(defaultFsrsWeights);
        decay.replace(QStringLiteral("0.1542"), QStringLiteral("0.05"));
        QTest::newRow("out of range")
            << decay << QStringLiteral("Weight w20 is 0.05; it must lie between 0.1 and 0.8.");
    }
    void parsingWeights()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString message;
        const std::optional<FsrsWeights> weights = parseWeights(text, &message);
        QCOMPARE(message, error);
        QCOMPARE(weights.has_value(), error.isEmpty());
        if (weights)
            QCOMPARE(*weights, defaultFsrsWeights);
    }
};

QTEST_GUILESS_MAIN(TestFsrs)
#include "test_fsrs.moc"

#include "core/store/load_progress.h"

#include <QTest>

#include <algorithm>

using Step = LoadProgress::Step;
using Told = QList<std::pair<Step, double>>;
Q_DECLARE_METATYPE(Told)

// The share of a reading told onwards moves forward only, over steps weighted by their files.
class TestLoadProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theShareOnlyGrowsAndIsWholeAtTheEndAlone_data()
    {
        QTest::addColumn<Told>("steps");
        QTest::addColumn<bool>("whole");
        QTest::newRow("in order") << Told{{Step::Deck, 0.5},
                                          {Step::Deck, 1},
                                          {Step::ProgressFile, 1},
                                          {Step::Merge, 1}}
                                  << true;
        QTest::newRow("two threads interleaved") << Told{{Step::ProgressFile, 0.25},
                                                         {Step::Deck, 0.1},
                                                         {Step::ProgressFile, 0.6},
                                                         {Step::Deck, 0.9},
                                                         {Step::Deck, 1},
                                                         {Step::ProgressFile, 1},
                                                         {Step::Merge, 1}}
                                                 << true;
        QTest::newRow("a step told less than before")
            << Told{{Step::Deck, 0.8}, {Step::Deck, 0.3}, {Step::ProgressFile, 1}} << false;
        QTest::newRow("every step but the last")
            << Told{{Step::Deck, 1}, {Step::ProgressFile, 1}, {Step::Merge, 0.9999}} << false;
    }
    void theShareOnlyGrowsAndIsWholeAtTheEndAlone()
    {
        QFETCH(Told, steps);
        QFETCH(bool, whole);
        QList<double> told;
        LoadProgress progress([&](double share) { told.append(share); });
        progress.setSizes(300, 700);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            progress.advance(steps[i].first, steps[i].second);
            // Sizes learnt late may weigh the steps anew: never told as a step back.
            if (i == 1)
                progress.setSizes(300, 100);
        }
        QVERIFY(!told.isEmpty());
        QVERIFY(std::adjacent_find(told.cbegin(), told.cend(), std::greater_equal<>()) ==
                told.cend());
        QVERIFY(told.first() > 0);
        QCOMPARE(told.last() == 1.0, whole);
        QCOMPARE(progress.fraction(), told.last());
    }

    void aStepWeighsWhatItsFileCosts()
    {
        QList<double> told;
        LoadProgress withoutFile([&](double share) { told.append(share); });
        withoutFile.setSizes(1000, 0);
        withoutFile.advance(Step::ProgressFile, 1);
        QVERIFY(told.isEmpty());
        withoutFile.advance(Step::Deck, 1);
        QVERIFY(told.last() > 0.6);

        // A progress file far bigger than its deck is most of the reading.
        told.clear();
        LoadProgress bigFile([&](double share) { told.append(share); });
        bigFile.setSizes(10, 10000);
        bigFile.advance(Step::Deck, 1);
        QVERIFY(told.last() < 0.01);
    }

    void cancellationIsAskedOfItsSource()
    {
        bool cancelled = false;
        LoadProgress progress({}, [&] { return cancelled; });
        QVERIFY(!progress.isCancelled());
        cancelled = true;
        QVERIFY(progress.isCancelled());
        QVERIFY(!LoadProgress().isCancelled());
    }
};

QTEST_GUILESS_MAIN(TestLoadProgress)
#include "test_load_progress.moc"

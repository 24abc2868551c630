#include "core/study/review.h"

#include <QTest>

namespace {

enum class Action { Correct, Incorrect, Pass, Toggle };

ReviewOutcome apply(Action action, const CardFace &face, bool hidden)
{
    switch (action) {
    case Action::Correct:
        return markCorrect(face);
    case Action::Incorrect:
        return markIncorrect(face);
    case Action::Pass:
        return passFace(face);
    case Action::Toggle:
        break;
    }
    return toggleHidden(face, hidden);
}

// Rating and progress, the fields the actions may change.
QString state(int rating, CardFaceProgress progress)
{
    return QStringLiteral("%1 %2").arg(rating).arg(rawValue(progress));
}
QString state(const CardFace &face)
{
    return state(face.rating, face.progress);
}

CardFace faceWith(int rating, CardFaceProgress progress)
{
    CardFace face(QStringLiteral("Q {A}\n"));
    face.cardFaceID = 1;
    face.rating = qint8(rating);
    face.progress = progress;
    return face;
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(CardFaceProgress)
Q_DECLARE_METATYPE(Grade)

class TestReview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The four grades: Again lowers the rating as Incorrect does, the recalls raise it as
    // Correct does; each keeps its own grade for the scheduler.
    void gradedReviews_data()
    {
        QTest::addColumn<Grade>("grade");
        QTest::addColumn<int>("rating");
        QTest::addColumn<CardFaceProgress>("progress");
        QTest::newRow("Again") << Grade::Again << 1 << CardFaceProgress::New;
        QTest::newRow("Hard") << Grade::Hard << 3 << CardFaceProgress::Learning;
        QTest::newRow("Good") << Grade::Good << 3 << CardFaceProgress::Learning;
        QTest::newRow("Easy") << Grade::Easy << 3 << CardFaceProgress::Learning;
    }
    void gradedReviews()
    {
        QFETCH(Grade, grade);
        QFETCH(int, rating);
        QFETCH(CardFaceProgress, progress);
        const ReviewOutcome outcome = gradeFace(faceWith(2, CardFaceProgress::New), grade);
        QVERIFY(outcome.writeFace);
        QCOMPARE(outcome.grade, grade);
        QCOMPARE(outcome.face.rating, rating);
        QCOMPARE(outcome.face.progress, progress);
    }

    void ratingsAndProgress_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("correct");
        QTest::addColumn<int>("incorrect");
        const int rows[][3] = {{0, 1, 0},   {1, 2, 0},       {2, 3, 1},  {3, 3, 2},    {7, 3, 6},
                               {-5, -4, 0}, {-128, -127, 0}, {-1, 0, 0}, {127, 3, 126}};
        for (const auto &row : rows)
            QTest::addRow("%d", row[0]) << row[0] << row[1] << row[2];
    }
    void ratingsAndProgress()
    {
        QFETCH(int, before);
        QFETCH(int, correct);
        QFETCH(int, incorrect);
        // Only Correct moves the progress, and only from new to learning.
        for (CardFaceProgress progress : allCardFaceProgresses) {
            const CardFace face = faceWith(before, progress);
            const auto learnt =
                progress == CardFaceProgress::New ? CardFaceProgress::Learning : progress;
            QCOMPARE(state(markCorrect(face).face), state(correct, learnt));
            QCOMPARE(state(markIncorrect(face).face), state(incorrect, progress));
            QCOMPARE(passFace(face).face, face);
            QCOMPARE(toggleHidden(face, true).face, face);
        }
    }

    void outcomes_data()
    {
        // flags: hidden, writeFace, faceChanged, goToNextFace, showsMasked
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("rating");
        QTest::addColumn<CardFaceProgress>("progress");
        QTest::addColumn<bool>("hiddenBefore");
        QTest::addColumn<QList<bool>>("flags");
        const auto L = CardFaceProgress::Learning;
        const auto row = [](const char *name, Action action, int rating, CardFaceProgress progress,
                            bool hidden, QList<bool> flags) {
            QTest::newRow(name) << action << rating << progress << hidden << flags;
        };
        // A written record that changed replaces the view, so the face ends masked again; an
        // unchanged one is written all the same and stays revealed.
        row("correct new 0", Action::Correct, 0, CardFaceProgress::New, true,
            {false, true, true, false, true});
        row("correct mastered 3", Action::Correct, 3, CardFaceProgress::Mastered, true,
            {false, true, false, false, false});
        row("incorrect 0", Action::Incorrect, 0, L, true, {false, true, false, false, false});
        row("incorrect 2", Action::Incorrect, 2, L, false, {false, true, true, false, true});
        row("pass revealed", Action::Pass, 1, L, false, {true, false, false, true, true});
        row("toggle reveals", Action::Toggle, 1, L, true, {false, false, false, false, false});
        row("toggle hides", Action::Toggle, 1, L, false, {true, false, false, false, true});
    }
    void outcomes()
    {
        QFETCH(Action, action);
        QFETCH(int, rating);
        QFETCH(CardFaceProgress, progress);
        QFETCH(bool, hiddenBefore);
        QFETCH(QList<bool>, flags);
        const CardFace before = faceWith(rating, progress);
        const ReviewOutcome o = apply(action, before, hiddenBefore);
        QCOMPARE(
            (QList<bool>{o.hidden, o.writeFace, o.faceChanged, o.goToNextFace, o.showsMasked()}),
            flags);
        QCOMPARE(o.faceChanged, !(o.face == before));
    }

    void otherFieldsUntouched()
    {
        CardFace face = faceWith(1, CardFaceProgress::New);
        face.progressRank = 9;
        face.lastReview = QDateTime::fromSecsSinceEpoch(1'000'000, Qt::UTC);
        CardFace expected = face;
        expected.rating = 3;
        expected.progress = CardFaceProgress::Learning;
        QCOMPARE(markCorrect(markCorrect(face).face).face, expected);
    }

    void picker()
    {
        const CardFace face = faceWith(1, CardFaceProgress::New);
        const ReviewOutcome archived = chooseProgress(face, false, CardFaceProgress::Archived);
        QCOMPARE(state(archived.face), state(1, CardFaceProgress::Archived));
        QVERIFY(archived.writeFace && archived.faceChanged && archived.showsMasked());
        // A chosen progress other than new stays through Correct.
        QCOMPARE(state(markCorrect(archived.face).face), state(2, CardFaceProgress::Archived));
        const ReviewOutcome same = chooseProgress(face, false, CardFaceProgress::New);
        QVERIFY(!same.faceChanged && !same.showsMasked());
    }

    void labels()
    {
        QStringList labels;
        for (CardFaceProgress p : allCardFaceProgresses)
            labels << progressLabel(p);
        QCOMPARE(labels, QStringList({"New", "Learning", "Mastered", "Archived", "Abandoned"}));
    }
};

QTEST_GUILESS_MAIN(TestReview)
#include "test_review.moc"

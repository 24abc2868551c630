#include "core/study/review.h"

#include <QTest>

namespace {

enum class Action { Correct, Incorrect, Pass, Toggle };

ReviewOutcome apply(Action action, const CardFace &face, bool hidden)
{
    switch (action) {
    case Action::Correct:
        return markCorrect(face, hidden);
    case Action::Incorrect:
        return markIncorrect(face, hidden);
    case Action::Pass:
        return passFace(face, hidden);
    case Action::Toggle:
        break;
    }
    return toggleHidden(face, hidden);
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

class TestReview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ratings_data();
    void ratings();
    void progressTransitions_data();
    void progressTransitions();
    void outcomes_data();
    void outcomes();
    void otherFieldsUntouched();
    void picker();
    void labels();
};

void TestReview::ratings_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("incorrect");
    const int rows[][3] = {{0, 1, 0},   {1, 2, 0},       {2, 3, 1},  {3, 3, 2},    {7, 3, 6},
                           {-5, -4, 0}, {-128, -127, 0}, {-1, 0, 0}, {127, 3, 126}};
    for (const auto &row : rows)
        QTest::addRow("%d", row[0]) << row[0] << row[1] << row[2];
}

void TestReview::ratings()
{
    QFETCH(int, before);
    QFETCH(int, correct);
    QFETCH(int, incorrect);
    const CardFace face = faceWith(before, CardFaceProgress::Learning);
    QCOMPARE(int(markCorrect(face, true).face.rating), correct);
    QCOMPARE(int(markIncorrect(face, true).face.rating), incorrect);
    QCOMPARE(int(passFace(face, true).face.rating), before);
    QCOMPARE(int(toggleHidden(face, true).face.rating), before);
}

void TestReview::progressTransitions_data()
{
    QTest::addColumn<CardFaceProgress>("before");
    for (CardFaceProgress p : allCardFaceProgresses)
        QTest::newRow(rawValue(p).toUtf8().constData()) << p;
}

void TestReview::progressTransitions()
{
    QFETCH(CardFaceProgress, before);
    const CardFaceProgress afterCorrect =
        before == CardFaceProgress::New ? CardFaceProgress::Learning : before;
    // At rating 3 Correct keeps the rating, so only the progress rule acts.
    for (int rating : {0, 3}) {
        const CardFace face = faceWith(rating, before);
        QCOMPARE(markCorrect(face, true).face.progress, afterCorrect);
        QCOMPARE(markIncorrect(face, true).face.progress, before);
        QCOMPARE(passFace(face, true).face.progress, before);
        QCOMPARE(toggleHidden(face, true).face.progress, before);
    }
}

void TestReview::outcomes_data()
{
    // flags: hidden, writeFace, faceChanged, goToNextFace, showsMasked
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("rating");
    QTest::addColumn<CardFaceProgress>("progress");
    QTest::addColumn<bool>("hiddenBefore");
    QTest::addColumn<QList<bool>>("flags");

    const auto L = CardFaceProgress::Learning;
    // A written record that changed replaces the view, so the face ends masked again; an
    // unchanged one is written all the same and stays revealed.
    QTest::newRow("correct new 0") << Action::Correct << 0 << CardFaceProgress::New << true
                                   << QList<bool>{false, true, true, false, true};
    QTest::newRow("correct mastered 3") << Action::Correct << 3 << CardFaceProgress::Mastered
                                        << true << QList<bool>{false, true, false, false, false};
    QTest::newRow("incorrect 0") << Action::Incorrect << 0 << L << true
                                 << QList<bool>{false, true, false, false, false};
    QTest::newRow("incorrect 2") << Action::Incorrect << 2 << L << false
                                 << QList<bool>{false, true, true, false, true};
    QTest::newRow("pass revealed")
        << Action::Pass << 1 << L << false << QList<bool>{true, false, false, true, true};
    QTest::newRow("toggle reveals")
        << Action::Toggle << 1 << L << true << QList<bool>{false, false, false, false, false};
    QTest::newRow("toggle hides") << Action::Toggle << 1 << L << false
                                  << QList<bool>{true, false, false, false, true};
}

void TestReview::outcomes()
{
    QFETCH(Action, action);
    QFETCH(int, rating);
    QFETCH(CardFaceProgress, progress);
    QFETCH(bool, hiddenBefore);
    QFETCH(QList<bool>, flags);

    const CardFace before = faceWith(rating, progress);
    const ReviewOutcome o = apply(action, before, hiddenBefore);
    QCOMPARE((QList<bool>{o.hidden, o.writeFace, o.faceChanged, o.goToNextFace, o.showsMasked()}),
             flags);
    QCOMPARE(o.faceChanged, !(o.face == before));
}

void TestReview::otherFieldsUntouched()
{
    CardFace face = faceWith(1, CardFaceProgress::New);
    face.progressRank = 9;
    face.lastReview = QDateTime::fromSecsSinceEpoch(1'000'000, Qt::UTC);
    CardFace expected = face;
    expected.rating = 3;
    expected.progress = CardFaceProgress::Learning;
    QCOMPARE(markCorrect(markCorrect(face, true).face, false).face, expected);
}

void TestReview::picker()
{
    const CardFace face = faceWith(1, CardFaceProgress::New);
    const ReviewOutcome archived = chooseProgress(face, false, CardFaceProgress::Archived);
    QCOMPARE(archived.face.progress, CardFaceProgress::Archived);
    QCOMPARE(int(archived.face.rating), 1);
    QVERIFY(archived.writeFace && archived.faceChanged && archived.showsMasked());

    const ReviewOutcome correct = markCorrect(archived.face, true);
    QCOMPARE(int(correct.face.rating), 2);
    QCOMPARE(correct.face.progress, CardFaceProgress::Archived);

    const ReviewOutcome same = chooseProgress(face, false, CardFaceProgress::New);
    QVERIFY(!same.faceChanged && !same.showsMasked());
}

void TestReview::labels()
{
    QStringList labels;
    for (CardFaceProgress p : allCardFaceProgresses)
        labels << progressLabel(p);
    QCOMPARE(labels, QStringList({"New", "Learning", "Mastered", "Archived", "Abandoned"}));
}

QTEST_GUILESS_MAIN(TestReview)
#include "test_review.moc"

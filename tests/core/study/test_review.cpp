#include "core/study/review.h"

#include <QTest>

Q_DECLARE_METATYPE(CardFaceProgress)

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
        return toggleHidden(face, hidden);
    }
    return toggleHidden(face, hidden);
}

CardFace faceWith(int rating, CardFaceProgress progress)
{
    CardFace face(QStringLiteral("Q\n---\n{A}\n"));
    face.cardFaceID = 1;
    face.rating = qint8(rating);
    face.progress = progress;
    return face;
}

} // namespace

Q_DECLARE_METATYPE(Action)

class TestReview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ratings_data();
    void ratings();
    void progressTransitions_data();
    void progressTransitions();
    void hiddenAndWrites_data();
    void hiddenAndWrites();
    void otherFieldsUntouched();
    void picker();
    void labels();
};

void TestReview::ratings_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    const struct
    {
        int before, correct, incorrect;
    } rows[] = {{0, 1, 0},   {1, 2, 0},     {2, 3, 1},       {3, 3, 2}, {7, 3, 6},
                {-5, -4, 0}, {127, 3, 126}, {-128, -127, 0}, {-1, 0, 0}};
    for (const auto &row : rows) {
        QTest::addRow("correct %d", row.before) << Action::Correct << row.before << row.correct;
        QTest::addRow("incorrect %d", row.before)
            << Action::Incorrect << row.before << row.incorrect;
        QTest::addRow("pass %d", row.before) << Action::Pass << row.before << row.before;
        QTest::addRow("toggle %d", row.before) << Action::Toggle << row.before << row.before;
    }
}

void TestReview::ratings()
{
    QFETCH(Action, action);
    QFETCH(int, before);
    QFETCH(int, after);
    const ReviewOutcome outcome = apply(action, faceWith(before, CardFaceProgress::Learning), true);
    QCOMPARE(int(outcome.face.rating), after);
}

void TestReview::progressTransitions_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<CardFaceProgress>("before");
    QTest::addColumn<CardFaceProgress>("after");

    for (CardFaceProgress p : allCardFaceProgresses) {
        const QByteArray name = rawValue(p).toUtf8();
        const CardFaceProgress correct =
            p == CardFaceProgress::New ? CardFaceProgress::Learning : p;
        QTest::addRow("correct %s", name.constData()) << Action::Correct << p << correct;
        QTest::addRow("incorrect %s", name.constData()) << Action::Incorrect << p << p;
        QTest::addRow("pass %s", name.constData()) << Action::Pass << p << p;
        QTest::addRow("toggle %s", name.constData()) << Action::Toggle << p << p;
    }
}

void TestReview::progressTransitions()
{
    QFETCH(Action, action);
    QFETCH(CardFaceProgress, before);
    QFETCH(CardFaceProgress, after);
    // At rating 3 Correct leaves the rating, so only the progress rule is seen.
    QCOMPARE(apply(action, faceWith(3, before), true).face.progress, after);
    QCOMPARE(apply(action, faceWith(0, before), false).face.progress, after);
}

void TestReview::hiddenAndWrites_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("rating");
    QTest::addColumn<CardFaceProgress>("progress");
    QTest::addColumn<bool>("hiddenBefore");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("masked");

    const auto L = CardFaceProgress::Learning;
    const auto M = CardFaceProgress::Mastered;
    const auto N = CardFaceProgress::New;
    // A written record that changed replaces the view, so the face ends masked again.
    QTest::newRow("correct new 0") << Action::Correct << 0 << N << true //
                                   << false << true << true << false << true;
    QTest::newRow("correct mastered 3 reveals")
        << Action::Correct << 3 << M << true << false << true << false << false << false;
    QTest::newRow("incorrect 0 reveals")
        << Action::Incorrect << 0 << L << true << false << true << false << false << false;
    QTest::newRow("incorrect 2 masks again")
        << Action::Incorrect << 2 << L << false << false << true << true << false << true;
    QTest::newRow("pass revealed") << Action::Pass << 1 << L << false //
                                   << true << false << false << true << true;
    QTest::newRow("toggle reveals") << Action::Toggle << 1 << L << true //
                                    << false << false << false << false << false;
    QTest::newRow("toggle hides") << Action::Toggle << 1 << L << false //
                                  << true << false << false << false << true;
}

void TestReview::hiddenAndWrites()
{
    QFETCH(Action, action);
    QFETCH(int, rating);
    QFETCH(CardFaceProgress, progress);
    QFETCH(bool, hiddenBefore);
    QFETCH(bool, hidden);
    QFETCH(bool, write);
    QFETCH(bool, changed);
    QFETCH(bool, next);
    QFETCH(bool, masked);

    const CardFace before = faceWith(rating, progress);
    const ReviewOutcome outcome = apply(action, before, hiddenBefore);
    QCOMPARE(outcome.hidden, hidden);
    QCOMPARE(outcome.writeFace, write);
    QCOMPARE(outcome.faceChanged, changed);
    QCOMPARE(outcome.faceChanged, !(outcome.face == before));
    QCOMPARE(outcome.goToNextFace, next);
    QCOMPARE(outcome.showsMasked(), masked);
}

void TestReview::otherFieldsUntouched()
{
    CardFace face = faceWith(1, CardFaceProgress::New);
    face.progressRank = 9;
    face.lastReview = QDateTime::fromSecsSinceEpoch(1'000'000, Qt::UTC);
    const ReviewOutcome outcome = markCorrect(markCorrect(face, true).face, false);
    QCOMPARE(outcome.face.id(), face.id());
    QCOMPARE(outcome.face.text, face.text);
    QCOMPARE(outcome.face.cardFaceID, face.cardFaceID);
    QCOMPARE(outcome.face.progressRank, quint8(9));
    QCOMPARE(outcome.face.lastReview, face.lastReview);
    QVERIFY(!outcome.face.nextReview);
    QCOMPARE(int(outcome.face.rating), 3);
    QCOMPARE(outcome.face.progress, CardFaceProgress::Learning);
}

void TestReview::picker()
{
    const CardFace face = faceWith(1, CardFaceProgress::New);
    const ReviewOutcome archived = chooseProgress(face, false, CardFaceProgress::Archived);
    QCOMPARE(archived.face.progress, CardFaceProgress::Archived);
    QCOMPARE(int(archived.face.rating), 1);
    QVERIFY(archived.writeFace);
    QVERIFY(archived.faceChanged);
    QVERIFY(archived.showsMasked());

    const ReviewOutcome correct = markCorrect(archived.face, true);
    QCOMPARE(int(correct.face.rating), 2);
    QCOMPARE(correct.face.progress, CardFaceProgress::Archived);

    const ReviewOutcome same = chooseProgress(face, false, CardFaceProgress::New);
    QVERIFY(!same.faceChanged);
    QVERIFY(!same.showsMasked());
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

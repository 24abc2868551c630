#include "core/study/navigation.h"

#include <QTest>

using Selection = std::optional<qsizetype>;
Q_DECLARE_METATYPE(Selection)

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void faces_data();
    void faces();
    void cards_data();
    void cards();
};

void TestNavigation::faces_data()
{
    // Each row: the state before, the face and card counts, the state after next and previous.
    QTest::addColumn<qsizetype>("face");
    QTest::addColumn<Selection>("card");
    QTest::addColumn<qsizetype>("faceCount");
    QTest::addColumn<qsizetype>("cardCount");
    QTest::addColumn<qsizetype>("nextFace");
    QTest::addColumn<Selection>("nextCard");
    QTest::addColumn<qsizetype>("previousFace");
    QTest::addColumn<Selection>("previousCard");

    const Selection none;
    auto row = [](const char *name, qsizetype face, Selection card, qsizetype faces,
                  qsizetype cards, qsizetype nf, Selection nc, qsizetype pf, Selection pc) {
        QTest::newRow(name) << face << card << faces << cards << nf << nc << pf << pc;
    };
    row("middle face", 2, 1, 4, 3, 3, 1, 1, 1);
    row("last face of last card wraps", 3, 2, 4, 3, 0, 0, 2, 2);
    row("last face goes to next card", 3, 0, 4, 3, 0, 1, 2, 0);
    row("first face of first card wraps back", 0, 0, 4, 3, 1, 0, 0, 2);
    row("first face goes to previous card's first face", 0, 2, 4, 3, 1, 2, 0, 1);
    row("one card", 1, 0, 2, 1, 0, 0, 0, 0);
    row("one card at first face", 0, 0, 2, 1, 1, 0, 0, 0);
    row("one face moves card at once", 0, 1, 1, 3, 0, 2, 0, 0);

    // Degenerate states leave everything as it was.
    row("no selection", 1, none, 4, 3, 1, none, 1, none);
    row("no cards", 0, 0, 2, 0, 0, 0, 0, 0);
    row("negative face", -1, 1, 4, 3, -1, 1, -1, 1);
    row("face past the end", 4, 1, 4, 3, 4, 1, 4, 1);
    row("card without faces", 0, 1, 0, 3, 0, 1, 0, 1);
    row("negative card", 0, -1, 4, 3, 0, -1, 0, -1);
    row("card past the end", 3, 3, 4, 3, 3, 3, 3, 3);
}

void TestNavigation::faces()
{
    QFETCH(qsizetype, face);
    QFETCH(Selection, card);
    QFETCH(qsizetype, faceCount);
    QFETCH(qsizetype, cardCount);
    QFETCH(qsizetype, nextFace);
    QFETCH(Selection, nextCard);
    QFETCH(qsizetype, previousFace);
    QFETCH(Selection, previousCard);

    const NavigationState state{face, card};
    const NavigationState next = ::nextFace(state, faceCount, cardCount);
    QCOMPARE(next.currentFace, nextFace);
    QCOMPARE(next.selectedCard, nextCard);
    const NavigationState previous = ::previousFace(state, faceCount, cardCount);
    QCOMPARE(previous.currentFace, previousFace);
    QCOMPARE(previous.selectedCard, previousCard);
}

void TestNavigation::cards_data()
{
    QTest::addColumn<Selection>("card");
    QTest::addColumn<qsizetype>("cardCount");
    QTest::addColumn<bool>("canPrevious");
    QTest::addColumn<bool>("canNext");
    QTest::addColumn<Selection>("previous");
    QTest::addColumn<Selection>("next");

    const Selection none;
    auto row = [](const char *name, Selection card, qsizetype cards, bool canPrevious, bool canNext,
                  Selection previous, Selection next) {
        QTest::newRow(name) << card << cards << canPrevious << canNext << previous << next;
    };
    row("first", 0, 3, false, true, 0, 1);
    row("middle", 1, 3, true, true, 0, 2);
    row("last", 2, 3, true, false, 1, 2);
    row("only card", 0, 1, false, false, 0, 0);
    row("no selection", none, 3, false, false, none, none);
    row("no cards", 0, 0, false, false, 0, 0);
    row("past the end", 5, 3, false, false, 5, 5);
    row("negative", -1, 3, false, false, -1, -1);
}

void TestNavigation::cards()
{
    QFETCH(Selection, card);
    QFETCH(qsizetype, cardCount);
    QFETCH(bool, canPrevious);
    QFETCH(bool, canNext);
    QFETCH(Selection, previous);
    QFETCH(Selection, next);

    QCOMPARE(canGoToPreviousCard(card, cardCount), canPrevious);
    QCOMPARE(canGoToNextCard(card, cardCount), canNext);
    QCOMPARE(previousCard(card, cardCount), previous);
    QCOMPARE(nextCard(card, cardCount), next);
}

QTEST_GUILESS_MAIN(TestNavigation)
#include "test_navigation.moc"

#include "core/study/navigation.h"

#include <QTest>

using Selection = std::optional<qsizetype>;
Q_DECLARE_METATYPE(Selection)
Q_DECLARE_METATYPE(NavigationState)

char *toString(const NavigationState &state)
{
    return QTest::toString(QStringLiteral("face %1 of card %2")
                               .arg(state.currentFace)
                               .arg(state.selectedCard ? *state.selectedCard : -99));
}

class TestNavigation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void faces_data()
    {
        // The state before, the face and card counts, the states after next and previous.
        QTest::addColumn<NavigationState>("state");
        QTest::addColumn<qsizetype>("faceCount");
        QTest::addColumn<qsizetype>("cardCount");
        QTest::addColumn<NavigationState>("next");
        QTest::addColumn<NavigationState>("previous");
        const auto row = [](const char *name, qsizetype face, Selection card, qsizetype faces,
                            qsizetype cards, qsizetype nf, Selection nc, qsizetype pf,
                            Selection pc) {
            QTest::newRow(name) << NavigationState{face, card} << faces << cards
                                << NavigationState{nf, nc} << NavigationState{pf, pc};
        };
        const Selection none;
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
    void faces()
    {
        QFETCH(NavigationState, state);
        QFETCH(qsizetype, faceCount);
        QFETCH(qsizetype, cardCount);
        QFETCH(NavigationState, next);
        QFETCH(NavigationState, previous);
        QCOMPARE(nextFace(state, faceCount, cardCount), next);
        QCOMPARE(previousFace(state, faceCount, cardCount), previous);
    }

    void cards_data()
    {
        QTest::addColumn<Selection>("card");
        QTest::addColumn<qsizetype>("cardCount");
        QTest::addColumn<Selection>("previous"); // nothing: the button is disabled
        QTest::addColumn<Selection>("next");
        const Selection none;
        QTest::newRow("first") << Selection(0) << qsizetype(3) << none << Selection(1);
        QTest::newRow("middle") << Selection(1) << qsizetype(3) << Selection(0) << Selection(2);
        QTest::newRow("last") << Selection(2) << qsizetype(3) << Selection(1) << none;
        QTest::newRow("only card") << Selection(0) << qsizetype(1) << none << none;
        QTest::newRow("no selection") << none << qsizetype(3) << none << none;
        QTest::newRow("no cards") << Selection(0) << qsizetype(0) << none << none;
        QTest::newRow("past the end") << Selection(5) << qsizetype(3) << none << none;
        QTest::newRow("negative") << Selection(-1) << qsizetype(3) << none << none;
    }
    void cards()
    {
        QFETCH(Selection, card);
        QFETCH(qsizetype, cardCount);
        QFETCH(Selection, previous);
        QFETCH(Selection, next);
        // A disabled button leaves the selection as it was.
        QCOMPARE(canGoToPreviousCard(card, cardCount), previous.has_value());
        QCOMPARE(canGoToNextCard(card, cardCount), next.has_value());
        QCOMPARE(previousCard(card, cardCount), previous ? previous : card);
        QCOMPARE(nextCard(card, cardCount), next ? next : card);
    }
};

QTEST_GUILESS_MAIN(TestNavigation)
#include "test_navigation.moc"

#include "ui/app/content_view.h"
#include "ui/app/window_test_support.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QLabel>
#include <QToolButton>

class TestStudyModeSwitch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The switch in the sidebar sets the mode of the open deck; each deck keeps its own.
    void modeIsChosenPerDeck()
    {
        WindowFixture fixture;
        const QUrl a = fixture.deck(QStringLiteral("a.txt"), 3);
        const QUrl b = fixture.deck(QStringLiteral("b.txt"), 2);
        fixture.coordinator->open(a);
        ContentView view(*fixture.coordinator, *fixture.recent);
        view.show();
        auto *due = view.sidebar()->findChild<QToolButton *>(QStringLiteral("dueModeButton"));
        auto *inOrder =
            view.sidebar()->findChild<QToolButton *>(QStringLiteral("inOrderModeButton"));
        auto *counts = view.sidebar()->findChild<QLabel *>(QStringLiteral("dueCounts"));
        QVERIFY(due && inOrder && counts);
        QVERIFY(inOrder->isChecked() && !view.cardView()->inDueMode());
        QCOMPARE(counts->text(), QStringLiteral("0 due now · 6 new today"));

        due->click();
        QVERIFY(view.cardView()->inDueMode());
        fixture.coordinator->open(b);
        QVERIFY(inOrder->isChecked() && !view.cardView()->inDueMode());
        QCOMPARE(counts->text(), QStringLiteral("0 due now · 4 new today"));
        fixture.coordinator->open(a);
        QVERIFY(due->isChecked() && view.cardView()->inDueMode());
    }
};

QTEST_MAIN(TestStudyModeSwitch)
#include "test_study_mode_switch.moc"

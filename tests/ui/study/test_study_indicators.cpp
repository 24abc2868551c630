#include "ui/study/face_progress_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_colours.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    return palette;
}

bool near(const QColor &a, const QColor &b)
{
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return std::abs(x.red() - y.red()) <= 1 && std::abs(x.green() - y.green()) <= 1 &&
           std::abs(x.blue() - y.blue()) <= 1 && std::abs(x.alpha() - y.alpha()) <= 1;
}

} // namespace

class TestStudyIndicators : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dotsAreGreenFromTheLeft_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QList<bool>>("green");
        QTest::newRow("-1") << -1 << QList<bool>{false, false, false};
        QTest::newRow("0") << 0 << QList<bool>{false, false, false};
        QTest::newRow("1") << 1 << QList<bool>{true, false, false};
        QTest::newRow("2") << 2 << QList<bool>{true, true, false};
        QTest::newRow("3") << 3 << QList<bool>{true, true, true};
        QTest::newRow("9") << 9 << QList<bool>{true, true, true};
    }
    void dotsAreGreenFromTheLeft()
    {
        QFETCH(int, state);
        QFETCH(QList<bool>, green);
        FaceProgressView view;
        view.setState(qint8(state));
        QCOMPARE(view.sizeHint().height(), FaceProgressView::dotSize);
        for (int i = 0; i < FaceProgressView::dotCount; ++i) {
            QCOMPARE(view.isDotGreen(i), green[i]);
            const QColor expected =
                green[i] ? StudyColours::systemGreen(false) : StudyColours::gray();
            QVERIFY2(near(view.dotColour(i), expected), qPrintable(view.dotColour(i).name()));
        }
    }

    void dotsSettleAfterAnInterruptedAnimation()
    {
        FaceProgressView view;
        view.setState(0);
        view.setState(3, true);
        view.setState(1, true); // retargeted mid-way
        QTRY_VERIFY(near(view.dotColour(0), StudyColours::systemGreen(false)));
        QVERIFY(near(view.dotColour(1), StudyColours::gray()));
        QVERIFY(near(view.dotColour(2), StudyColours::gray()));
    }

    void barItemsLabelsFontsAndPadding()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        QCOMPARE(bar.count(), 4);
        const QFont body = SelectionBarItem::bodyFont(QFont());
        const QFont footnote = SelectionBarItem::footnoteFont(QFont());
        QVERIFY(footnote.pointSizeF() < body.pointSizeF());
        for (qsizetype i = 0; i < 4; ++i) {
            SelectionBarItem *item = bar.item(i);
            QCOMPARE(item->text(), QString::number(i));
            QCOMPARE(item->isSelected(), i == 2);
            QCOMPARE(item->font().pointSizeF(), i == 2 ? body.pointSizeF() : footnote.pointSizeF());
            QCOMPARE(item->padding(), i == 2 ? 8 : 4);
            if (i != 2)
                QVERIFY(item->sizeHint().height() < bar.item(2)->sizeHint().height());
        }
        // The invisible placeholders keep a selected item's room at both ends.
        for (SelectionBarItem *end : {bar.leadingPlaceholder(), bar.trailingPlaceholder()}) {
            QCOMPARE(end->text(), QStringLiteral("l"));
            QVERIFY(!end->isEnabled());
            QCOMPARE(end->padding(), 8);
            QCOMPARE(end->font().pointSizeF(), body.pointSizeF());
        }

        // Shrinking keeps the items that remain; an empty bar holds only the placeholders.
        SelectionBarItem *first = bar.item(0);
        bar.setItems({1, 1}, 0, false);
        QCOMPARE(bar.count(), 2);
        QCOMPARE(bar.item(0), first);
        QVERIFY(first->isSelected());
        bar.setItems({}, 0, false);
        QCOMPARE(bar.count(), 0);
        QCOMPARE(bar.findChildren<SelectionBarItem *>().size(), 2);
    }

    void barItemsAreTintedByRating()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 0, false);
        const QColor gray = StudyColours::gray();
        const QColor green = StudyColours::systemGreen(false);
        for (int rating = 0; rating <= 3; ++rating) {
            const QColor expected = StudyColours::blended(gray, green, rating / 5.0);
            QVERIFY(near(bar.item(rating)->backgroundColour(), expected));
            QVERIFY(near(bar.item(rating)->textColour(), Qt::white));
        }
        QVERIFY(near(bar.item(0)->backgroundColour(), QColor(128, 128, 128)));
        // 60 % of the way from gray (128) to green (0x34, 0xC7, 0x59).
        QVERIFY(near(bar.item(3)->backgroundColour(), QColor(82, 171, 105)));

        bar.setPalette(darkPalette());
        for (qsizetype i = 0; i < 4; ++i) {
            QVERIFY(near(bar.item(i)->backgroundColour(), Qt::white));
            QVERIFY(near(bar.item(i)->textColour(), QColor(85, 85, 85)));
        }
    }

    void clickingAnItemChoosesIt()
    {
        SelectionBar bar;
        bar.setItems({0, 0, 0, 0}, 0, false);
        bar.show();
        QSignalSpy chosen(&bar, &SelectionBar::indexChosen);
        QTest::mouseClick(bar.item(3), Qt::LeftButton);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().first().value<qsizetype>(), 3);
        QTest::mouseClick(bar.leadingPlaceholder(), Qt::LeftButton);
        QCOMPARE(chosen.size(), 1);
    }

    void colourHelpers()
    {
        QVERIFY(!StudyColours::isDark(QPalette(Qt::white)));
        QVERIFY(StudyColours::isDark(darkPalette()));
        // Blending covers the alpha channel too.
        const QColor half =
            StudyColours::blended(QColor(0, 0, 0, 0), QColor(255, 255, 255, 255), 0.5);
        QVERIFY(near(half, QColor(128, 128, 128, 128)));
        QVERIFY(near(StudyColours::darkGray(), QColor(85, 85, 85)));
    }

    void springStartsAtRestAndSettles()
    {
        const QEasingCurve spring = StudyAnimation::spring();
        QCOMPARE(spring.valueForProgress(0), 0.0);
        QCOMPARE(spring.valueForProgress(1), 1.0);
        qreal peak = 0;
        for (int i = 0; i <= 100; ++i)
            peak = std::max(peak, spring.valueForProgress(i / 100.0));
        // Slightly underdamped: a small overshoot, then settled before the end.
        QVERIFY(peak > 1.0 && peak < 1.03);
        QVERIFY(std::abs(StudyAnimation::springPosition(StudyAnimation::springDuration / 1000.0) -
                         1) < 0.002);
        // Half-way through the response time it is already most of the way there.
        QVERIFY(StudyAnimation::springPosition(0.275) > 0.6);
    }
};

QTEST_MAIN(TestStudyIndicators)
#include "test_study_indicators.moc"

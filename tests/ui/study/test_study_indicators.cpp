#include "ui/study/face_progress_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_colours.h"

#include <QSignalSpy>
#include <QTest>

namespace {

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
        QTest::addColumn<QString>("green"); // one letter a dot, g for green
        for (const auto &[state, green] :
             {std::pair{-1, "..."}, {0, "..."}, {1, "g.."}, {2, "gg."}, {3, "ggg"}, {9, "ggg"}})
            QTest::addRow("%d", state) << state << QString::fromLatin1(green);
    }
    void dotsAreGreenFromTheLeft()
    {
        QFETCH(int, state);
        QFETCH(QString, green);
        FaceProgressView view;
        view.setState(qint8(state));
        for (int i = 0; i < FaceProgressView::dotCount; ++i) {
            const QColor expected =
                green[i] == u'g' ? StudyColours::systemGreen(false) : StudyColours::gray();
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

    void barItemsLabelsFontsPaddingAndClicks()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        QCOMPARE(bar.count(), 4);
        const qreal body = SelectionBarItem::bodyFont(QFont()).pointSizeF();
        const qreal footnote = SelectionBarItem::footnoteFont(QFont()).pointSizeF();
        QVERIFY(footnote < body);
        for (qsizetype i = 0; i < 4; ++i) {
            QCOMPARE(bar.item(i)->text(), QString::number(i));
            QCOMPARE(bar.item(i)->isSelected(), i == 2);
            QCOMPARE(bar.item(i)->font().pointSizeF(), i == 2 ? body : footnote);
            QCOMPARE(bar.item(i)->padding(), i == 2 ? 8 : 4);
        }
        // The invisible placeholders keep a selected item's room at both ends.
        for (SelectionBarItem *end : {bar.leadingPlaceholder(), bar.trailingPlaceholder()}) {
            QCOMPARE(end->text(), QStringLiteral("l"));
            QCOMPARE(end->padding(), 8);
        }
        // Clicking an item chooses it; the placeholders cannot be chosen.
        bar.show();
        QSignalSpy chosen(&bar, &SelectionBar::indexChosen);
        QTest::mouseClick(bar.item(3), Qt::LeftButton);
        QTest::mouseClick(bar.leadingPlaceholder(), Qt::LeftButton);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().first().value<qsizetype>(), 3);

        // Shrinking keeps the items that remain; an empty bar holds only the placeholders.
        SelectionBarItem *first = bar.item(0);
        bar.setItems({1, 1}, 0, false);
        QCOMPARE(bar.count(), 2);
        QCOMPARE(bar.item(0), first);
        QVERIFY(first->isSelected());
        bar.setItems({}, 0, false);
        QCOMPARE(bar.findChildren<SelectionBarItem *>().size(), 2);
    }

    void barItemsAreTintedByRating()
    {
        SelectionBar bar;
        bar.setItems({0, 3}, 0, false);
        QVERIFY(near(bar.item(0)->backgroundColour(), QColor(128, 128, 128)));
        // 60 % of the way from gray (128) to green (0x34, 0xC7, 0x59).
        QVERIFY(near(bar.item(1)->backgroundColour(), QColor(82, 171, 105)));
        QVERIFY(near(bar.item(1)->textColour(), Qt::white));

        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
        bar.setPalette(dark);
        for (qsizetype i = 0; i < 2; ++i) {
            QVERIFY(near(bar.item(i)->backgroundColour(), Qt::white));
            QVERIFY(near(bar.item(i)->textColour(), QColor(85, 85, 85)));
        }
        // Blending covers the alpha channel too.
        QVERIFY(near(StudyColours::blended(QColor(0, 0, 0, 0), QColor(255, 255, 255), 0.5),
                     QColor(128, 128, 128, 128)));
    }

    void springOvershootsSlightlyAndSettles()
    {
        const QEasingCurve spring = StudyAnimation::spring();
        QCOMPARE(spring.valueForProgress(0), 0.0);
        QCOMPARE(spring.valueForProgress(1), 1.0);
        qreal peak = 0;
        for (int i = 0; i <= 100; ++i)
            peak = std::max(peak, spring.valueForProgress(i / 100.0));
        QVERIFY(peak > 1.0 && peak < 1.03);
        QVERIFY(StudyAnimation::springPosition(0.275) > 0.6);
        QVERIFY(std::abs(StudyAnimation::springPosition(StudyAnimation::springDuration / 1000.0) -
                         1) < 0.002);
    }
};

QTEST_MAIN(TestStudyIndicators)
#include "test_study_indicators.moc"

#include "ui/look/palette_look.h"
#include "ui/study/face_progress_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_colours.h"

#include <QSignalSpy>
#include <QTest>

static bool near(const QColor &a, const QColor &b)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    return std::max({qAbs(x.red() - y.red()), qAbs(x.green() - y.green()),
                     qAbs(x.blue() - y.blue()), qAbs(x.alpha() - y.alpha())}) <= 1;
}

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
        const auto shown = [&] { // as in the table, ? for neither colour
            QString dots;
            for (int i = 0; i < FaceProgressView::dotCount; ++i)
                dots += near(view.dotColour(i), systemGreen(false))     ? u'g'
                        : near(view.dotColour(i), StudyColours::gray()) ? u'.'
                                                                        : u'?';
            return dots;
        };
        view.setState(qint8(state));
        QCOMPARE(shown(), green);
        // The same once an animation towards the other end is turned back mid-way.
        view.setState(state > 1 ? 0 : 3, true);
        QTest::qWait(StudyAnimation::springDuration / 3);
        view.setState(qint8(state), true);
        QTRY_COMPARE(shown(), green);
    }

    void barItemsShowTheirRatingsInTheirFonts()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        const qreal body = SelectionBarItem::bodyFont(QFont()).pointSizeF();
        const qreal footnote = SelectionBarItem::footnoteFont(QFont()).pointSizeF();
        for (qsizetype i = 0; i < 4; ++i) {
            QCOMPARE(bar.item(i)->text(), QString::number(i));
            QCOMPARE(bar.item(i)->font().pointSizeF(), i == 2 ? body : footnote);
            QCOMPARE(bar.item(i)->padding(), i == 2 ? 8 : 4);
        }
        // The invisible placeholders keep a selected item's room at both ends.
        for (SelectionBarItem *end : {bar.leadingPlaceholder(), bar.trailingPlaceholder()}) {
            QCOMPARE(end->text(), u"l"_qs);
            QCOMPARE(end->padding(), 8);
        }
    }

    void barItemsAreTintedByRating()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        // 60 % of the way from gray (128) to green (0x34, 0xC7, 0x59) at 3.
        QVERIFY(near(bar.item(0)->backgroundColour(), QColor(128, 128, 128)));
        QVERIFY(near(bar.item(3)->backgroundColour(), QColor(82, 171, 105)));
        QVERIFY(near(bar.item(3)->textColour(), Qt::white));
        // A dark appearance: white items with dark gray text, whatever the rating.
        bar.setPalette(QPalette(QColor(0x3c, 0x3c, 0x3c), QColor(0x1e, 0x1e, 0x1e)));
        for (qsizetype i = 0; i < 4; ++i) {
            QVERIFY(near(bar.item(i)->backgroundColour(), Qt::white));
            QVERIFY(near(bar.item(i)->textColour(), QColor(85, 85, 85)));
        }
    }

    // Every view takes the appearance from the window colour alike.
    void darkAppearanceFollowsTheWindowColour_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<bool>("dark");
        QTest::newRow("black") << QColor(Qt::black) << true;
        QTest::newRow("dark gray") << QColor(0x2b, 0x2b, 0x2b) << true;
        QTest::newRow("just below the middle") << QColor(127, 127, 127) << true;
        QTest::newRow("the middle") << QColor(128, 128, 128) << false;
        QTest::newRow("light gray") << QColor(0xef, 0xef, 0xef) << false;
    }
    void darkAppearanceFollowsTheWindowColour()
    {
        QFETCH(QColor, window);
        QFETCH(bool, dark);
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        QCOMPARE(isDarkPalette(palette), dark);
        QCOMPARE(systemGreen(palette), dark ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59));
    }

    void blendingMovesEveryChannelAlphaIncluded()
    {
        QVERIFY(near(blendedColour(QColor(0, 0, 0, 0), QColor(255, 255, 255), 0.5),
                     QColor(128, 128, 128, 128)));
        // Past the end the channels stay valid.
        QVERIFY(near(blendedColour(QColor(0, 0, 0), QColor(200, 200, 200), 2), Qt::white));
    }

    void clickingAnItemChoosesItButNotAPlaceholder()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        bar.show();
        QSignalSpy chosen(&bar, &SelectionBar::indexChosen);
        QTest::mouseClick(bar.item(3), Qt::LeftButton);
        QTest::mouseClick(bar.leadingPlaceholder(), Qt::LeftButton);
        QCOMPARE(chosen, QList<QVariantList>{{QVariant::fromValue(qsizetype(3))}});
    }

    void shrinkingTheBarKeepsTheItemsThatRemain()
    {
        SelectionBar bar;
        bar.setItems({0, 1, 2, 3}, 2, false);
        SelectionBarItem *first = bar.item(0);
        bar.setItems({1, 1}, 0, false);
        QCOMPARE(bar.item(0), first);
        QVERIFY(first->isSelected());
        // An empty bar holds only the placeholders.
        bar.setItems({}, 0, false);
        QCOMPARE(bar.findChildren<SelectionBarItem *>().size(), 2);
    }

    void springOvershootsSlightlyAndSettles()
    {
        const QEasingCurve spring = StudyAnimation::spring();
        QCOMPARE(std::pair(spring.valueForProgress(0), spring.valueForProgress(1)),
                 std::pair(0.0, 1.0));
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

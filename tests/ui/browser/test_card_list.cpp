#include "ui/app/window_test_support.h"

#include "ui/browser/card_list_model.h"
#include "ui/browser/card_row_delegate.h"
#include "ui/browser/content_view.h"
#include "ui/browser/sidebar.h"
#include "ui/browser/sidebar_look.h"
#include "ui/study/card_view.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QListView>
#include <QPaintEvent>
#include <QPainter>

namespace {

QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::Text, Qt::white);
    return palette;
}

// Collects what a widget repaints.
class PaintedRegion : public QObject
{
public:
    explicit PaintedRegion(QWidget *widget) { widget->installEventFilter(this); }
    QRegion region;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

class TestCardList : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_fixture;

    CardFace face(qsizetype card, qsizetype index) const
    {
        return m_fixture->coordinator->dataFile()->cards.at(card).faces.at(index);
    }

    void rate(qsizetype card, const QList<int> &ratings)
    {
        for (qsizetype i = 0; i < ratings.size(); ++i) {
            CardFace changed = face(card, i);
            changed.rating = qint8(ratings[i]);
            QVERIFY(m_fixture->coordinator->setFace(card, i, changed));
        }
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void rowsFollowTheDeck()
    {
        CardListModel model(*m_fixture->coordinator);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);

        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("a.txt"), 12));
        QCOMPARE(model.rowCount(), 12);
        QCOMPARE(model.index(0).data().toString(), QStringLiteral("Card 0"));
        QCOMPARE(model.index(11).data().toString(), QStringLiteral("Card 11"));
        QCOMPARE(model.index(3).data(CardListModel::CardIdRole).toUuid(),
                 m_fixture->coordinator->dataFile()->cards.at(3).id);

        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("b.txt"), 3));
        QCOMPARE(model.rowCount(), 3);
        m_fixture->coordinator->open(m_fixture->file(QStringLiteral("empty.txt"), ""));
        QCOMPARE(model.rowCount(), 0);
        m_fixture->coordinator->open(std::nullopt);
        QCOMPARE(model.rowCount(), 0);
    }

    void oneChangedFaceUpdatesOneRow()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), 5));
        CardListModel model(*m_fixture->coordinator);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

        rate(2, {3});
        QCOMPARE(resets.size(), 0);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex().row(), 2);
        QCOMPARE(changes[0][1].toModelIndex().row(), 2);
        QCOMPARE(model.index(2).data(CardListModel::RatingFractionRole).toDouble(), 0.3);
        QCOMPARE(model.index(1).data(CardListModel::RatingFractionRole).toDouble(), 0.0);
    }

    void dotColourFollowsTheRatings_data()
    {
        QTest::addColumn<QList<int>>("faces");   // faces per card: one card
        QTest::addColumn<QList<int>>("ratings"); // of its faces
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            const char *look = dark ? "dark" : "light";
            QTest::addRow("all zero, %s", look) << QList<int>{2} << QList<int>{0, 0} << 0.0 << dark;
            QTest::addRow("average 3, %s", look)
                << QList<int>{2} << QList<int>{3, 3} << 0.6 << dark;
            QTest::addRow("mixed 1 and 3, %s", look)
                << QList<int>{2} << QList<int>{1, 3} << 0.4 << dark;
            QTest::addRow("average 5, %s", look)
                << QList<int>{3} << QList<int>{5, 5, 5} << 1.0 << dark;
            QTest::addRow("no faces, %s", look) << QList<int>{0} << QList<int>{} << 0.0 << dark;
        }
    }

    void dotColourFollowsTheRatings()
    {
        QFETCH(QList<int>, faces);
        QFETCH(QList<int>, ratings);
        QFETCH(double, fraction);
        QFETCH(bool, dark);
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), faces));
        QCOMPARE(m_fixture->coordinator->dataFile()->cards.size(), 1);
        rate(0, ratings);

        const QPalette palette = dark ? darkPalette() : lightPalette();
        const QColor green = dark ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);
        QCOMPARE(systemGreen(palette), green);
        const QColor expected = ratingDotColor(fraction, palette);
        QCOMPARE(expected.alphaF(), float(fraction));
        QVERIFY(qAbs(expected.redF() - fraction * green.redF()) < 1e-4);
        QVERIFY(qAbs(expected.greenF() - fraction * green.greenF()) < 1e-4);

        // What the delegate actually paints at the dot's centre, over a transparent row.
        CardListModel model(*m_fixture->coordinator);
        QListView view;
        view.setPalette(palette);
        view.setModel(&model);
        CardRowDelegate delegate;
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.palette = palette;
        option.state = QStyle::State_Enabled;
        option.rect = QRect(0, 0, 200, 24);
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            delegate.paint(&painter, option, model.index(0));
        }
        // The most opaque pixel along the row's middle, near its right end, is the dot's centre.
        QColor centre;
        for (int x = option.rect.right() - 30; x <= option.rect.right(); ++x) {
            const QColor c = image.pixelColor(x, option.rect.center().y());
            if (c.alpha() > centre.alpha() || !centre.isValid())
                centre = c;
        }
        QVERIFY2(
            qAbs(centre.alpha() - expected.alpha()) <= 2,
            qPrintable(
                QStringLiteral("alpha %1, expected %2").arg(centre.alpha()).arg(expected.alpha())));
        if (expected.alpha() > 0) {
            QVERIFY(qAbs(centre.red() - expected.red()) <= 2);
            QVERIFY(qAbs(centre.green() - expected.green()) <= 2);
            QVERIFY(qAbs(centre.blue() - expected.blue()) <= 2);
        }
    }

    void selectionFollowsTheListAndTheStudyView()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("five.txt"), 5));
        ContentView content(*m_fixture->coordinator, *m_fixture->recent);
        content.resize(800, 500);
        content.show();
        QVERIFY(QTest::qWaitForWindowExposed(&content));
        QListView *list = content.sidebar()->cardList();
        CardView *cardView = content.cardView();

        // Starts at the first card, with the card count handed to the study view.
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(0));
        QCOMPARE(list->currentIndex().row(), 0);
        QVERIFY(list->selectionModel()->isRowSelected(0, {}));
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(0));
        QCOMPARE(cardView->cardCount(), 5);

        // Choosing a row.
        const QRect row3 = list->visualRect(list->model()->index(3, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row3.center());
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(3));
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(3));

        // The study view moving on.
        Q_EMIT cardView->selectedCardChangeRequested(4);
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(4));
        QCOMPARE(list->currentIndex().row(), 4);
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(4));

        // Rating the selected card keeps its row, position and selection.
        rate(4, {2, 2});
        QCOMPARE(list->currentIndex().row(), 4);
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(4));

        // Another deck keeps the position; beyond its end nothing is selected.
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("six.txt"), 6));
        QCOMPARE(list->currentIndex().row(), 4);
        QCOMPARE(cardView->cardCount(), 6);
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("two.txt"), 2));
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(4));
        QVERIFY(!list->currentIndex().isValid());
        QVERIFY(!list->selectionModel()->hasSelection());
        QCOMPARE(cardView->selectedCard(), std::nullopt);
        QCOMPARE(cardView->cardCount(), 2);
        // ... until a bigger deck comes back.
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("six.txt"), 6));
        QCOMPARE(list->currentIndex().row(), 4);

        // An empty deck: no rows, count 0, nothing selected.
        content.setSelectedCardIndex(0);
        m_fixture->coordinator->open(m_fixture->file(QStringLiteral("empty.txt"), ""));
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(cardView->cardCount(), 0);
        QCOMPARE(cardView->selectedCard(), std::nullopt);
    }

    void ratingChangeRepaintsItsRow()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), 40));
        ContentView content(*m_fixture->coordinator, *m_fixture->recent);
        content.resize(800, 500);
        content.show();
        QVERIFY(QTest::qWaitForWindowExposed(&content));
        QListView *list = content.sidebar()->cardList();
        PaintedRegion painted(list->viewport());
        QTest::qWait(50);
        painted.region = {};

        const QRect row = list->visualRect(list->model()->index(2, 0));
        rate(2, {5, 5});
        QTRY_VERIFY(painted.region.contains(row));
        // Only that row, not the whole list.
        QVERIFY(!painted.region.contains(list->visualRect(list->model()->index(5, 0))));
        QCOMPARE(list->visualRect(list->model()->index(2, 0)), row);
    }

    void listLeavesKeysToTheStudyView()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), {2, 2, 2, 2}));
        ContentView content(*m_fixture->coordinator, *m_fixture->recent);
        content.resize(800, 500);
        content.show();
        QVERIFY(QTest::qWaitForWindowExposed(&content));
        QListView *list = content.sidebar()->cardList();
        QCOMPARE(list->focusPolicy(), Qt::ClickFocus);

        // With the list focused, the study view's keys still act once, and the list follows.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QTRY_VERIFY(list->hasFocus());
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(1));
        QTest::keyClick(content.windowHandle(), Qt::Key_Right);
        QTRY_COMPARE(content.selectedCardIndex(), std::optional<qsizetype>(2));
        QCOMPARE(list->currentIndex().row(), 2);
        QTest::keyClick(content.windowHandle(), Qt::Key_Left);
        QTRY_COMPARE(content.selectedCardIndex(), std::optional<qsizetype>(1));
        // Up and Down move between faces, not between rows of the list.
        QCOMPARE(content.cardView()->currentFace(), 0);
        QTest::keyClick(content.windowHandle(), Qt::Key_Down);
        QTRY_COMPARE(content.cardView()->currentFace(), 1);
        QCOMPARE(list->currentIndex().row(), 1);
    }
};

QTEST_MAIN(TestCardList)
#include "test_card_list.moc"

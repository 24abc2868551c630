#include "ui/app/window_test_support.h"

#include "core/app/card_list_model.h"
#include "ui/app/content_view.h"
#include "ui/browser/card_list_view.h"
#include "ui/browser/card_row_delegate.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPaintEvent>
#include <QPainter>
#include <QStringListModel>

namespace {

// Collects what a widget repaints.
struct PaintedRegion : QObject
{
    explicit PaintedRegion(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QRegion region;
};

} // namespace

class TestCardList : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;
    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

    void rate(qsizetype card, const QList<int> &ratings)
    {
        for (qsizetype i = 0; i < ratings.size(); ++i) {
            CardFace face = coordinator().dataFile()->cards.at(card).faces.at(i);
            face.rating = qint8(ratings[i]);
            QVERIFY(coordinator().setFace(card, i, face));
        }
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void rowsFollowTheDeckAndOneChangeUpdatesOneRow()
    {
        CardListModel model(coordinator());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        coordinator().open(m_fixture->deck(QStringLiteral("a.txt"), 12));
        QCOMPARE(model.rowCount(), 12);
        QCOMPARE(model.index(11).data().toString(), QStringLiteral("Card 11"));

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        rate(2, {3});
        QCOMPARE(resets.size(), 0);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex().row(), 2);
        QCOMPARE(changes[0][1].toModelIndex().row(), 2);
        QCOMPARE(model.index(2).data(CardListModel::RatingFractionRole).toDouble(), 0.3);

        coordinator().open(m_fixture->file(QStringLiteral("empty.txt"), ""));
        QCOMPARE(model.rowCount(), 0);
        coordinator().open(m_fixture->deck(QStringLiteral("b.txt"), 3));
        QCOMPARE(model.rowCount(), 3);
        coordinator().open(std::nullopt);
        QCOMPARE(model.rowCount(), 0);
    }

    void dotColourFollowsTheRatings_data()
    {
        QTest::addColumn<QList<int>>("ratings"); // of the faces of the only card
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            const char *look = dark ? "dark" : "light";
            QTest::addRow("all zero, %s", look) << QList<int>{0, 0} << 0.0 << dark;
            QTest::addRow("mixed 1 and 3, %s", look) << QList<int>{1, 3} << 0.4 << dark;
            QTest::addRow("average 5, %s", look) << QList<int>{5, 5, 5} << 1.0 << dark;
            QTest::addRow("no faces, %s", look) << QList<int>{} << 0.0 << dark;
        }
    }
    void dotColourFollowsTheRatings()
    {
        QFETCH(QList<int>, ratings);
        QFETCH(double, fraction);
        QFETCH(bool, dark);
        coordinator().open(
            m_fixture->deck(QStringLiteral("deck.txt"), QList<int>{int(ratings.size())}));
        rate(0, ratings);

        const QColor green = dark ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);

        CardListModel model(coordinator());
        QStyleOptionViewItem option;
        option.palette.setColor(QPalette::Window,
                                dark ? QColor(0x32, 0x32, 0x32) : QColor(0xEC, 0xEC, 0xEC));
        option.rect = QRect(0, 0, 200, 24);
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        CardRowDelegate().paint(&painter, option, model.index(0));
        painter.end();
        // The dot's centre: the most opaque pixel near the right end of a transparent row.
        QColor centre(0, 0, 0, 0);
        for (int x = 170; x < 200; ++x)
            if (image.pixelColor(x, 12).alpha() > centre.alpha())
                centre = image.pixelColor(x, 12);
        // Blended from transparent black to green, all four channels.
        const QColor expected =
            QColor::fromRgbF(float(fraction * green.redF()), float(fraction * green.greenF()),
                             float(fraction * green.blueF()), float(fraction));
        const auto near = [](int a, int b) { return qAbs(a - b) <= 2; };
        QVERIFY2(near(centre.alpha(), expected.alpha()) &&
                     (fraction == 0 || (near(centre.red(), expected.red()) &&
                                        near(centre.green(), expected.green()) &&
                                        near(centre.blue(), expected.blue()))),
                 qPrintable(centre.name(QColor::HexArgb)));
    }

    void selectionRepaintsAndKeysFollowTheListAndTheStudyView()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("five.txt"), 5));
        ContentView content(coordinator(), *m_fixture->recent);
        content.resize(800, 500);
        content.show();
        QVERIFY(QTest::qWaitForWindowActive(&content));
        QListView *list = content.sidebar()->cardList();
        CardView *cardView = content.cardView();
        QVERIFY(list->selectionModel()->isRowSelected(0, {}));
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(0));

        // A rating change repaints its own row only.
        PaintedRegion painted(list->viewport());
        QTest::qWait(50);
        painted.region = {};
        rate(2, {5, 5});
        QTRY_VERIFY(painted.region.contains(list->visualRect(list->model()->index(2, 0))));
        QVERIFY(!painted.region.contains(list->visualRect(list->model()->index(4, 0))));

        // With the list focused by a click, each key acts once, on the study view; the list
        // follows.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QTRY_VERIFY(list->hasFocus());
        const auto press = [&](Qt::Key key, int card) {
            QTest::keyClick(content.windowHandle(), key);
            QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(card));
            QCOMPARE(list->currentIndex().row(), card);
        };
        press(Qt::Key_Right, 2);
        press(Qt::Key_Left, 1);
        press(Qt::Key_Down, 1); // a face, not a row
        QCOMPARE(cardView->currentFace(), 1);
        press(Qt::Key_J, 2);  // past the last face of card 1
        press(Qt::Key_Up, 1); // before the first face: the previous card
        for (const int card : {2, 3, 4})
            press(Qt::Key_N, card);
        rate(4, {2, 2});
        QCOMPARE(list->currentIndex().row(), 4);

        // Another deck keeps the position where it has that card, else starts at its first.
        coordinator().open(m_fixture->deck(QStringLiteral("six.txt"), 6));
        QCOMPARE(list->currentIndex().row(), 4);
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(4));
        coordinator().open(m_fixture->deck(QStringLiteral("two.txt"), 2));
        QCOMPARE(content.selectedCardIndex(), std::optional<qsizetype>(0));
        QCOMPARE(list->currentIndex().row(), 0);
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(0));
        QCOMPARE(cardView->cardCount(), 2);

        content.setSelectedCardIndex(0);
        coordinator().open(m_fixture->file(QStringLiteral("empty.txt"), ""));
        QCOMPARE(cardView->cardCount(), 0);
        QCOMPARE(cardView->selectedCard(), std::nullopt);
    }

    void rowsShowTheCaptionOrTheMaskedFirstLine_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QString>("caption");
        QTest::newRow("caption") << QByteArray("=== Europe\nParis\n") << u"Europe"_qs;
        QTest::newRow("first line")
            << QByteArray("===\nThe capital\nof France\n") << u"The capital"_qs;
        QTest::newRow("first line masked")
            << QByteArray("===\n{Paris} is the capital\n") << u"_____ is the capital"_qs;
        QTest::newRow("first line that says something")
            << QByteArray("=====\n\n   \n---\n  Second face\n") << u"Second face"_qs;
        QTest::newRow("nothing") << QByteArray("===\n\n") << QString();
    }
    // A long list is laid out a batch at a time while the window goes on; a row scrolled to
    // before the layout reached it is shown once it has.
    void aLongListIsLaidOutInBatchesAndScrollsToARowBeyondTheFirst()
    {
        QStringList rows;
        for (int i = 0; i < 70000; ++i)
            rows.append(QStringLiteral("Card %1").arg(i));
        QStringListModel model(rows);
        CardListView list;
        list.setModel(&model);
        list.resize(240, 300);
        list.show();
        const QModelIndex far = model.index(65000);
        list.scrollTo(far);
        // Not there yet: no event has been handled since, and the first batch is all that was
        // laid out.
        QVERIFY(!list.viewport()->rect().intersects(list.visualRect(far)));
        QTRY_VERIFY(list.viewport()->rect().intersects(list.visualRect(far)));
        // Every row has its place in the end.
        list.scrollToBottom();
        QTRY_VERIFY(list.viewport()->rect().intersects(list.visualRect(model.index(69999))));
    }

    void rowsShowTheCaptionOrTheMaskedFirstLine()
    {
        QFETCH(QByteArray, card);
        QFETCH(QString, caption);
        CardListModel model(coordinator());
        coordinator().open(m_fixture->file(QStringLiteral("deck.txt"), card));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0).data().toString(), QStringLiteral("Card 0"));
        QCOMPARE(model.index(0).data(CardListModel::CaptionRole).toString(), caption);
    }

    void filterNarrowsTheRowsWhileTheStudyGoesOn()
    {
        coordinator().open(m_fixture->file(QStringLiteral("deck.txt"),
                                           "=== Europe\nThe capital of France is {Paris}.\n"
                                           "=== Asia\nThe capital of Japan is {Tokyo}.\n"
                                           "===\nRome\n"
                                           "=== Europe again\nThe capital of Italy is {Rome}.\n"));
        ContentView content(coordinator(), *m_fixture->recent);
        content.resize(800, 500);
        content.show();
        QVERIFY(QTest::qWaitForWindowActive(&content));
        QListView *list = content.sidebar()->cardList();
        CardView *cardView = content.cardView();
        auto *model = content.sidebar()->cardModel();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto *field = content.findChild<QLineEdit *>(QStringLiteral("cardFilter"));
        auto *count = content.findChild<QLabel *>(QStringLiteral("cardFilterCount"));
        QVERIFY(field && count);
        QVERIFY(!count->isVisible());
        const auto rows = [&] {
            QList<qsizetype> cards;
            for (int row = 0; row < list->model()->rowCount(); ++row)
                cards
                    << list->model()->index(row, 0).data(CardListModel::CardIndexRole).toLongLong();
            return cards;
        };
        const auto type = [&](const QString &text) {
            for (const QChar c : text)
                QTest::keyClick(content.windowHandle(), c.toLatin1());
        };

        // Ctrl+F reaches the field from anywhere; study keys are typed into it.
        QTest::keySequence(content.windowHandle(), QKeySequence::Find);
        QTRY_VERIFY(field->hasFocus());
        type(u"rome"_qs);
        QCOMPARE(field->text(), u"rome"_qs);
        QCOMPARE(rows(), (QList<qsizetype>{2, 3}));
        QVERIFY(count->isVisible());
        QCOMPARE(count->text(), u"2 of 4 cards"_qs);
        // The card under study stays, without a row.
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(0));
        QVERIFY(!list->selectionModel()->hasSelection());

        // A row chosen shows its card, by its place in the deck.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(3));
        QCOMPARE(list->currentIndex().row(), 1);
        QTest::keyClick(content.windowHandle(), Qt::Key_P);
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(2));
        QCOMPARE(list->currentIndex().row(), 0);
        QTest::keyClick(content.windowHandle(), Qt::Key_P);
        QCOMPARE(cardView->selectedCard(), std::optional<qsizetype>(1));
        QVERIFY(!list->selectionModel()->hasSelection());

        // More words narrow; accents and case are ignored; hidden text counts.
        field->setText(u"CAPITAL tókyo"_qs);
        QCOMPARE(rows(), (QList<qsizetype>{1}));
        QCOMPARE(list->currentIndex().row(), 0);
        field->setText(u"capital"_qs);
        QCOMPARE(rows(), (QList<qsizetype>{0, 1, 3}));
        field->setText(u"nowhere"_qs);
        QCOMPARE(rows(), QList<qsizetype>{});
        QCOMPARE(count->text(), u"0 of 4 cards"_qs);

        // Escape empties the field and every card is listed again.
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(field->text(), QString());
        QCOMPARE(rows(), (QList<qsizetype>{0, 1, 2, 3}));
        QVERIFY(!count->isVisible());
        QCOMPARE(list->currentIndex().row(), 1);

        // A deck read again keeps the filter on its new text.
        field->setText(u"europe"_qs);
        QCOMPARE(rows(), (QList<qsizetype>{0, 3}));
        coordinator().open(m_fixture->file(QStringLiteral("other.txt"),
                                           "=== Europe\nA\n=== Asia\nB\n=== europe\nC\n"));
        QCOMPARE(rows(), (QList<qsizetype>{0, 2}));
        QCOMPARE(count->text(), u"2 of 3 cards"_qs);
    }
};

QTEST_MAIN(TestCardList)
#include "test_card_list.moc"

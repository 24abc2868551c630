#include "ui/browser/content_view.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view_controls.h"
#include "ui/study/face_controls.h"
#include "ui/study/face_progress_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_host.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

// Three cards of 3, 2 and 3 faces; hidden passages in braces.
const QString deck = QStringLiteral("=== one\n"
                                    "Alpha {a}\n---\nBeta {b}\n---\nGamma {c}\n"
                                    "=== two\n"
                                    "Delta {d}\n---\nEpsilon {e}\n"
                                    "=== three\n"
                                    "Zeta {z}\n---\nEta {h}\n---\nTheta {t}\n");

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x1e, 0x1e, 0x1e);
    const QColor base(0x2d, 0x2d, 0x2d);
    const QColor button(0x3c, 0x3c, 0x3c);
    for (const auto &[role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, window},
             {QPalette::WindowText, Qt::white},
             {QPalette::Base, base},
             {QPalette::AlternateBase, window},
             {QPalette::Text, Qt::white},
             {QPalette::Button, button},
             {QPalette::ButtonText, Qt::white},
             {QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a)},
             {QPalette::Light, button.lighter(150)},
             {QPalette::Midlight, button.lighter(125)},
             {QPalette::Mid, button.darker(125)},
             {QPalette::Dark, button.darker(150)},
             {QPalette::Shadow, Qt::black},
             {QPalette::Highlight, QColor(0x2a, 0x82, 0xda)},
             {QPalette::HighlightedText, Qt::white}})
        palette.setColor(role, colour);
    return palette;
}

} // namespace

class TestCardView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StudyHost> host;

    void goTo(qsizetype card, qsizetype face)
    {
        host->list->setCurrentRow(int(card));
        host->view->setCurrentFace(face);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(card));
        QCOMPARE(host->view->currentFace(), face);
    }

private Q_SLOTS:
    void init()
    {
        host = std::make_unique<StudyHost>(deck);
        QVERIFY(host->show());
    }
    void cleanup() { host.reset(); }

    void showsEveryFaceMaskedWithTheFirstActive()
    {
        QCOMPARE(host->view->faceViews().size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            FaceView *face = host->face(i);
            QCOMPARE(face->isActive(), i == 0);
            QCOMPARE(face->header()->isVisible(), i == 0);
            QCOMPARE(face->buttonRow()->isVisible(), i == 0);
            QCOMPARE(face->correctButton()->isEnabled(), i == 0);
            QVERIFY(face->textHidden());
            QCOMPARE(face->width(),
                     FaceView::textWidth + 2 * FaceView::padding + 2 * FaceView::shadowMargin);
        }
        QCOMPARE(host->face(0)->textLabel()->text(), QStringLiteral("Alpha _\n"));
        QCOMPARE(host->face(0)->textLabel()->width(), FaceView::textWidth);
    }

    void titlesAndToolTips()
    {
        FaceView *face = host->active();
        const QList<std::pair<QAbstractButton *, QString>> expected = {
            {face->revealButton(), QStringLiteral("Reveal hidden text (r)")},
            {face->correctButton(), QStringLiteral("Mark correct (c)")},
            {face->incorrectButton(), QStringLiteral("Mark incorrect (x)")},
            {face->passButton(), QStringLiteral("Pass (space)")},
            {host->view->faceControls()->previousButton(),
             QStringLiteral("Show previous face of card (k)")},
            {host->view->faceControls()->nextButton(),
             QStringLiteral("Show next face of card (j)")},
            {host->view->cardControls()->previousButton(),
             QStringLiteral("Show previous card (p)")},
            {host->view->cardControls()->nextButton(), QStringLiteral("Show next card (n)")},
        };
        for (const auto &[button, toolTip] : expected)
            QCOMPARE(button->toolTip(), toolTip);
        QCOMPARE(face->revealButton()->text(), QStringLiteral("Reveal"));
        QCOMPARE(face->passButton()->text(), QStringLiteral("Pass"));
        QCOMPARE(host->view->cardControls()->label()->text(), QStringLiteral("Card:"));
        // The card controls keep their place but are never drawn.
        QVERIFY(!host->view->cardControls()->isVisible());
        const QRect controls = host->view->cardControls()->geometry();
        QVERIFY(controls.height() > 0);
        QVERIFY(host->view->scrollArea()->geometry().bottom() < controls.top());

        QComboBox *picker = face->progressPicker();
        QCOMPARE(picker->width(), 120);
        QStringList labels;
        for (int i = 0; i < picker->count(); ++i)
            labels << picker->itemText(i);
        QCOMPARE(labels, QStringList({QStringLiteral("New"), QStringLiteral("Learning"),
                                      QStringLiteral("Mastered"), QStringLiteral("Archived"),
                                      QStringLiteral("Abandoned")}));
    }

    void revealActsOnTheActiveFaceOnly()
    {
        host->key(Qt::Key_R);
        QVERIFY(!host->face(0)->textHidden());
        QCOMPARE(host->face(0)->textLabel()->text(), QStringLiteral("Alpha a\n"));
        QCOMPARE(host->face(0)->revealButton()->text(), QStringLiteral("Hide"));
        QVERIFY(host->face(1)->textHidden());

        // The inactive face keeps what it showed; the keys now act on face 1.
        host->key(Qt::Key_J);
        host->key(Qt::Key_R);
        QVERIFY(!host->face(0)->textHidden());
        QVERIFY(!host->face(1)->textHidden());
        host->key(Qt::Key_R);
        QVERIFY(host->face(1)->textHidden());

        // Inactive panels ignore their actions, as their disabled buttons would.
        host->face(2)->toggleHidden();
        host->face(2)->markCorrect();
        QVERIFY(host->face(2)->textHidden());
        QCOMPARE(host->deckFace(0, 2).rating, 0);
    }

    void correctOnANewFace()
    {
        QSignalSpy writes(host->coordinator.get(), &CommandsCoordinator::cardChanged);
        QSignalSpy replaced(host->coordinator.get(), &CommandsCoordinator::dataFileChanged);
        FaceView *before = host->active();
        host->key(Qt::Key_C);
        QCOMPARE(writes.size(), 1);
        QCOMPARE(replaced.size(), 0);
        QCOMPARE(host->deckFace(0, 0).rating, 1);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Learning);
        // The record changed: a fresh panel, masked again, still the active one.
        QVERIFY(host->active() != before);
        QVERIFY(host->active()->textHidden());
        QVERIFY(host->active()->isActive());
        QCOMPARE(host->active()->progressView()->state(), 1);
        QCOMPARE(host->active()->progressPicker()->currentText(), QStringLiteral("Learning"));
        QCOMPARE(host->view->faceControls()->selectionBar()->item(0)->rating(), 1);
        QCOMPARE(host->face(1)->face(), host->deckFace(0, 1));

        host->active()->correctButton()->click();
        QCOMPARE(writes.size(), 2);
        QCOMPARE(host->deckFace(0, 0).rating, 2);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Learning);
    }

    void reviewThatLeavesTheRecordKeepsThePanelRevealed_data()
    {
        QTest::addColumn<int>("rating");
        QTest::addColumn<CardFaceProgress>("progress");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("expectedRating");
        QTest::addColumn<bool>("rebuilt");

        QTest::newRow("correct, mastered at 3")
            << 3 << CardFaceProgress::Mastered << Qt::Key_C << 3 << false;
        QTest::newRow("incorrect at 0") << 0 << CardFaceProgress::New << Qt::Key_X << 0 << false;
        QTest::newRow("incorrect at 2")
            << 2 << CardFaceProgress::Learning << Qt::Key_X << 1 << true;
        QTest::newRow("correct, stored 7")
            << 7 << CardFaceProgress::Archived << Qt::Key_C << 3 << true;
        QTest::newRow("incorrect, stored 7")
            << 7 << CardFaceProgress::Archived << Qt::Key_X << 6 << true;
    }
    void reviewThatLeavesTheRecordKeepsThePanelRevealed()
    {
        QFETCH(int, rating);
        QFETCH(CardFaceProgress, progress);
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedRating);
        QFETCH(bool, rebuilt);

        host->setFace(0, 0, qint8(rating), progress);
        FaceView *before = host->active();
        QCOMPARE(before->face().rating, rating);
        QSignalSpy writes(host->coordinator.get(), &CommandsCoordinator::cardChanged);
        host->key(key);
        QCOMPARE(writes.size(), 1); // written (and saved) even when nothing changed
        QCOMPARE(host->deckFace(0, 0).rating, expectedRating);
        QCOMPARE(host->deckFace(0, 0).progress, progress);
        QCOMPARE(host->active() != before, rebuilt);
        QCOMPARE(host->active()->textHidden(), rebuilt);
        QCOMPARE(host->active()->face(), host->deckFace(0, 0));
    }

    void faceKeys_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<int>("face");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("expectedCard");
        QTest::addColumn<int>("expectedFace");

        QTest::newRow("j within a card") << 1 << 0 << Qt::Key_J << 1 << 1;
        QTest::newRow("down within a card") << 0 << 1 << Qt::Key_Down << 0 << 2;
        QTest::newRow("j past the last face") << 0 << 2 << Qt::Key_J << 1 << 0;
        QTest::newRow("j past the last card") << 2 << 2 << Qt::Key_J << 0 << 0;
        QTest::newRow("k within a card") << 2 << 2 << Qt::Key_K << 2 << 1;
        QTest::newRow("up before the first face") << 1 << 0 << Qt::Key_Up << 0 << 0;
        QTest::newRow("k before the first card") << 0 << 0 << Qt::Key_K << 2 << 0;
    }
    void faceKeys()
    {
        QFETCH(int, card);
        QFETCH(int, face);
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedCard);
        QFETCH(int, expectedFace);

        goTo(card, face);
        host->key(key);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(expectedCard));
        QCOMPARE(host->view->currentFace(), expectedFace);
        QCOMPARE(host->list->currentRow(), expectedCard);
        for (qsizetype i = 0; i < host->view->faceViews().size(); ++i)
            QCOMPARE(host->face(i)->isActive(), i == expectedFace);
        QCOMPARE(host->view->faceControls()->selectionBar()->index(), expectedFace);
    }

    void cardKeysStopAtTheEnds_data()
    {
        QTest::addColumn<int>("card");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("expectedCard");

        QTest::newRow("n") << 0 << Qt::Key_N << 1;
        QTest::newRow("right") << 1 << Qt::Key_Right << 2;
        QTest::newRow("n at the last card") << 2 << Qt::Key_N << 2;
        QTest::newRow("right at the last card") << 2 << Qt::Key_Right << 2;
        QTest::newRow("p") << 2 << Qt::Key_P << 1;
        QTest::newRow("left") << 1 << Qt::Key_Left << 0;
        QTest::newRow("p at card 0") << 0 << Qt::Key_P << 0;
        QTest::newRow("left at card 0") << 0 << Qt::Key_Left << 0;
    }
    void cardKeysStopAtTheEnds()
    {
        QFETCH(int, card);
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedCard);

        goTo(card, 1);
        CardViewControls *controls = host->view->cardControls();
        QCOMPARE(controls->previousButton()->isEnabled(), card > 0);
        QCOMPARE(controls->nextButton()->isEnabled(), card < 2);
        host->key(key);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(expectedCard));
        // Another card starts at its first face; the same card stays where it was.
        QCOMPARE(host->view->currentFace(), expectedCard == card ? 1 : 0);
    }

    void passOnTheLastFaceOfTheLastCard()
    {
        goTo(2, 2);
        host->key(Qt::Key_R);
        QVERIFY(!host->active()->textHidden());
        QSignalSpy writes(host->coordinator.get(), &CommandsCoordinator::cardChanged);
        host->key(Qt::Key_Space);
        QCOMPARE(writes.size(), 0);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(0));
        QCOMPARE(host->view->currentFace(), 0);

        // Within a card the passed face stays, masked again.
        host->key(Qt::Key_R);
        FaceView *passed = host->active();
        host->active()->passButton()->click();
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(host->face(0), passed);
        QVERIFY(passed->textHidden());
        QVERIFY(!passed->isActive());
    }

    void pickerWritesTheProgress()
    {
        QSignalSpy writes(host->coordinator.get(), &CommandsCoordinator::cardChanged);
        QComboBox *picker = host->active()->progressPicker();
        picker->setCurrentIndex(3);
        Q_EMIT picker->activated(3); // what choosing from the pop-up does
        QCOMPARE(writes.size(), 1);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Archived);
        QCOMPARE(host->active()->progressPicker()->currentText(), QStringLiteral("Archived"));
        // Correct afterwards raises the rating and keeps the state.
        host->key(Qt::Key_C);
        QCOMPARE(host->deckFace(0, 0).rating, 1);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Archived);
    }

    void keysWhereverTheFocusIsButNotInTextOrPopups()
    {
        // The card list has the focus: the arrows still move between faces and cards.
        host->list->setFocus();
        QTRY_VERIFY(host->list->hasFocus());
        host->key(Qt::Key_Down);
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(host->list->currentRow(), 0);
        host->key(Qt::Key_Right);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(1));
        host->key(Qt::Key_Up);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(0));
        host->key(Qt::Key_J);
        QCOMPARE(host->view->currentFace(), 1);

        // A text field keeps its keys.
        host->field->setFocus();
        QTRY_VERIFY(host->field->hasFocus());
        for (const Qt::Key key :
             {Qt::Key_C, Qt::Key_J, Qt::Key_Space, Qt::Key_N, Qt::Key_Down, Qt::Key_Left})
            host->key(key);
        QCOMPARE(host->field->text(), QStringLiteral("cj n"));
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(0));
        QCOMPARE(host->deckFace(0, 1).rating, 0);

        // So does the picker's open pop-up.
        host->list->setFocus();
        QComboBox *picker = host->active()->progressPicker();
        picker->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_J);
        QCOMPARE(host->deckFace(0, 1).rating, 0);
        QCOMPARE(host->view->currentFace(), 1);
        picker->hidePopup();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        // With a modifier a key is another key.
        QTest::keyClick(host->window.windowHandle(), Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(host->view->currentFace(), 1);
    }

    void theDeckBrowsersCardListLeavesTheKeysToTheView()
    {
        host.reset(); // one window at a time
        StudyHost other(deck);
        QMainWindow window;
        auto *content = new ContentView(*other.coordinator, other.recentFiles());
        window.setCentralWidget(content);
        window.resize(1000, 700);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QListView *list = content->sidebar()->cardList();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        CardView *view = content->cardView();
        const auto press = [&](Qt::Key key) { QTest::keyClick(window.windowHandle(), key); };

        press(Qt::Key_Down);
        QCOMPARE(view->currentFace(), 1);
        QCOMPARE(list->currentIndex().row(), 0);
        press(Qt::Key_Right);
        QCOMPARE(content->selectedCardIndex(), std::optional<qsizetype>(1));
        QCOMPARE(list->currentIndex().row(), 1);
        QCOMPARE(view->currentFace(), 0);
        press(Qt::Key_J);
        press(Qt::Key_J); // past the last face of card 1
        QCOMPARE(content->selectedCardIndex(), std::optional<qsizetype>(2));
        press(Qt::Key_Left);
        QCOMPARE(content->selectedCardIndex(), std::optional<qsizetype>(1));
        press(Qt::Key_C);
        QCOMPARE(other.deckFace(1, 0).rating, 1);
        // The rebuilt panel is still the active one, and the selection stays.
        QVERIFY(view->activeFaceView()->isActive());
        QCOMPARE(list->currentIndex().row(), 1);
        press(Qt::Key_Up); // before the first face: the previous card
        QCOMPARE(content->selectedCardIndex(), std::optional<qsizetype>(0));
    }

    void heldKeysLeaveAConsistentView()
    {
        // Twenty j in a row without letting any animation finish, over 3 + 2 + 3 faces.
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(host->window.windowHandle(), Qt::Key_J, Qt::NoModifier);
        // 20 steps over a cycle of 8 positions: 20 mod 8 = 4, i.e. card 1, face 1.
        QCOMPARE(host->view->selectedCard(), std::optional<qsizetype>(1));
        QCOMPARE(host->view->currentFace(), 1);
        for (int i = 0; i < 6; ++i) {
            host->key(Qt::Key_C);
            host->key(Qt::Key_X);
            host->key(Qt::Key_C);
        }
        QCOMPARE(host->deckFace(1, 1).rating, 3);
        int activeCount = 0;
        for (FaceView *face : host->view->faceViews())
            activeCount += face->isActive();
        QCOMPARE(activeCount, 1);
        QCOMPARE(host->active()->face(), host->deckFace(1, 1));
        // The scroll settles on the current face, and the fading rows on the active face only.
        QTRY_COMPARE(host->view->scrollArea()->verticalScrollBar()->value(),
                     host->view->centredScrollPosition());
        for (int i = 0; i < 5; ++i)
            host->key(i % 2 ? Qt::Key_J : Qt::Key_K);
        QCOMPARE(host->view->currentFace(), 0);
        const auto settled = [&] {
            for (FaceView *face : host->view->faceViews()) {
                for (QWidget *row : {face->header(), face->buttonRow()}) {
                    if (row->isVisible() != face->isActive() || row->graphicsEffect() ||
                        row->isEnabled() != face->isActive())
                        return false;
                }
            }
            return true;
        };
        QTRY_VERIFY(settled());
    }

    void currentFaceIsCentred()
    {
        QScrollArea *area = host->view->scrollArea();
        for (const qsizetype face : {qsizetype(0), qsizetype(2), qsizetype(1)}) {
            host->view->setCurrentFace(face);
            const auto centreOffset = [&] {
                const QRect r = host->face(face)->geometry();
                const int inViewport = r.center().y() - area->verticalScrollBar()->value();
                return inViewport - area->viewport()->height() / 2;
            };
            QTRY_VERIFY2(std::abs(centreOffset()) <= 1,
                         qPrintable(QString::number(centreOffset())));
        }
    }

    void facesBarChoosesTheCurrentFace()
    {
        SelectionBar *bar = host->view->faceControls()->selectionBar();
        QCOMPARE(bar->count(), 3);
        QTest::mouseClick(bar->item(2), Qt::LeftButton);
        QCOMPARE(host->view->currentFace(), 2);
        QVERIFY(host->face(2)->isActive());
        QVERIFY(bar->item(2)->isSelected());
        QTest::mouseClick(host->view->faceControls()->previousButton(), Qt::LeftButton);
        QCOMPARE(host->view->currentFace(), 1);
        QTest::mouseClick(host->view->faceControls()->nextButton(), Qt::LeftButton);
        QCOMPARE(host->view->currentFace(), 2);
    }

    void drawsThePanelsInBothPalettes_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void drawsThePanelsInBothPalettes()
    {
        QFETCH(bool, dark);
        const QPalette original = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkPalette());
        host->setFace(0, 0, 3, CardFaceProgress::Mastered);
        host->setFace(0, 1, 2, CardFaceProgress::Learning);
        host->view->setCurrentFace(1);
        host->key(Qt::Key_R);
        QTRY_COMPARE(host->view->scrollArea()->verticalScrollBar()->value(),
                     host->view->centredScrollPosition());
        QTest::qWait(StudyAnimation::springDuration);

        const QImage image = host->view->grab().toImage();
        const QPalette palette = host->view->palette();
        const auto pixelAt = [&](QWidget *widget, QPoint point) {
            return image.pixelColor(widget->mapTo(host->view, point));
        };
        // The window colour around the panels, the text background inside them.
        QCOMPARE(pixelAt(host->view->scrollArea()->viewport(), QPoint(2, 2)),
                 palette.color(QPalette::Window));
        FaceView *active = host->active();
        QCOMPARE(pixelAt(active, active->panelRect().topLeft() + QPoint(12, 12)),
                 palette.color(QPalette::Base));
        // The shadow darkens the window below the active panel only.
        const QPoint below = active->panelRect().bottomLeft() + QPoint(40, 2);
        QVERIFY(pixelAt(active, below).lightness() < palette.color(QPalette::Window).lightness());
        FaceView *inactive = host->face(2);
        QCOMPARE(pixelAt(inactive, inactive->panelRect().bottomLeft() + QPoint(40, 2)),
                 palette.color(QPalette::Window));
        QCOMPARE(host->active()->textLabel()->palette().color(QPalette::Text),
                 palette.color(QPalette::Text));

        const QString folder = qEnvironmentVariable("MEMORANTH_STUDY_SNAPSHOTS");
        if (!folder.isEmpty())
            image.save(QDir(folder).filePath(dark ? QStringLiteral("card_view_dark.png")
                                                  : QStringLiteral("card_view_light.png")));
        QApplication::setPalette(original);
    }

    void noSelectionShowsNothingAndIgnoresKeys()
    {
        host->view->setSelectedCard(std::nullopt);
        QVERIFY(host->view->faceViews().isEmpty());
        QSignalSpy requests(host->view, &CardView::selectedCardChangeRequested);
        for (const Qt::Key key : {Qt::Key_J, Qt::Key_K, Qt::Key_N, Qt::Key_P, Qt::Key_C})
            host->key(key);
        QCOMPARE(requests.size(), 0);
    }

    void readingTheFileAgainKeepsTheCurrentFace()
    {
        goTo(2, 2);
        host->coordinator->reloadActiveFile();
        QCOMPARE(host->view->currentFace(), 2);
        QCOMPARE(host->view->activeFaceView(), host->face(2));
        // Opening a file, even the same one, starts the card again at its first face.
        host->coordinator->open(host->coordinator->activeFile());
        QCOMPARE(host->view->currentFace(), 0);
    }
};

QTEST_MAIN(TestCardView)
#include "test_card_view.moc"

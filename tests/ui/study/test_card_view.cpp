#include "ui/study/card_view_controls.h"
#include "ui/study/face_controls.h"
#include "ui/study/face_progress_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_host.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

namespace {

// Three cards of 3, 2 and 3 faces; hidden passages in braces.
const QString deck = QStringLiteral("=== one\nAlpha {a}\n---\nBeta {b}\n---\nGamma {c}\n"
                                    "=== two\nDelta {d}\n---\nEpsilon {e}\n"
                                    "=== three\nZeta {z}\n---\nEta {h}\n---\nTheta {t}\n");

} // namespace

class TestCardView : public QObject
{
    Q_OBJECT

    std::unique_ptr<StudyHost> host;

    void goTo(qsizetype card, qsizetype face)
    {
        host->list->setCurrentRow(int(card));
        host->view->setCurrentFace(face);
        QCOMPARE(host->view->currentFace(), face);
    }
    std::optional<qsizetype> card() const { return host->view->selectedCard(); }
    // Whether the current face sits in the middle of the scroll area.
    bool currentFaceCentred() const
    {
        QScrollArea *area = host->view->scrollArea();
        const int offset = host->active()->geometry().center().y() -
                           area->verticalScrollBar()->value() - area->viewport()->height() / 2;
        return std::abs(offset) <= 1;
    }

private Q_SLOTS:
    void init()
    {
        host = std::make_unique<StudyHost>(deck);
        QVERIFY(host->show());
    }
    void cleanup() { host.reset(); }

    void firstLookAndHelpTexts()
    {
        QCOMPARE(host->view->faceViews().size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            QCOMPARE(host->face(i)->header()->isVisible(), i == 0);
            QCOMPARE(host->face(i)->buttonRow()->isVisible(), i == 0);
            QVERIFY(host->face(i)->textHidden());
        }
        QCOMPARE(host->face(0)->textLabel()->text(), QStringLiteral("Alpha _\n"));
        QCOMPARE(host->face(0)->textLabel()->width(), FaceView::textWidth);
        // The card controls keep their place below the faces but are never drawn.
        QVERIFY(!host->view->cardControls()->isVisible());
        QVERIFY(host->view->scrollArea()->geometry().bottom() <
                host->view->cardControls()->geometry().top());

        FaceView *face = host->active();
        const QList<std::pair<QAbstractButton *, const char *>> expected = {
            {face->revealButton(), "Reveal hidden text (r)"},
            {face->correctButton(), "Mark correct (c)"},
            {face->incorrectButton(), "Mark incorrect (x)"},
            {face->passButton(), "Pass (space)"},
            {host->view->faceControls()->previousButton(), "Show previous face of card (k)"},
            {host->view->faceControls()->nextButton(), "Show next face of card (j)"},
            {host->view->cardControls()->previousButton(), "Show previous card (p)"},
            {host->view->cardControls()->nextButton(), "Show next card (n)"}};
        for (const auto &[button, toolTip] : expected)
            QCOMPARE(button->toolTip(), QString::fromLatin1(toolTip));
        QStringList labels;
        for (int i = 0; i < face->progressPicker()->count(); ++i)
            labels << face->progressPicker()->itemText(i);
        QCOMPARE(labels, QStringList({"New", "Learning", "Mastered", "Archived", "Abandoned"}));
    }

    void revealActsOnTheActiveFaceOnly()
    {
        host->key(Qt::Key_R);
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

    void review_data()
    {
        QTest::addColumn<int>("rating");
        QTest::addColumn<CardFaceProgress>("progress");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("expectedRating");
        QTest::addColumn<CardFaceProgress>("expectedProgress");
        using P = CardFaceProgress;
        QTest::newRow("correct on a new face") << 0 << P::New << Qt::Key_C << 1 << P::Learning;
        QTest::newRow("correct, mastered at 3")
            << 3 << P::Mastered << Qt::Key_C << 3 << P::Mastered;
        QTest::newRow("incorrect at 0") << 0 << P::New << Qt::Key_X << 0 << P::New;
        QTest::newRow("incorrect at 2") << 2 << P::Learning << Qt::Key_X << 1 << P::Learning;
        QTest::newRow("correct, stored 7") << 7 << P::Archived << Qt::Key_C << 3 << P::Archived;
        QTest::newRow("incorrect, stored 7") << 7 << P::Archived << Qt::Key_X << 6 << P::Archived;
    }
    void review()
    {
        QFETCH(int, rating);
        QFETCH(CardFaceProgress, progress);
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedRating);
        QFETCH(CardFaceProgress, expectedProgress);
        host->setFace(0, 0, qint8(rating), progress);
        FaceView *before = host->active();
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        QSignalSpy replaced(host->coordinator, &CommandsCoordinator::dataFileChanged);
        host->key(key);
        QCOMPARE(writes.size(), 1); // written (and saved) even when nothing changed
        QCOMPARE(replaced.size(), 0);
        QCOMPARE(host->deckFace(0, 0).rating, expectedRating);
        QCOMPARE(host->deckFace(0, 0).progress, expectedProgress);
        // A changed record makes a fresh panel, masked again; an unchanged one shows the answer.
        const bool changed = expectedRating != rating || expectedProgress != progress;
        QCOMPARE(host->active() != before, changed);
        QCOMPARE(host->active()->textHidden(), changed);
        QVERIFY(host->active()->isActive());
        QCOMPARE(host->active()->face(), host->deckFace(0, 0));
        QCOMPARE(host->active()->progressView()->state(), expectedRating);
        QCOMPARE(host->view->faceControls()->selectionBar()->item(0)->rating(), expectedRating);
        QCOMPARE(host->active()->progressPicker()->currentIndex(), int(expectedProgress));
    }

    void navigationKeys_data()
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
        // Another card starts at its first face; at either end the card stays where it was.
        QTest::newRow("n") << 0 << 1 << Qt::Key_N << 1 << 0;
        QTest::newRow("right") << 1 << 1 << Qt::Key_Right << 2 << 0;
        QTest::newRow("n at the last card") << 2 << 1 << Qt::Key_N << 2 << 1;
        QTest::newRow("right at the last card") << 2 << 1 << Qt::Key_Right << 2 << 1;
        QTest::newRow("p") << 2 << 1 << Qt::Key_P << 1 << 0;
        QTest::newRow("left") << 1 << 1 << Qt::Key_Left << 0 << 0;
        QTest::newRow("p at card 0") << 0 << 1 << Qt::Key_P << 0 << 1;
        QTest::newRow("left at card 0") << 0 << 1 << Qt::Key_Left << 0 << 1;
    }
    void navigationKeys()
    {
        QFETCH(int, card);
        QFETCH(int, face);
        QFETCH(Qt::Key, key);
        QFETCH(int, expectedCard);
        QFETCH(int, expectedFace);
        goTo(card, face);
        host->key(key);
        QCOMPARE(this->card(), std::optional<qsizetype>(expectedCard));
        QCOMPARE(host->list->currentRow(), expectedCard);
        QCOMPARE(host->view->currentFace(), expectedFace);
        QCOMPARE(host->active(), host->face(expectedFace));
        QCOMPARE(host->view->faceControls()->selectionBar()->index(), expectedFace);
    }

    void passMovesOnWithoutWriting()
    {
        goTo(2, 2);
        host->key(Qt::Key_R);
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        host->key(Qt::Key_Space); // last face of the last card: back to the start
        QCOMPARE(card(), std::optional<qsizetype>(0));
        QCOMPARE(host->view->currentFace(), 0);
        // Within a card the passed face stays, masked again.
        host->key(Qt::Key_R);
        FaceView *passed = host->active();
        passed->passButton()->click();
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(host->face(0), passed);
        QVERIFY(passed->textHidden());
        QCOMPARE(writes.size(), 0);
    }

    void pickerWritesTheProgress()
    {
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        QComboBox *picker = host->active()->progressPicker();
        picker->setCurrentIndex(3);
        Q_EMIT picker->activated(3); // what choosing from the pop-up does
        QCOMPARE(writes.size(), 1);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Archived);
        // Correct afterwards raises the rating and keeps the state.
        host->active()->correctButton()->click();
        QCOMPARE(host->deckFace(0, 0).rating, 1);
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Archived);
    }

    void keysAreNotTakenFromTextFieldsPopupsOrWithModifiers()
    {
        host->key(Qt::Key_J);
        host->field->setFocus();
        QTRY_VERIFY(host->field->hasFocus());
        for (const Qt::Key key : {Qt::Key_C, Qt::Key_J, Qt::Key_Space, Qt::Key_N, Qt::Key_Down})
            host->key(key);
        QCOMPARE(host->field->text(), QStringLiteral("cj n"));

        host->list->setFocus();
        QComboBox *picker = host->active()->progressPicker();
        picker->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_J);
        picker->hidePopup();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        QTest::keyClick(host->window.windowHandle(), Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(card(), std::optional<qsizetype>(0));
        QCOMPARE(host->deckFace(0, 1).rating, 0);
    }

    void heldKeysLeaveAConsistentView()
    {
        // Twenty j without letting any animation finish: 20 mod 8 faces = card 1, face 1.
        for (int i = 0; i < 20; ++i)
            host->key(Qt::Key_J);
        QCOMPARE(card(), std::optional<qsizetype>(1));
        QCOMPARE(host->view->currentFace(), 1);
        for (int i = 0; i < 6; ++i)
            for (const Qt::Key key : {Qt::Key_C, Qt::Key_X, Qt::Key_C})
                host->key(key);
        QCOMPARE(host->deckFace(1, 1).rating, 3);
        QCOMPARE(host->active()->face(), host->deckFace(1, 1));
        QTRY_VERIFY(currentFaceCentred());
        for (int i = 0; i < 5; ++i)
            host->key(i % 2 ? Qt::Key_J : Qt::Key_K);
        QCOMPARE(host->view->currentFace(), 0);
        // The fading rows settle on the active face only.
        const auto settled = [&] {
            for (FaceView *face : host->view->faceViews())
                for (QWidget *row : {face->header(), face->buttonRow()})
                    if (row->isVisible() != face->isActive() || row->graphicsEffect() ||
                        row->isEnabled() != face->isActive())
                        return false;
            return true;
        };
        QTRY_VERIFY(settled());
        QTRY_VERIFY(currentFaceCentred());
    }

    void facesBarChoosesTheCurrentFace()
    {
        SelectionBar *bar = host->view->faceControls()->selectionBar();
        QTest::mouseClick(bar->item(2), Qt::LeftButton);
        QCOMPARE(host->view->currentFace(), 2);
        QVERIFY(host->face(2)->isActive());
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
        if (dark) // generated from a dark window: black base, white text
            QApplication::setPalette(QPalette(QColor(0x3c, 0x3c, 0x3c), QColor(0x1e, 0x1e, 0x1e)));
        host->view->setCurrentFace(1);
        QTRY_VERIFY(currentFaceCentred());
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
        const QPoint below = QPoint(40, 2);
        QVERIFY(pixelAt(active, active->panelRect().bottomLeft() + below).lightness() <
                palette.color(QPalette::Window).lightness());
        QCOMPARE(pixelAt(host->face(2), host->face(2)->panelRect().bottomLeft() + below),
                 palette.color(QPalette::Window));
        QCOMPARE(active->textLabel()->palette().color(QPalette::Text),
                 palette.color(QPalette::Text));
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

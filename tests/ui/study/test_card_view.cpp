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
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>

// A face's rating and state; a card and one of its faces.
using Rec = std::pair<int, CardFaceProgress>;
using Pos = std::pair<int, int>;

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
    Pos at() const { return {host->list->currentRow(), int(host->view->currentFace())}; }
    bool currentFaceCentred() const
    {
        const QScrollArea *area = named<QScrollArea>(host->view, u"facesScrollArea"_qs);
        return std::abs(host->active()->geometry().center().y() -
                        area->verticalScrollBar()->value() - area->viewport()->height() / 2) <= 1;
    }

private Q_SLOTS:
    void init()
    {
        // Three cards of 3, 2 and 3 faces; hidden passages in braces.
        host = std::make_unique<StudyHost>(QStringLiteral(
            "=== one\nAlpha {a}\n---\nBeta {b}\n---\nGamma {c}\n=== two\nDelta {d}\n---\n"
            "Epsilon {e}\n=== three\nZeta {z}\n---\nEta {h}\n---\nTheta {t}\n"));
        QVERIFY(host->show());
    }
    void cleanup() { host.reset(); }

    void firstLookHelpTextsAndReveal()
    {
        QCOMPARE(host->face(0)->textLabel()->text(), QStringLiteral("Alpha _\n"));
        // The card controls keep their place below the faces but are never drawn.
        QVERIFY(!named<CardViewControls>(host->view, u"cardControls"_qs)->isVisible() &&
                named<QScrollArea>(host->view, u"facesScrollArea"_qs)->geometry().bottom() <
                    named<CardViewControls>(host->view, u"cardControls"_qs)->geometry().top());

        FaceView *face = host->active();
        const QList<std::pair<QAbstractButton *, const char *>> expected = {
            {named<QPushButton>(face, u"revealButton"_qs), "Reveal hidden text (r)"},
            {named<QPushButton>(face, u"correctButton"_qs), "Mark correct (c)"},
            {named<QPushButton>(face, u"incorrectButton"_qs), "Mark incorrect (x)"},
            {named<QPushButton>(face, u"passButton"_qs), "Pass (space)"},
            {named<FaceControls>(host->view, u"faceControls"_qs)->previousButton(),
             "Show previous face of card (k)"},
            {named<FaceControls>(host->view, u"faceControls"_qs)->nextButton(),
             "Show next face of card (j)"},
            {named<CardViewControls>(host->view, u"cardControls"_qs)->previousButton(),
             "Show previous card (p)"},
            {named<CardViewControls>(host->view, u"cardControls"_qs)->nextButton(),
             "Show next card (n)"}};
        for (const auto &[button, toolTip] : expected)
            QCOMPARE(button->toolTip(), QString::fromLatin1(toolTip));
        QStringList labels;
        for (int i = 0; i < named<QComboBox>(face, u"progressPicker"_qs)->count(); ++i)
            labels << named<QComboBox>(face, u"progressPicker"_qs)->itemText(i);
        QCOMPARE(labels, QStringList({"New", "Learning", "Mastered", "Archived", "Abandoned"}));

        host->key(Qt::Key_R);
        QCOMPARE(host->face(0)->textLabel()->text(), QStringLiteral("Alpha a\n"));
        QCOMPARE(named<QPushButton>(host->face(0), u"revealButton"_qs)->text(),
                 QStringLiteral("Hide"));
        // The inactive face keeps what it showed; the keys now act on face 1.
        host->key(Qt::Key_J);
        host->key(Qt::Key_R);
        QVERIFY(!host->face(0)->textHidden() && !host->face(1)->textHidden());
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
        QTest::addColumn<Rec>("record");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Rec>("expected");
        using P = CardFaceProgress;
        QTest::newRow("correct on new") << Rec{0, P::New} << Qt::Key_C << Rec{1, P::Learning};
        QTest::newRow("mastered at 3") << Rec{3, P::Mastered} << Qt::Key_C << Rec{3, P::Mastered};
        QTest::newRow("incorrect at 0") << Rec{0, P::New} << Qt::Key_X << Rec{0, P::New};
        QTest::newRow("incorrect at 2") << Rec{2, P::Learning} << Qt::Key_X << Rec{1, P::Learning};
        QTest::newRow("correct at 7") << Rec{7, P::Archived} << Qt::Key_C << Rec{3, P::Archived};
        QTest::newRow("incorrect at 7") << Rec{7, P::Archived} << Qt::Key_X << Rec{6, P::Archived};
    }
    void review()
    {
        QFETCH(Rec, record);
        QFETCH(Qt::Key, key);
        QFETCH(Rec, expected);
        host->setFace(0, 0, qint8(record.first), record.second);
        FaceView *before = host->active();
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        QSignalSpy replaced(host->coordinator, &CommandsCoordinator::dataFileChanged);
        host->key(key);
        QCOMPARE(writes.size(), 1); // written (and saved) even when nothing changed
        QCOMPARE(replaced.size(), 0);
        const CardFace &face = host->deckFace(0, 0);
        QCOMPARE(Rec(face.rating, face.progress), expected);
        // A changed record makes a fresh panel, masked again; an unchanged one shows the answer.
        QCOMPARE(host->active() != before, expected != record);
        QCOMPARE(host->active()->textHidden(), expected != record);
        QCOMPARE(host->active()->face(), face);
        QCOMPARE(
            named<FaceControls>(host->view, u"faceControls"_qs)->selectionBar()->item(0)->rating(),
            expected.first);
    }

    void navigationKeys_data()
    {
        QTest::addColumn<Pos>("from");
        QTest::addColumn<QList<Qt::Key>>("keys"); // each pressed alone from the same place
        QTest::addColumn<Pos>("to");
        const QList<Qt::Key> next{Qt::Key_J, Qt::Key_Down}, previous{Qt::Key_K, Qt::Key_Up};
        const QList<Qt::Key> nextCard{Qt::Key_N, Qt::Key_Right},
            previousCard{Qt::Key_P, Qt::Key_Left};
        QTest::newRow("next face within a card") << Pos{1, 0} << next << Pos{1, 1};
        QTest::newRow("next face past the last face") << Pos{0, 2} << next << Pos{1, 0};
        QTest::newRow("next face past the last card") << Pos{2, 2} << next << Pos{0, 0};
        QTest::newRow("previous face within a card") << Pos{2, 2} << previous << Pos{2, 1};
        QTest::newRow("previous face before the first face") << Pos{1, 0} << previous << Pos{0, 0};
        QTest::newRow("previous face before the first card") << Pos{0, 0} << previous << Pos{2, 0};
        // Another card starts at its first face; at either end the card stays where it was.
        QTest::newRow("next card") << Pos{1, 1} << nextCard << Pos{2, 0};
        QTest::newRow("next card at the last card") << Pos{2, 1} << nextCard << Pos{2, 1};
        QTest::newRow("previous card") << Pos{1, 1} << previousCard << Pos{0, 0};
        QTest::newRow("previous card at card 0") << Pos{0, 1} << previousCard << Pos{0, 1};
    }
    void navigationKeys()
    {
        QFETCH(Pos, from);
        QFETCH(QList<Qt::Key>, keys);
        QFETCH(Pos, to);
        for (const Qt::Key key : keys) {
            goTo(from.first, from.second);
            host->key(key);
            QCOMPARE(at(), to);
            QCOMPARE(host->active(), host->face(to.second));
            QCOMPARE(named<FaceControls>(host->view, u"faceControls"_qs)->selectionBar()->index(),
                     to.second);
        }
    }

    void passOnTheLastFaceGoesBackToTheStart()
    {
        goTo(2, 2);
        host->key(Qt::Key_R);
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        host->key(Qt::Key_Space);
        QCOMPARE(at(), Pos(0, 0));
        QCOMPARE(writes.size(), 0);
    }

    void passWithinACardMasksTheFaceAgainAndWritesNothing()
    {
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        host->key(Qt::Key_R);
        FaceView *passed = host->active();
        named<QPushButton>(passed, u"passButton"_qs)->click();
        QCOMPARE(host->view->currentFace(), 1);
        QCOMPARE(host->face(0), passed);
        QVERIFY(passed->textHidden());
        QCOMPARE(writes.size(), 0);
    }

    void pickerSetsTheProgressOfTheActiveFace()
    {
        goTo(0, 1);
        QSignalSpy writes(host->coordinator, &CommandsCoordinator::cardChanged);
        QComboBox *picker = named<QComboBox>(host->active(), u"progressPicker"_qs);
        picker->setCurrentIndex(3);
        Q_EMIT picker->activated(3); // what choosing from the pop-up does
        QCOMPARE(writes.size(), 1);
        QCOMPARE(host->deckFace(0, 1).progress, CardFaceProgress::Archived);
    }

    void clickingAnItemOfTheFacesBarMakesItsFaceCurrent()
    {
        QTest::mouseClick(
            named<FaceControls>(host->view, u"faceControls"_qs)->selectionBar()->item(2),
            Qt::LeftButton);
        QCOMPARE(host->view->currentFace(), 2);
    }

    void keysAreTypedIntoATextField()
    {
        host->field->setFocus();
        QTRY_VERIFY(host->field->hasFocus());
        for (const Qt::Key key : {Qt::Key_C, Qt::Key_J, Qt::Key_Space, Qt::Key_N, Qt::Key_Down})
            host->key(key);
        QCOMPARE(host->field->text(), QStringLiteral("cj n"));
        QCOMPARE(at(), Pos(0, 0));
        QCOMPARE(host->deckFace(0, 0).rating, 0);
    }

    void keysTypedIntoAPopupDoNothing()
    {
        host->list->setFocus();
        QComboBox *picker = named<QComboBox>(host->active(), u"progressPicker"_qs);
        picker->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClicks(QApplication::activePopupWidget(), QStringLiteral("cj"));
        picker->hidePopup();
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(at(), Pos(0, 0));
        QCOMPARE(host->deckFace(0, 0).rating, 0);
    }

    void keysWithAModifierDoNothing()
    {
        host->list->setFocus();
        QTest::keyClick(host->window.windowHandle(), Qt::Key_J, Qt::ControlModifier);
        QTest::keyClick(host->window.windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(at(), Pos(0, 0));
        QCOMPARE(host->deckFace(0, 0).rating, 0);
    }

    void keysWithoutACardDoNothing()
    {
        host->view->setSelectedCard(std::nullopt);
        QVERIFY(host->view->faceViews().isEmpty());
        QSignalSpy requests(host->view, &CardView::selectedCardChangeRequested);
        for (const Qt::Key key : {Qt::Key_J, Qt::Key_K, Qt::Key_N, Qt::Key_P, Qt::Key_C})
            host->key(key);
        QCOMPARE(requests.size(), 0);
    }

    void pickerOpensByItsKeyAndByTab()
    {
        QComboBox *picker = named<QComboBox>(host->active(), u"progressPicker"_qs);
        QVERIFY(picker->focusPolicy() & Qt::TabFocus);
        host->key(Qt::Key_S);
        QTRY_VERIFY(QApplication::activePopupWidget());
        // The list has the keyboard: a choice made with it sets the face's state.
        QTest::keyClick(picker->view(), Qt::Key_Down);
        QTest::keyClick(picker->view(), Qt::Key_Return);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(host->deckFace(0, 0).progress, CardFaceProgress::Learning);
    }

    void controlsHaveAccessibleNames()
    {
        host->setFace(0, 1, 2, CardFaceProgress::Learning);
        host->key(Qt::Key_J);
        QTRY_COMPARE(host->view->currentFace(), 1);
        QCOMPARE(named<FaceProgressView>(host->active(), u"progressView"_qs)->accessibleName(),
                 u"Rating 2 of 3"_qs);
        QCOMPARE(named<QComboBox>(host->active(), u"progressPicker"_qs)->accessibleName(),
                 u"Progress state"_qs);
        QStringList names;
        for (QAbstractButton *button :
             named<FaceControls>(host->view, u"faceControls"_qs)->findChildren<QAbstractButton *>())
            names.append(button->accessibleName());
        QVERIFY2(names.contains(u"Face 1, rating 2 of 3"_qs), qPrintable(names.join(u'|')));
        QVERIFY(names.contains(u"Previous face of the card"_qs));
    }

    void studyKeysWaitWhileAPopupIsOpen()
    {
        // The pop-up has the keyboard; a study shortcut that fires all the same (as a window
        // manager may let it) must not act behind it.
        QShortcut *correct = nullptr;
        for (QShortcut *shortcut : host->view->findChildren<QShortcut *>()) {
            if (shortcut->key() == QKeySequence(Qt::Key_C))
                correct = shortcut;
        }
        QVERIFY(correct);
        QComboBox *picker = named<QComboBox>(host->active(), u"progressPicker"_qs);
        picker->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        Q_EMIT correct->activated();
        QCOMPARE(host->deckFace(0, 0).rating, 0);
        picker->hidePopup();
        QTRY_VERIFY(!QApplication::activePopupWidget());
        Q_EMIT correct->activated();
        QCOMPARE(host->deckFace(0, 0).rating, 1);
    }

    void heldKeysSettleIntoAViewDrawnInBothPalettes()
    {
        // Twenty j without letting any animation finish: 20 mod 8 faces = card 1, face 1.
        for (int i = 0; i < 20; ++i)
            host->key(Qt::Key_J);
        QCOMPARE(at(), Pos(1, 1));
        for (int i = 0; i < 6; ++i)
            for (const Qt::Key key : {Qt::Key_C, Qt::Key_X, Qt::Key_C})
                host->key(key);
        QCOMPARE(host->deckFace(1, 1).rating, 3);
        QCOMPARE(host->active()->face(), host->deckFace(1, 1));
        for (int i = 0; i < 5; ++i)
            host->key(i % 2 ? Qt::Key_J : Qt::Key_K);
        // The fading rows settle on the active face only.
        const auto settled = [&] {
            for (FaceView *face : host->view->faceViews())
                for (QWidget *row : {named<QWidget>(face, u"faceHeader"_qs),
                                     named<QWidget>(face, u"buttonRow"_qs)})
                    if (row->isVisible() != face->isActive() || row->graphicsEffect() ||
                        row->isEnabled() != face->isActive())
                        return false;
            return true;
        };
        QTRY_VERIFY(settled());
        QTRY_VERIFY(currentFaceCentred());
        QTest::qWait(StudyAnimation::springDuration);

        const QPalette original = QApplication::palette();
        const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
        // The dark one is generated from a dark window: black base, white text.
        for (const QPalette &given :
             {original, QPalette(QColor(0x3c, 0x3c, 0x3c), QColor(0x1e, 0x1e, 0x1e))}) {
            QApplication::setPalette(given);
            const QImage image = host->view->grab().toImage();
            const QColor window = host->view->palette().color(QPalette::Window);
            const auto pixelAt = [&](QWidget *widget, QPoint point) {
                return image.pixelColor(widget->mapTo(host->view, point));
            };
            // Window colour around the panels, text background inside, a shadow below the active.
            FaceView *active = host->active();
            QCOMPARE(pixelAt(named<QScrollArea>(host->view, u"facesScrollArea"_qs)->viewport(),
                             QPoint(2, 2)),
                     window);
            QCOMPARE(pixelAt(active, active->panelRect().topLeft() + QPoint(12, 12)),
                     host->view->palette().color(QPalette::Base));
            const QPoint below(40, 2);
            QVERIFY(pixelAt(active, active->panelRect().bottomLeft() + below).lightness() <
                    window.lightness());
            QCOMPARE(pixelAt(host->face(1), host->face(1)->panelRect().bottomLeft() + below),
                     window);
            QCOMPARE(active->textLabel()->palette().color(QPalette::Text),
                     host->view->palette().color(QPalette::Text));
        }
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

    // A face of megabytes is laid out a piece at a time: one label given all of it froze the
    // window for seconds (a long run of line separators or of unbreakable characters) or
    // crashed Qt's text layout.
    void hugeFacesAreShownInPieces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("words") << QStringLiteral("word {hidden} ").repeated(100'000);
        QTest::newRow("line separators") << QString(600'000, QChar(0x2028));
        QTest::newRow("escaped braces") << QStringLiteral("\\{\\}").repeated(150'000);
    }
    void hugeFacesAreShownInPieces()
    {
        QFETCH(QString, text);
        FaceView face(CardFace(text), true);
        face.adjustSize();
        const auto pieces = [&] { return face.findChildren<QLabel *>(); };
        const auto *showMore = face.findChild<QPushButton *>(QStringLiteral("showMoreButton"));
        QVERIFY(showMore && !showMore->isHidden());
        QCOMPARE(pieces().size(), 1);
        QVERIFY(face.textLabel()->text().size() <= FaceView::maxPieceLength);
        QVERIFY(face.textLabel()->text().count(QChar(0x2028)) <= FaceView::maxPieceLines);

        QTest::mouseClick(const_cast<QPushButton *>(showMore), Qt::LeftButton);
        QCOMPARE(pieces().size(), 2);
        QVERIFY(!pieces().last()->text().isEmpty() &&
                pieces().last()->text().size() <= FaceView::maxPieceLength);
        // Revealing keeps the pieces shown, each in the other form.
        face.toggleHidden();
        QCOMPARE(pieces().size(), 2);
        QVERIFY(face.textLabel()->text().size() <= FaceView::maxPieceLength);
    }

    // A word longer than the line (a URL, a long hidden passage as underscores) is broken
    // inside; it used to be cut off at the label's right edge.
    void wordsLongerThanTheLineWrapInsideThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reveal");
        // Its query has no place where a line may break.
        const QString url = QStringLiteral("https://example.org/search?q=") +
                            QStringLiteral("Abcdefghij0123456789").repeated(9) +
                            QStringLiteral("Klmnopqrstuvwxy");
        QCOMPARE(url.size(), 224);
        const QString passage = u"{"_qs + QStringLiteral("Unbreakable").repeated(14) + u"abc}"_qs;
        QTest::newRow("url") << url << false;
        QTest::newRow("passage masked") << passage << false;
        QTest::newRow("passage revealed") << passage << true;
        QTest::newRow("url after words") << u"See "_qs + url + u" for more."_qs << false;
    }
    void wordsLongerThanTheLineWrapInsideThem()
    {
        QFETCH(QString, text);
        QFETCH(bool, reveal);
        host = std::make_unique<StudyHost>(u"=== long\n"_qs + text + u"\n---\nshort\n"_qs);
        QVERIFY(host->show());
        FaceView *face = host->face(0);
        if (reveal)
            face->toggleHidden();
        QLabel *label = face->textLabel();
        QTRY_VERIFY(label->isVisible());
        QCOMPARE(face->textHidden(), !reveal);
        QVERIFY(label->width() <=
                named<QScrollArea>(host->view, u"facesScrollArea"_qs)->viewport()->width());

        // Room for every line that the text needs at the label's width.
        const QFontMetrics metrics(label->font());
        const int oneLine = metrics.horizontalAdvance(label->text().trimmed());
        const int lines = (oneLine + label->width() - 1) / label->width();
        QVERIFY2(lines >= 3, qPrintable(QString::number(lines)));
        QVERIFY2(label->height() >= lines * metrics.height(),
                 qPrintable(u"%1 < %2 lines"_qs.arg(label->height()).arg(lines)));

        // And every line is drawn: ink reaches down into the last line.
        const QImage image = label->grab().toImage();
        const int lastLine = (lines - 1) * metrics.lineSpacing() * int(image.devicePixelRatio());
        bool inked = false;
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        for (int y = lastLine; y < image.height() && !inked; ++y)
            for (int x = 0; x < image.width() && !inked; ++x)
                inked = image.pixel(x, y) != background;
        QVERIFY(inked);
    }

    void shortFacesHaveNoMoreToShow()
    {
        const auto *showMore =
            host->face(0)->findChild<QPushButton *>(QStringLiteral("showMoreButton"));
        QVERIFY(showMore && showMore->isHidden());
    }
};

QTEST_MAIN(TestCardView)
#include "test_card_view.moc"

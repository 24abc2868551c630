#include "ui/app/window_test_support.h"

#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/app/message_view.h"
#include "ui/app/start_view.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/recent_file_row.h"
#include "ui/browser/recent_files_view.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"
#include "ui/study/face_controls.h"
#include "ui/study/face_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSemaphore>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QToolButton>

// What the window shows now: the start view, the deck browser or a message.
static QWidget *shownView(const QWidget &window)
{
    return named<QStackedWidget>(&window, u"views"_qs)->currentWidget();
}

static ContentView *contentViewOf(const QWidget &window)
{
    return named<ContentView>(&window, u"contentView"_qs);
}

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;
    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(coordinator(), *m_fixture->recent);
        window->setFileChooser([](QWidget *) -> std::optional<QUrl> { qFatal("no dialog"); });
        window->show();
        return window;
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void showsTheViewOfEachStateAtLeastAtItsMinimumSize()
    {
        auto window = makeWindow();
        QCOMPARE(shownView(*window), named<StartView>(&*window, u"startView"_qs));
        QCOMPARE(named<StartView>(&*window, u"startView"_qs)->text(),
                 QStringLiteral("Open a flashcard file."));

        coordinator().open(m_fixture->deck(QStringLiteral("World capitals.txt"), 3));
        QCOMPARE(shownView(*window), contentViewOf(*window));
        QCOMPARE(window->windowTitle(), QStringLiteral("World capitals"));

        coordinator().open(m_fixture->file(QStringLiteral("binary.txt"), "\xff\xfe\x00"));
        QCOMPARE(shownView(*window), named<MessageView>(&*window, u"invalidFileView"_qs));
        QCOMPARE(named<MessageView>(&*window, u"invalidFileView"_qs)->text(),
                 QStringLiteral("Invalid file. Try another."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));
        // The messages fill the whole window, centred.
        QCOMPARE(shownView(*window)->geometry(), window->centralWidget()->rect());
        QVERIFY(named<MessageView>(&*window, u"invalidFileView"_qs)->label()->alignment() &
                Qt::AlignCenter);
        window->resize(100, 100);
        QTRY_VERIFY(window->centralWidget()->width() >= 600);
        QVERIFY(window->centralWidget()->height() >= 400);
    }

    void aDeckReadInTheBackgroundShowsHowFarTheReadingGot()
    {
        QSemaphore held, release;
        coordinator().setBackgroundLoadThreshold(0);
        coordinator().setDeckReader(
            [&](const QUrl &, const DataFile *, LoadReport *, LoadProgress &progress) {
                progress.advance(LoadProgress::Step::Deck, 0.5);
                held.release();
                release.acquire();
                DataFile deck;
                deck.cards.append(Card({CardFace(QStringLiteral("Q\n"))}));
                return std::optional(deck);
            });
        auto window = makeWindow();
        auto *bar = window->findChild<QProgressBar *>(QStringLiteral("loadProgress"));
        QVERIFY(bar);
        QVERIFY(!bar->isVisible());
        coordinator().open(m_fixture->deck(QStringLiteral("big.txt"), 3));
        QCOMPARE(shownView(*window)->objectName(), QStringLiteral("loadingView"));
        QVERIFY(held.tryAcquire(1, 10000));
        QTRY_VERIFY(bar->value() > 0);
        QVERIFY(bar->value() < bar->maximum());
        QVERIFY(bar->isVisible());
        release.release();
        QTRY_COMPARE(shownView(*window), contentViewOf(*window));
        QVERIFY(!bar->isVisible());
    }

    void openCommand_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("cancelled") << false;
    }
    void openCommand()
    {
        QFETCH(bool, accept);
        const QUrl open = m_fixture->deck(QStringLiteral("open.txt"), 2);
        const QUrl chosen = m_fixture->deck(QStringLiteral("chosen.txt"), 2);
        coordinator().open(open);
        auto first = makeWindow();
        contentViewOf(*first)->setSelectedCardIndex(1);
        // A new window shows the same deck and asks through the same dialog, over itself.
        std::unique_ptr<MainWindow> window;
        int asked = 0;
        first->setFileChooser([&](QWidget *parent) -> std::optional<QUrl> {
            ++asked;
            [&] { QCOMPARE(parent, window.get()); }();
            return accept ? std::optional<QUrl>(chosen) : std::nullopt;
        });
        window.reset(first->openNewWindow());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        QTest::keyClick(window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(coordinator().activeFile(), accept ? chosen : open);
        QCOMPARE(m_fixture->recent->files(),
                 accept ? (QList<QUrl>{chosen, open}) : QList<QUrl>{open});
        QCOMPARE(window->windowTitle(), accept ? QStringLiteral("chosen") : QStringLiteral("open"));
        if (!accept)
            QCOMPARE(contentViewOf(*first)->selectedCardIndex(), std::optional<qsizetype>(1));
    }

    void openDialogOffersFlashcardFilesFromTheLastDecksFolder()
    {
        QFileDialog dialog;
        dialog.setFileMode(QFileDialog::Directory);
        const QString folder = QFileInfo(m_fixture->deck(u"a.txt"_qs, 1).toLocalFile()).path();
        MainWindow::configureOpenDialog(dialog, folder);
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog.nameFilters(),
                 (QStringList{u"Flashcard files (*.txt *.cards *.md)"_qs, u"All files (*)"_qs}));
        QCOMPARE(dialog.directory().absolutePath(), folder);

        // The open file's folder first, then the most recent file's, else home.
        QCOMPARE(MainWindow::openDialogFolder(coordinator(), *m_fixture->recent), QDir::homePath());
        QDir(folder).mkdir(u"sub"_qs);
        coordinator().open(m_fixture->deck(u"sub/b.txt"_qs, 1));
        QCOMPARE(MainWindow::openDialogFolder(coordinator(), *m_fixture->recent),
                 folder + u"/sub"_qs);
        coordinator().open(std::nullopt);
        m_fixture->recent->add(m_fixture->deck(u"c.txt"_qs, 1));
        QCOMPARE(MainWindow::openDialogFolder(coordinator(), *m_fixture->recent), folder);
    }

    // Space belongs to the study view: with a modifier held it presses no button, not even the
    // one that has the focus; Return presses a button that visibly has it.
    void modifiedSpacePressesNoButton_data()
    {
        QTest::addColumn<int>("tabs"); // how far the focus is moved from where the window starts
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("returnPresses"); // whether the focus is then on a button
        QTest::newRow("Shift+Space at start") << 0 << int(Qt::ShiftModifier) << false;
        QTest::newRow("Ctrl+Space at start") << 0 << int(Qt::ControlModifier) << false;
        QTest::newRow("Shift+Space on a recent file")
            << 1 << int(Qt::ShiftModifier) << false; // the open deck: pressing changes nothing
        QTest::newRow("Shift+Space on its remove button") << 2 << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl+Space on another recent file") << 3 << int(Qt::ControlModifier) << true;
    }
    void modifiedSpacePressesNoButton()
    {
        QFETCH(int, tabs);
        QFETCH(int, modifiers);
        QFETCH(bool, returnPresses);
        m_fixture->recent->add(m_fixture->deck(u"other.txt"_qs, 2));
        const QUrl deck = m_fixture->deck(u"deck.txt"_qs, 3);
        coordinator().open(deck);
        auto window = makeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const auto before = std::pair(coordinator().activeFile(), m_fixture->recent->files());
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        QTest::keyClick(window->windowHandle(), Qt::Key_Space, Qt::KeyboardModifiers(modifiers));
        QTest::qWait(150); // a press would fire through animateClick()
        QCOMPARE(std::pair(coordinator().activeFile(), m_fixture->recent->files()), before);
        QCOMPARE(shownView(*window), contentViewOf(*window));

        if (returnPresses) {
            QVERIFY(qobject_cast<QAbstractButton *>(window->focusWidget()));
            QTest::keyClick(window->windowHandle(), Qt::Key_Return);
            QTRY_VERIFY(std::pair(coordinator().activeFile(), m_fixture->recent->files()) !=
                        before);
        }
    }

    void aSmallerOrEmptyDeckNeverLeavesTheStudySideBlank()
    {
        auto window = makeWindow();
        coordinator().open(m_fixture->deck(u"large.txt"_qs, 5));
        contentViewOf(*window)->setSelectedCardIndex(4);
        coordinator().open(m_fixture->deck(u"small.txt"_qs, 2));
        QCOMPARE(contentViewOf(*window)->selectedCardIndex(), std::optional<qsizetype>(0));
        CardView *cards = contentViewOf(*window)->cardView();
        QCOMPARE(cards->selectedCard(), std::optional<qsizetype>(0));
        QCOMPARE(cards->faceViews().size(), 2);
        QVERIFY(cards->isVisible());

        auto *noCards = window->findChild<QLabel *>(u"noCardsMessage"_qs);
        QVERIFY(noCards && !noCards->isVisible());
        coordinator().open(m_fixture->file(u"empty.txt"_qs, "no marker line\n"));
        QCOMPARE(shownView(*window), contentViewOf(*window));
        QVERIFY(noCards->isVisible());
        QVERIFY(!cards->isVisible());
        QVERIFY(noCards->text().contains(u"no cards"_qs));

        coordinator().open(m_fixture->deck(u"again.txt"_qs, 1));
        QVERIFY(!noCards->isVisible());
        QCOMPARE(cards->selectedCard(), std::optional<qsizetype>(0));
    }

    void theActiveFacePanelFitsTheSmallestWindow()
    {
        coordinator().open(m_fixture->deck(u"deck.txt"_qs, 3));
        auto window = makeWindow();
        window->resize(100, 100);
        QTRY_VERIFY(window->centralWidget()->width() >= 600);
        QCOMPARE(window->centralWidget()->width(), 600);
        CardView *cards = contentViewOf(*window)->cardView();
        QTRY_VERIFY(cards->activeFaceView() && cards->activeFaceView()->isVisible());
        FaceView *face = cards->activeFaceView();
        const auto right = [&] { return face->mapTo(cards, QPoint(face->width(), 0)).x(); };
        QTRY_VERIFY2(right() <= cards->width(),
                     qPrintable(u"%1 > %2"_qs.arg(right()).arg(cards->width())));
        // Where there is room, the text has its full width again.
        window->resize(1000, 600);
        QTRY_COMPARE(face->findChild<QLabel *>()->width(), FaceView::textWidth);
    }

    // A card of many faces used to widen the study view by its faces bar, squeezing the
    // sidebar (down to its minimum at 40 faces, where the recent rows lost their buttons).
    void aCardOfManyFacesLeavesTheSidebarAlone()
    {
        coordinator().open(m_fixture->deck(u"many.txt"_qs, QList<int>{2, 40, 3}));
        auto window = makeWindow();
        window->resize(900, 600);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        Sidebar *sidebar = contentViewOf(*window)->sidebar();
        CardView *cards = contentViewOf(*window)->cardView();
        QTRY_VERIFY(cards->activeFaceView() && cards->activeFaceView()->isVisible());
        const int sidebarWidth = sidebar->width();

        contentViewOf(*window)->setSelectedCardIndex(1);
        QCOMPARE(cards->faceViews().size(), 40);
        // Every item has the room its label needs; the bar scrolls instead.
        SelectionBar *bar = named<FaceControls>(cards, u"faceControls"_qs)->selectionBar();
        const auto itemsFit = [&] {
            for (qsizetype i = 0; i < bar->count(); ++i)
                if (bar->item(i)->size() != bar->item(i)->sizeHint())
                    return false;
            return true;
        };
        QTRY_VERIFY(itemsFit());
        auto *scroller = cards->findChild<QScrollArea *>(u"facesBarScroller"_qs);
        QVERIFY(scroller);
        QVERIFY(scroller->width() <= cards->width());
        // The study view asks for no more room than it has, even when the window is resized.
        QVERIFY2(cards->minimumSizeHint().width() <= cards->width(),
                 qPrintable(u"%1"_qs.arg(cards->minimumSizeHint().width())));
        window->resize(920, 600);
        QTRY_COMPARE(window->width(), 920);
        QCOMPARE(sidebar->width(), sidebarWidth);
        auto *row = sidebar->findChild<RecentFileRow *>();
        QVERIFY(row && named<QToolButton>(row, u"removeButton"_qs)->isVisible());
        QVERIFY(named<QToolButton>(row, u"removeButton"_qs)->geometry().right() < row->width());

        // The chosen face's item is scrolled into view.
        const auto inView = [&](qsizetype i) {
            const QRect item(bar->item(i)->mapTo(scroller->viewport(), QPoint(0, 0)),
                             bar->item(i)->size());
            return scroller->viewport()->rect().contains(item);
        };
        QVERIFY(inView(0));
        QVERIFY(!inView(39));
        cards->setCurrentFace(39);
        QTRY_VERIFY(inView(39));

        contentViewOf(*window)->setSelectedCardIndex(2);
        QTest::qWait(50);
        QCOMPARE(sidebar->width(), sidebarWidth);
    }

    void startViewOffersOpenRecentFilesAndAnExample()
    {
        // Two decks of one title in two folders, told apart by their folders.
        QDir(m_fixture->deck(u"x.txt"_qs, 1).adjusted(QUrl::RemoveFilename).toLocalFile())
            .mkdir(u"spanish"_qs);
        const QUrl first = m_fixture->deck(u"verbs.txt"_qs, 1);
        const QUrl second = m_fixture->deck(u"spanish/verbs.txt"_qs, 2);
        const QUrl unique = m_fixture->deck(u"capitals.txt"_qs, 3);
        for (const QUrl &file : {first, second, unique})
            m_fixture->recent->add(file);
        const QStringList labels = StartView::recentFileLabels(m_fixture->recent->files());
        QCOMPARE(labels[0], u"capitals"_qs);
        QCOMPARE(labels[1], u"verbs (in ~/spanish)"_qs);
        QCOMPARE(labels[2], u"verbs (in ~)"_qs);

        // The example deck where the application's data is installed.
        const QString examples =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            u"/doc/memoranth/examples"_qs;
        QVERIFY(QDir().mkpath(examples));
        QFile::copy(QStringLiteral(MEMORANTH_SOURCE_DIR "/examples/capitals.txt"),
                    examples + u"/capitals.txt"_qs);

        int asked = 0;
        auto window = std::make_unique<MainWindow>(coordinator(), *m_fixture->recent);
        window->setFileChooser([&](QWidget *) -> std::optional<QUrl> {
            ++asked;
            return std::nullopt;
        });
        window->show();
        StartView *start = named<StartView>(&*window, u"startView"_qs);
        QCOMPARE(shownView(*window), start);
        start->findChild<QPushButton *>(u"openButton"_qs)->click();
        QCOMPARE(asked, 1);

        QList<QPushButton *> rows = start->findChildren<QPushButton *>(u"recentFileButton"_qs);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1]->text(), labels[1]);
        rows[1]->click();
        QCOMPARE(coordinator().activeFile(), second);

        // Closing goes back to the start view, which still lists the recent files.
        QTest::keyClick(window->windowHandle(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(shownView(*window), start);
        QVERIFY(!named<QAction>(&*window, u"closeAction"_qs)->isEnabled());
        QTRY_COMPARE(start->findChildren<QPushButton *>(u"recentFileButton"_qs).size(), 3);

        start->findChild<QPushButton *>(u"exampleButton"_qs)->click();
        QCOMPARE(coordinator().dataFile()->title, u"capitals"_qs);
        QVERIFY(coordinator().dataFile()->cards.size() > 3);
    }

    void openRecentMenuListsTheFilesAndOpensOne()
    {
        const QUrl one = m_fixture->deck(u"one.txt"_qs, 1);
        const QUrl two = m_fixture->deck(u"two & more.txt"_qs, 2);
        auto window = makeWindow();
        QMenu *menu = named<QMenu>(&*window, u"openRecentMenu"_qs);
        QVERIFY(!menu->isEnabled());
        m_fixture->recent->add(one);
        m_fixture->recent->add(two);
        QVERIFY(menu->isEnabled());
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4); // two files, a separator and Clear
        QCOMPARE(actions[0]->text(), u"two && more"_qs);
        actions[1]->trigger();
        QTRY_COMPARE(coordinator().activeFile(), one);
    }

    void clearingTheOpenRecentMenuLeavesTheOpenFileOpen()
    {
        const QUrl one = m_fixture->deck(u"one.txt"_qs, 1);
        coordinator().open(one);
        auto window = makeWindow();
        QMenu *menu = named<QMenu>(&*window, u"openRecentMenu"_qs);
        QVERIFY(menu->isEnabled());
        menu->actions().last()->trigger();
        QTRY_VERIFY(m_fixture->recent->files().isEmpty());
        QVERIFY(!menu->isEnabled());
        QCOMPARE(coordinator().activeFile(), one);
    }

    void dropsOpenLocalFilesOnly_data()
    {
        QTest::addColumn<QByteArray>("open"); // the file open before, if any
        QTest::newRow("start message") << QByteArray();
        QTest::newRow("invalid file message") << QByteArray("\xc3\x28");
        QTest::newRow("sidebar") << QByteArray("=== 0\nfront\n---\nback\n");
    }
    void dropsOpenLocalFilesOnly()
    {
        QFETCH(QByteArray, open);
        auto window = makeWindow();
        if (!open.isEmpty())
            coordinator().open(m_fixture->file(QStringLiteral("first.txt"), open));
        QWidget *widget = shownView(*window) == contentViewOf(*window)
                              ? contentViewOf(*window)->sidebar()
                              : shownView(*window);
        // Nothing inside takes drops, so a drag anywhere over the target reaches it.
        for (QWidget *child : widget->findChildren<QWidget *>())
            QVERIFY2(!child->acceptDrops(), child->metaObject()->className());
        QVERIFY(!contentViewOf(*window)->cardView()->acceptDrops());
        const auto before = std::pair(coordinator().activeFile(), m_fixture->recent->files());

        QVERIFY(!dropOn(widget, {}, QStringLiteral("just text")));
        QVERIFY(!dropOn(widget, {QUrl(QStringLiteral("https://example.org/a.txt"))}));
        QTest::qWait(20);
        QCOMPARE(std::pair(coordinator().activeFile(), m_fixture->recent->files()), before);

        // Two files open one after the other; the second stays open.
        const QUrl one = m_fixture->deck(QStringLiteral("one.txt"), 1);
        const QUrl two = m_fixture->deck(QStringLiteral("two.txt"), 4);
        QSignalSpy opened(&coordinator(), &CommandsCoordinator::activeFileChanged);
        QVERIFY(dropOn(widget, {one, two}));
        QTRY_COMPARE(coordinator().activeFile(), two);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(m_fixture->recent->files().mid(0, 2), (QList<QUrl>{two, one}));
        QCOMPARE(shownView(*window), contentViewOf(*window));
    }

    void startsAtTheFirstCardOfTheRestoredFile()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        QCOMPARE(shownView(*window), contentViewOf(*window));
        QCOMPARE(contentViewOf(*window)->cardView()->selectedCard(), std::optional<qsizetype>(0));
    }

    void endStudyingShowsTheStartTextAndKeepsTheRecentFile()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        contentViewOf(*window)->setSelectedCardIndex(2);
        named<QToolButton>(contentViewOf(*window)->sidebar()->header(), u"endStudyingButton"_qs)
            ->click();
        QCOMPARE(shownView(*window), named<StartView>(&*window, u"startView"_qs));
        QCOMPARE(m_fixture->recent->files().size(), 1);
        // The next deck starts at its first card again.
        coordinator().open(m_fixture->deck(QStringLiteral("next.txt"), 3));
        QCOMPARE(contentViewOf(*window)->selectedCardIndex(), std::optional<qsizetype>(0));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

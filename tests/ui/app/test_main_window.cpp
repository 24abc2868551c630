#include "ui/app/window_test_support.h"

#include "ui/app/file_drop_handler.h"
#include "ui/app/main_window.h"
#include "ui/app/message_view.h"
#include "ui/browser/content_view.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

using State = CommandsCoordinator::State;

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_fixture;

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(*m_fixture->coordinator, *m_fixture->recent);
        window->setFileChooser([](QWidget *) -> std::optional<QUrl> {
            qFatal("no dialog expected");
            return std::nullopt;
        });
        window->show();
        return window;
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void showsTheViewOfEachState()
    {
        auto window = makeWindow();
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(window->startView()->text(), QStringLiteral("Open a flashcard file."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));

        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("World capitals.txt"), 3));
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->windowTitle(), QStringLiteral("World capitals"));
        QCOMPARE(window->contentView()->sidebar()->header()->title(),
                 QStringLiteral("World capitals"));

        m_fixture->coordinator->open(m_fixture->file(QStringLiteral("binary.txt"), "\xff\xfe\x00"));
        QCOMPARE(window->currentView(), window->invalidFileView());
        QCOMPARE(window->invalidFileView()->text(), QStringLiteral("Invalid file. Try another."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));

        // The messages fill the whole window, centred.
        const QLabel *label = window->invalidFileView()->label();
        QCOMPARE(window->currentView()->geometry(), window->centralWidget()->rect());
        QVERIFY(label->alignment() & Qt::AlignCenter);
    }

    void startsWithTheRestoredFile()
    {
        const QUrl deck = m_fixture->deck(QStringLiteral("kept.txt"), 2);
        m_fixture->coordinator->open(deck);
        auto window = makeWindow();
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->contentView()->selectedCardIndex(), std::optional<qsizetype>(0));
        QCOMPARE(window->contentView()->cardView()->selectedCard(), std::optional<qsizetype>(0));
    }

    void fileMenuHoldsTheCommands()
    {
        auto window = makeWindow();
        const QList<QAction *> menus = window->menuBar()->actions();
        QCOMPARE(menus.first()->text(), QStringLiteral("&File"));
        QList<QAction *> items = menus.first()->menu()->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0], window->newWindowAction());
        QCOMPARE(items[1], window->openAction());
        QVERIFY(items[2]->isSeparator());
        QCOMPARE(items[3], window->quitAction());
        QCOMPARE(window->openAction()->text(), QStringLiteral("Open..."));
        QCOMPARE(window->openAction()->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(window->openAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(window->newWindowAction()->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(window->quitAction()->shortcut(), QKeySequence(QKeySequence::Quit));
    }

    void openCommandOpensTheChosenFile()
    {
        auto window = makeWindow();
        const QUrl deck = m_fixture->deck(QStringLiteral("chosen.txt"), 2);
        int asked = 0;
        window->setFileChooser([&](QWidget *parent) -> std::optional<QUrl> {
            ++asked;
            [&] { QCOMPARE(parent, window.get()); }();
            return deck;
        });
        QTest::keyClick(window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(m_fixture->coordinator->activeFile(), deck);
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(m_fixture->recent->files(), QList<QUrl>{deck});
    }

    void cancelledOpenChangesNothing()
    {
        const QUrl deck = m_fixture->deck(QStringLiteral("open.txt"), 2);
        m_fixture->coordinator->open(deck);
        auto window = makeWindow();
        window->contentView()->setSelectedCardIndex(1);
        int asked = 0;
        window->setFileChooser([&](QWidget *) -> std::optional<QUrl> {
            ++asked;
            return std::nullopt;
        });
        QSignalSpy changes(m_fixture->coordinator.get(), &CommandsCoordinator::dataFileChanged);
        window->openAction()->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(changes.size(), 0);
        QCOMPARE(m_fixture->coordinator->activeFile(), deck);
        QCOMPARE(m_fixture->recent->files(), QList<QUrl>{deck});
        QCOMPARE(window->contentView()->selectedCardIndex(), std::optional<qsizetype>(1));
    }

    void openDialogTakesOneExistingFileOfAnyType()
    {
        QFileDialog dialog;
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setNameFilter(QStringLiteral("Text (*.txt)"));
        MainWindow::configureOpenDialog(dialog);
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
        QVERIFY(dialog.nameFilters().isEmpty() ||
                dialog.nameFilters() == QStringList{QStringLiteral("All Files (*)")});
        QVERIFY(!dialog.testOption(QFileDialog::ShowDirsOnly));
    }

    void dropsOpenLocalFilesOnly_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("start message") << QStringLiteral("start");
        QTest::newRow("invalid file message") << QStringLiteral("invalid");
        QTest::newRow("sidebar") << QStringLiteral("sidebar");
    }

    void dropsOpenLocalFilesOnly()
    {
        QFETCH(QString, target);
        auto window = makeWindow();
        if (target == u"invalid")
            m_fixture->coordinator->open(m_fixture->file(QStringLiteral("bad.txt"), "\xc3\x28"));
        if (target == u"sidebar")
            m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("first.txt"), 2));
        QWidget *widget = window->contentView()->sidebar();
        if (target == u"start")
            widget = window->startView();
        else if (target == u"invalid")
            widget = window->invalidFileView();
        QCOMPARE(window->currentView(), target == u"sidebar" ? window->contentView() : widget);
        const QList<QUrl> recentBefore = m_fixture->recent->files();
        const QUrl activeBefore = m_fixture->coordinator->activeFile();

        // Anything but local files is refused and changes nothing.
        QVERIFY(!dropOn(widget, textData(QStringLiteral("just text")).get()));
        QVERIFY(
            !dropOn(widget, urlData({QUrl(QStringLiteral("https://example.org/a.txt"))}).get()));
        QTest::qWait(20);
        QCOMPARE(m_fixture->coordinator->activeFile(), activeBefore);
        QCOMPARE(m_fixture->recent->files(), recentBefore);

        // Two files open one after the other; the second stays open.
        const QUrl one = m_fixture->deck(QStringLiteral("one.txt"), 1);
        const QUrl two = m_fixture->deck(QStringLiteral("two.txt"), 4);
        QSignalSpy opened(m_fixture->coordinator.get(), &CommandsCoordinator::activeFileChanged);
        QVERIFY(dropOn(widget, urlData({one, two}).get()));
        QTRY_COMPARE(m_fixture->coordinator->activeFile(), two);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(m_fixture->recent->files().mid(0, 2), (QList<QUrl>{two, one}));
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->windowTitle(), QStringLiteral("two"));
    }

    void dropTargetsCoverTheSidebarColumn()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        Sidebar *sidebar = window->contentView()->sidebar();
        QVERIFY(sidebar->acceptDrops());
        QVERIFY(window->startView()->acceptDrops());
        QVERIFY(window->invalidFileView()->acceptDrops());
        // A drag over any part of the column reaches the column: nothing inside it takes drops.
        for (QWidget *child : sidebar->findChildren<QWidget *>())
            QVERIFY2(!child->acceptDrops(), qPrintable(child->metaObject()->className()));
        QVERIFY(!window->contentView()->cardView()->acceptDrops());
    }

    void endStudyingReturnsToTheStartText()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        window->contentView()->setSelectedCardIndex(2);
        window->contentView()->sidebar()->header()->endStudyingButton()->click();
        QCOMPARE(m_fixture->coordinator->state(), State::NoFile);
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));
        QCOMPARE(m_fixture->recent->files().size(), 1);

        // The next deck starts at its first card again.
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("next.txt"), 3));
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->contentView()->selectedCardIndex(), std::optional<qsizetype>(0));
        QCOMPARE(window->contentView()->sidebar()->cardList()->currentIndex().row(), 0);
    }

    void windowIsNeverSmallerThanItsMinimum()
    {
        auto window = makeWindow();
        window->resize(100, 100);
        QTest::qWait(10);
        QVERIFY(window->centralWidget()->width() >= 600);
        QVERIFY(window->centralWidget()->height() >= 400);
        QVERIFY(window->minimumSizeHint().width() >= 600);
        QVERIFY(window->minimumSizeHint().height() >= 400);
    }

    void everyWindowShowsTheSameDeck()
    {
        auto first = makeWindow();
        std::unique_ptr<MainWindow> second(first->openNewWindow());
        second->setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(second->isVisible());
        QCOMPARE(second->currentView(), second->startView());

        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("Shared.txt"), 2));
        for (MainWindow *window : {first.get(), second.get()}) {
            QCOMPARE(window->currentView(), window->contentView());
            QCOMPARE(window->windowTitle(), QStringLiteral("Shared"));
        }
        // The dialog of the first window serves the second too.
        int asked = 0;
        first->setFileChooser([&](QWidget *) -> std::optional<QUrl> {
            ++asked;
            return std::nullopt;
        });
        std::unique_ptr<MainWindow> third(first->openNewWindow());
        third->setAttribute(Qt::WA_DeleteOnClose, false);
        third->openAction()->trigger();
        QCOMPARE(asked, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

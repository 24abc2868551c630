#include "ui/app/window_test_support.h"

#include "ui/app/main_window.h"
#include "ui/app/message_view.h"
#include "ui/browser/content_view.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QToolButton>

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;
    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(coordinator(), *m_fixture->recent);
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

    void showsTheViewOfEachStateAtLeastAtItsMinimumSize()
    {
        auto window = makeWindow();
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(window->startView()->text(), QStringLiteral("Open a flashcard file."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));

        coordinator().open(m_fixture->deck(QStringLiteral("World capitals.txt"), 3));
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->windowTitle(), QStringLiteral("World capitals"));

        coordinator().open(m_fixture->file(QStringLiteral("binary.txt"), "\xff\xfe\x00"));
        QCOMPARE(window->currentView(), window->invalidFileView());
        QCOMPARE(window->invalidFileView()->text(), QStringLiteral("Invalid file. Try another."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Memoranth"));
        // The messages fill the whole window, centred.
        QCOMPARE(window->currentView()->geometry(), window->centralWidget()->rect());
        QVERIFY(window->invalidFileView()->label()->alignment() & Qt::AlignCenter);
        window->resize(100, 100);
        QTRY_VERIFY(window->centralWidget()->width() >= 600);
        QVERIFY(window->centralWidget()->height() >= 400);
    }

    void startsWithTheRestoredFileAtItsFirstCard()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("kept.txt"), 2));
        auto window = makeWindow();
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->contentView()->cardView()->selectedCard(), std::optional<qsizetype>(0));
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
        auto window = makeWindow();
        window->contentView()->setSelectedCardIndex(1);
        int asked = 0;
        window->setFileChooser([&](QWidget *parent) -> std::optional<QUrl> {
            ++asked;
            [&] { QCOMPARE(parent, window.get()); }();
            return accept ? std::optional<QUrl>(chosen) : std::nullopt;
        });
        QSignalSpy changes(&coordinator(), &CommandsCoordinator::dataFileChanged);
        QCOMPARE(window->openAction()->text(), QStringLiteral("Open..."));
        QTest::keyClick(window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(changes.size(), accept ? 1 : 0);
        QCOMPARE(coordinator().activeFile(), accept ? chosen : open);
        QCOMPARE(m_fixture->recent->files(),
                 accept ? (QList<QUrl>{chosen, open}) : QList<QUrl>{open});
        if (!accept)
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
        QWidget *widget = window->startView();
        if (target == u"invalid") {
            coordinator().open(m_fixture->file(QStringLiteral("bad.txt"), "\xc3\x28"));
            widget = window->invalidFileView();
        } else if (target == u"sidebar") {
            coordinator().open(m_fixture->deck(QStringLiteral("first.txt"), 2));
            widget = window->contentView()->sidebar();
            // Nothing inside the column takes drops, so a drag anywhere over it reaches it.
            for (QWidget *child : widget->findChildren<QWidget *>())
                QVERIFY2(!child->acceptDrops(), child->metaObject()->className());
            QVERIFY(!window->contentView()->cardView()->acceptDrops());
        }
        const QList<QUrl> recentBefore = m_fixture->recent->files();
        const QUrl activeBefore = coordinator().activeFile();

        QVERIFY(!dropOn(widget, {}, QStringLiteral("just text")));
        QVERIFY(!dropOn(widget, {QUrl(QStringLiteral("https://example.org/a.txt"))}));
        QTest::qWait(20);
        QCOMPARE(coordinator().activeFile(), activeBefore);
        QCOMPARE(m_fixture->recent->files(), recentBefore);

        // Two files open one after the other; the second stays open.
        const QUrl one = m_fixture->deck(QStringLiteral("one.txt"), 1);
        const QUrl two = m_fixture->deck(QStringLiteral("two.txt"), 4);
        QSignalSpy opened(&coordinator(), &CommandsCoordinator::activeFileChanged);
        QVERIFY(dropOn(widget, {one, two}));
        QTRY_COMPARE(coordinator().activeFile(), two);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(m_fixture->recent->files().mid(0, 2), (QList<QUrl>{two, one}));
        QCOMPARE(window->currentView(), window->contentView());
    }

    void endStudyingReturnsToTheStartText()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        window->contentView()->setSelectedCardIndex(2);
        window->contentView()->sidebar()->header()->endStudyingButton()->click();
        QCOMPARE(coordinator().state(), CommandsCoordinator::State::NoFile);
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(m_fixture->recent->files().size(), 1);

        // The next deck starts at its first card again.
        coordinator().open(m_fixture->deck(QStringLiteral("next.txt"), 3));
        QCOMPARE(window->contentView()->selectedCardIndex(), std::optional<qsizetype>(0));
        QCOMPARE(window->contentView()->sidebar()->cardList()->currentIndex().row(), 0);
    }

    void newWindowsShowTheSameDeckAndShareTheDialog()
    {
        auto first = makeWindow();
        int asked = 0;
        first->setFileChooser([&](QWidget *) -> std::optional<QUrl> {
            ++asked;
            return std::nullopt;
        });
        std::unique_ptr<MainWindow> second(first->openNewWindow());
        second->setAttribute(Qt::WA_DeleteOnClose, false);
        coordinator().open(m_fixture->deck(QStringLiteral("Shared.txt"), 2));
        QCOMPARE(second->currentView(), second->contentView());
        QCOMPARE(second->windowTitle(), QStringLiteral("Shared"));
        second->openAction()->trigger();
        QCOMPARE(asked, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

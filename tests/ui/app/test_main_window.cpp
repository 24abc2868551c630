#include "ui/app/window_test_support.h"

#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/app/message_view.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QFileDialog>
#include <QLabel>
#include <QToolButton>

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
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(window->startView()->text(), QStringLiteral("Open a flashcard file."));

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
        first->contentView()->setSelectedCardIndex(1);
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
            QCOMPARE(first->contentView()->selectedCardIndex(), std::optional<qsizetype>(1));
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
        QWidget *widget = window->currentView() == window->contentView()
                              ? window->contentView()->sidebar()
                              : window->currentView();
        // Nothing inside takes drops, so a drag anywhere over the target reaches it.
        for (QWidget *child : widget->findChildren<QWidget *>())
            QVERIFY2(!child->acceptDrops(), child->metaObject()->className());
        QVERIFY(!window->contentView()->cardView()->acceptDrops());
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
        QCOMPARE(window->currentView(), window->contentView());
    }

    void startsAtTheRestoredFileAndEndsStudyingOnTheStartText()
    {
        coordinator().open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto window = makeWindow();
        QCOMPARE(window->currentView(), window->contentView());
        QCOMPARE(window->contentView()->cardView()->selectedCard(), std::optional<qsizetype>(0));
        window->contentView()->setSelectedCardIndex(2);
        window->contentView()->sidebar()->header()->endStudyingButton()->click();
        QCOMPARE(window->currentView(), window->startView());
        QCOMPARE(m_fixture->recent->files().size(), 1);

        // The next deck starts at its first card again.
        coordinator().open(m_fixture->deck(QStringLiteral("next.txt"), 3));
        QCOMPARE(window->contentView()->selectedCardIndex(), std::optional<qsizetype>(0));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

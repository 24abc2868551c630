#include "ui/app/window_test_support.h"

#include "ui/browser/drop_zone.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/recent_file_row.h"
#include "ui/browser/recent_files_view.h"
#include "ui/browser/sidebar.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPen>
#include <QToolButton>

class TestSidebar : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_fixture;

    std::unique_ptr<Sidebar> makeSidebar()
    {
        auto sidebar = std::make_unique<Sidebar>(*m_fixture->coordinator, *m_fixture->recent);
        sidebar->setFileRevealer([](const QUrl &) { qFatal("unexpected reveal"); });
        sidebar->resize(260, 700);
        sidebar->show();
        return sidebar;
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void headerShowsTheTitleAndEndsStudying()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("Spanish verbs.txt"), 2));
        auto sidebar = makeSidebar();
        FileHeaderView *header = sidebar->header();
        QCOMPARE(header->title(), QStringLiteral("Spanish verbs"));
        QToolButton *end = header->endStudyingButton();
        QCOMPARE(end->toolTip(), QStringLiteral("End studying"));
        QCOMPARE(end->accessibleName(), QStringLiteral("End studying"));
        QVERIFY(end->text().isEmpty());
        QVERIFY(!end->icon().isNull());

        end->click();
        QCOMPARE(m_fixture->coordinator->state(), CommandsCoordinator::State::NoFile);
        QCOMPARE(m_fixture->recent->files().size(), 1);
    }

    void recentRowsShowTitlesAndHelp_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << QStringLiteral("capitals.txt") << QStringLiteral("capitals");
        QTest::newRow("several dots") << QStringLiteral("a.b.c") << QStringLiteral("a.b");
        QTest::newRow("no dot") << QStringLiteral("notes") << QString();
    }

    void recentRowsShowTitlesAndHelp()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, title);
        const QUrl file = m_fixture->deck(fileName, 1);
        m_fixture->recent->add(file);
        auto sidebar = makeSidebar();
        RecentFileRow *row = sidebar->recentFilesView()->row(0);
        QVERIFY(row);
        QCOMPARE(row->file(), file);
        QCOMPARE(row->openButton()->text(), title);
        QVERIFY(row->openButton()->font().bold());
        QCOMPARE(row->openButton()->toolTip(), QStringLiteral("Open recent file %1.").arg(title));
        QCOMPARE(row->removeButton()->toolTip(),
                 QStringLiteral("Remove %1 from recent files").arg(title));
        QCOMPARE(row->removeButton()->accessibleName(), row->removeButton()->toolTip());
        QVERIFY(row->removeButton()->text().isEmpty());
        QVERIFY(!row->removeButton()->icon().isNull());

        // The title offers exactly one context command; the remove mark none.
        QCOMPARE(row->openButton()->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(row->contextMenu()->actions().size(), 1);
        QCOMPARE(row->contextMenu()->actions().first(), row->revealAction());
        QCOMPARE(row->revealAction()->text(), QStringLiteral("Show in File Manager"));
        QCOMPARE(row->removeButton()->contextMenuPolicy(), Qt::PreventContextMenu);
    }

    void longTitlesAreElided()
    {
        const QString title =
            QStringLiteral("a rather long title of a deck of flashcards").repeated(3);
        m_fixture->recent->add(m_fixture->deck(title + QStringLiteral(".txt"), 1));
        auto sidebar = makeSidebar();
        RecentFileRow *row = sidebar->recentFilesView()->row(0);
        QTRY_VERIFY(row->openButton()->text() != title);
        QCOMPARE(row->title(), title);
        QVERIFY(row->openButton()->text().endsWith(QChar(0x2026)));
        QCOMPARE(row->openButton()->toolTip(), QStringLiteral("Open recent file %1.").arg(title));
        // The remove button stays inside the row.
        QVERIFY(row->removeButton()->geometry().right() <= row->rect().right());
        QVERIFY(row->openButton()->geometry().right() < row->removeButton()->geometry().left());
    }

    void recentRowsOpenRevealAndRemove()
    {
        const QUrl a = m_fixture->deck(QStringLiteral("a.txt"), 1);
        const QUrl b = m_fixture->deck(QStringLiteral("b.txt"), 2);
        const QUrl c = m_fixture->deck(QStringLiteral("c.txt"), 3);
        for (const QUrl &file : {a, b, c})
            m_fixture->recent->add(file);
        auto sidebar = makeSidebar();
        RecentFilesView *list = sidebar->recentFilesView();
        QCOMPARE(list->model()->rowCount(), 3);
        QCOMPARE(list->row(0)->file(), c);
        QCOMPARE(list->row(2)->file(), a);
        QCOMPARE(list->maximumHeight(), 120);
        QVERIFY(list->height() <= 120);

        QList<QUrl> revealed;
        sidebar->setFileRevealer([&](const QUrl &file) { revealed.append(file); });
        list->row(1)->revealAction()->trigger();
        QTRY_COMPARE(revealed, QList<QUrl>{b});

        // Opening from the list moves the file to the front.
        list->row(2)->openButton()->click();
        QTRY_COMPARE(m_fixture->coordinator->activeFile(), a);
        QTRY_COMPARE(list->row(0)->file(), a);
        QCOMPARE(m_fixture->recent->files(), (QList<QUrl>{a, c, b}));

        // Removing a middle entry keeps the others in order; the open file stays open.
        list->row(1)->removeButton()->click();
        QTRY_COMPARE(m_fixture->recent->files(), (QList<QUrl>{a, b}));
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->row(1)->file(), b);
        QCOMPARE(m_fixture->coordinator->activeFile(), a);
    }

    void dropZoneLooksAsDrawn()
    {
        auto sidebar = makeSidebar();
        DropZone *zone = sidebar->dropZone();
        QCOMPARE(zone->text(), QStringLiteral("Drop another flashcard file here"));
        QCOMPARE(zone->frameRect().height(), 140);
        QVERIFY(!zone->acceptDrops());

        const QPen pen = DropZone::framePen(Qt::gray);
        QCOMPARE(pen.widthF(), 4.0);
        QCOMPARE(pen.capStyle(), Qt::RoundCap);
        QCOMPARE(pen.joinStyle(), Qt::RoundJoin);
        QCOMPARE(pen.miterLimit(), 2.0);
        // In line widths: 28 on, 8 off, starting 6 in.
        QCOMPARE(pen.dashPattern(), (QList<qreal>{7.0, 2.0}));
        QCOMPARE(pen.dashOffset(), 1.5);
    }

    void columnIsLaidOutInOrder()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("deck.txt"), 3));
        auto sidebar = makeSidebar();
        QVERIFY(QTest::qWaitForWindowExposed(sidebar.get()));
        QLabel *recentTitle = nullptr;
        for (QLabel *label : sidebar->findChildren<QLabel *>()) {
            if (label->text() == u"Recent Files")
                recentTitle = label;
        }
        QVERIFY(recentTitle);
        const auto top = [&](QWidget *w) { return w->mapTo(sidebar.get(), QPoint(0, 0)).y(); };
        QVERIFY(top(sidebar->header()) < top(sidebar->cardList()));
        QVERIFY(top(sidebar->cardList()) < top(recentTitle));
        QVERIFY(top(recentTitle) < top(sidebar->recentFilesView()));
        QVERIFY(top(sidebar->recentFilesView()) < top(sidebar->dropZone()));
        // The card list takes the free height; the drop zone sits at the bottom.
        QCOMPARE(sidebar->dropZone()->geometry().bottom(), sidebar->rect().bottom());
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"

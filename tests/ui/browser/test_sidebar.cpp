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

    void recentRowsShowTitlesAndHelp_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << QStringLiteral("capitals.txt") << QStringLiteral("capitals");
        QTest::newRow("several dots") << QStringLiteral("a.b.c") << QStringLiteral("a.b");
        QTest::newRow("no dot") << QStringLiteral("notes") << QString();
        const QString longTitle = QStringLiteral("a long title of a deck of cards").repeated(4);
        QTest::newRow("elided") << longTitle + QStringLiteral(".txt") << longTitle;
    }
    void recentRowsShowTitlesAndHelp()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, title);
        m_fixture->recent->add(m_fixture->deck(fileName, 1));
        auto sidebar = makeSidebar();
        RecentFileRow *row = sidebar->recentFilesView()->row(0);
        QVERIFY(row);
        QCOMPARE(row->title(), title);
        if (title.size() > 40) {
            QTRY_VERIFY(row->openButton()->text().endsWith(QChar(0x2026)));
            QVERIFY(row->openButton()->geometry().right() < row->removeButton()->geometry().left());
            QVERIFY(row->removeButton()->geometry().right() <= row->rect().right());
        } else {
            QCOMPARE(row->openButton()->text(), title);
        }
        QVERIFY(row->openButton()->font().bold());
        QCOMPARE(row->openButton()->toolTip(), QStringLiteral("Open recent file %1.").arg(title));
        QCOMPARE(row->removeButton()->toolTip(),
                 QStringLiteral("Remove %1 from recent files").arg(title));
        QVERIFY(row->removeButton()->text().isEmpty() && !row->removeButton()->icon().isNull());
        QCOMPARE(row->removeButton()->accessibleName(), row->removeButton()->toolTip());
        // The title offers exactly one context command; the remove mark none.
        QCOMPARE(row->contextMenu()->actions(), QList<QAction *>{row->revealAction()});
        QCOMPARE(row->revealAction()->text(), QStringLiteral("Show in File Manager"));
        QCOMPARE(row->removeButton()->contextMenuPolicy(), Qt::PreventContextMenu);
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
        QCOMPARE(list->row(0)->file(), c);
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
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(m_fixture->recent->files(), (QList<QUrl>{a, b}));
        QCOMPARE(list->row(1)->file(), b);
        QCOMPARE(m_fixture->coordinator->activeFile(), a);
    }

    void headerDropZoneAndColumnOrder()
    {
        m_fixture->coordinator->open(m_fixture->deck(QStringLiteral("Spanish verbs.txt"), 3));
        auto sidebar = makeSidebar();
        QVERIFY(QTest::qWaitForWindowExposed(sidebar.get()));
        QCOMPARE(sidebar->header()->title(), QStringLiteral("Spanish verbs"));
        QToolButton *end = sidebar->header()->endStudyingButton();
        QCOMPARE(end->toolTip(), QStringLiteral("End studying"));
        QCOMPARE(end->accessibleName(), end->toolTip());
        QVERIFY(end->text().isEmpty() && !end->icon().isNull());
        DropZone *zone = sidebar->dropZone();
        QCOMPARE(zone->text(), QStringLiteral("Drop another flashcard file here"));
        QCOMPARE(zone->frameRect().height(), 140);
        // 4 wide; in line widths: 28 on, 8 off, starting 6 in.
        const QPen pen = DropZone::framePen(Qt::gray);
        QCOMPARE(pen.widthF(), 4.0);
        QCOMPARE(pen.dashPattern(), (QList<qreal>{7.0, 2.0}));
        QCOMPARE(pen.dashOffset(), 1.5);

        QLabel *recentTitle = nullptr;
        for (QLabel *label : sidebar->findChildren<QLabel *>())
            recentTitle = label->text() == u"Recent Files" ? label : recentTitle;
        QVERIFY(recentTitle);
        const QList<QWidget *> column{sidebar->header(), sidebar->cardList(), recentTitle,
                                      sidebar->recentFilesView(), zone};
        QList<int> tops;
        for (QWidget *w : column)
            tops << w->mapTo(sidebar.get(), QPoint(0, 0)).y();
        QVERIFY(std::adjacent_find(tops.begin(), tops.end(), std::greater_equal<>()) == tops.end());
        // The card list takes the free height; the drop zone sits at the bottom.
        QCOMPARE(zone->geometry().bottom(), sidebar->rect().bottom());
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"

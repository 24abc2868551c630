#include "ui/app/window_test_support.h"

#include "ui/browser/drop_zone.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/recent_file_row.h"
#include "ui/browser/recent_files_view.h"
#include "ui/browser/sidebar.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
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
        RecentFileRow *row = named<RecentFilesView>(sidebar.get(), u"recentFilesView"_qs)->row(0);
        QVERIFY(row);
        // Long titles end in an ellipsis and leave room for the remove mark.
        QTRY_COMPARE(row->openButton()->text().endsWith(QChar(0x2026)), title.size() > 40);
        QVERIFY(title.size() > 40 || row->openButton()->text() == title);
        const QToolButton *remove = named<QToolButton>(row, u"removeButton"_qs);
        QVERIFY(row->openButton()->geometry().right() < remove->geometry().left());
        QVERIFY(remove->geometry().right() <= row->rect().right());
        QCOMPARE(row->openButton()->toolTip(), QStringLiteral("Open recent file %1.").arg(title));
        QCOMPARE(remove->toolTip(), QStringLiteral("Remove %1 from recent files").arg(title));
        QVERIFY(remove->text().isEmpty());
        QVERIFY(!remove->icon().isNull());
        QCOMPARE(remove->accessibleName(), remove->toolTip());
        // The title offers exactly one context command.
        QAction *reveal = named<QAction>(row, u"revealAction"_qs);
        QCOMPARE(named<QMenu>(row, u"contextMenu"_qs)->actions(), QList<QAction *>{reveal});
        QCOMPARE(reveal->text(), QStringLiteral("Show in File Manager"));
    }

    void recentRowsHeaderAndDropZone()
    {
        const QUrl a = m_fixture->deck(QStringLiteral("Spanish verbs.txt"), 1);
        const QUrl b = m_fixture->deck(QStringLiteral("b.txt"), 2);
        const QUrl c = m_fixture->deck(QStringLiteral("c.txt"), 3);
        for (const QUrl &file : {a, b, c})
            m_fixture->recent->add(file);
        auto sidebar = makeSidebar();
        QVERIFY(QTest::qWaitForWindowExposed(sidebar.get()));
        RecentFilesView *list = named<RecentFilesView>(sidebar.get(), u"recentFilesView"_qs);
        QVERIFY(list->height() <= 120);

        QList<QUrl> revealed;
        sidebar->setFileRevealer([&](const QUrl &file) { revealed.append(file); });
        named<QAction>(list->row(1), u"revealAction"_qs)->trigger();
        QTRY_COMPARE(revealed, QList<QUrl>{b});

        // Opening a row moves its file to the front; removing one keeps the others in order.
        list->row(2)->openButton()->click();
        QTRY_COMPARE(m_fixture->coordinator->activeFile(), a);
        named<QToolButton>(list->row(1), u"removeButton"_qs)->click();
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(m_fixture->recent->files(), (QList<QUrl>{a, b}));
        QCOMPARE(list->row(1)->file(), b);

        QCOMPARE(sidebar->header()->title(), QStringLiteral("Spanish verbs"));
        QToolButton *end = named<QToolButton>(sidebar->header(), u"endStudyingButton"_qs);
        QCOMPARE(end->toolTip(), QStringLiteral("End studying"));
        QCOMPARE(end->accessibleName(), end->toolTip());
        QVERIFY(end->text().isEmpty() && !end->icon().isNull());
        DropZone *zone = named<DropZone>(sidebar.get(), u"dropZone"_qs);
        QCOMPARE(zone->text(), QStringLiteral("Drop another flashcard file here"));
        QCOMPARE(zone->frameRect().height(), 140);

        // Top to bottom: header, cards, recent files, drop zone; the cards take the free height.
        QVERIFY(std::ranges::any_of(sidebar->findChildren<QLabel *>(), [](QLabel *label) {
            return label->text() == u"Recent Files";
        }));
        QList<int> tops;
        for (QWidget *w : QList<QWidget *>{sidebar->header(), sidebar->cardList(), list, zone})
            tops << w->mapTo(sidebar.get(), QPoint(0, 0)).y();
        QVERIFY(std::adjacent_find(tops.begin(), tops.end(), std::greater_equal<>()) == tops.end());
        QCOMPARE(zone->geometry().bottom(), sidebar->rect().bottom());
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"

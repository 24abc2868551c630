#include "window_test_support.h"

#include "ui/app/help_dialogs.h"
#include "ui/app/main_window.h"
#include "ui/app/message_view.h"
#include "ui/app/start_view.h"
#include "ui/app/translations.h"
#include "ui/study/study_actions.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QIcon>
#include <QMenuBar>
#include <QTableWidget>
#include <QTranslator>

// The Edit and Help menus, and the window in German.
class TestMenus : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> m_fixture;

    CommandsCoordinator &coordinator() { return *m_fixture->coordinator; }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void undoAndRedoFollowTheHistory()
    {
        MainWindow window(coordinator(), *m_fixture->recent);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        coordinator().open(m_fixture->deck(u"deck.txt"_qs, 2));
        QVERIFY(!named<QAction>(&window, u"undoAction"_qs)->isEnabled() &&
                !named<QAction>(&window, u"redoAction"_qs)->isEnabled());
        QCOMPARE(named<QAction>(&window, u"undoAction"_qs)->shortcut(),
                 QKeySequence(QKeySequence::Undo));

        CardFace face = coordinator().dataFile()->cards[1].faces[0];
        face.rating = 2;
        QVERIFY(coordinator().setFace(1, 0, face));
        QVERIFY(named<QAction>(&window, u"undoAction"_qs)->isEnabled());

        QTest::keyClick(window.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].rating, 0);
        QVERIFY(!named<QAction>(&window, u"undoAction"_qs)->isEnabled() &&
                named<QAction>(&window, u"redoAction"_qs)->isEnabled());
        named<QAction>(&window, u"redoAction"_qs)->trigger();
        QCOMPARE(coordinator().dataFile()->cards[1].faces[0].rating, 2);
    }

    void keyboardShortcutsListEveryStudyKey()
    {
        MainWindow window(coordinator(), *m_fixture->recent);
        named<QAction>(&window, u"keyboardShortcutsAction"_qs)->trigger();
        auto *dialog = window.findChild<QDialog *>(u"keyboardShortcutsDialog"_qs);
        QVERIFY(dialog && dialog->isVisible());
        auto *table = dialog->findChild<QTableWidget *>(u"keyboardShortcutsTable"_qs);
        QStringList keys;
        for (int row = 0; row < table->rowCount(); ++row)
            keys << table->item(row, 0)->text();
        for (const QString &expected :
             {u"R"_qs, u"C"_qs, u"X"_qs, u"Space"_qs, u"K or Up"_qs, u"J or Down"_qs,
              u"P or Left"_qs, u"N or Right"_qs, QKeySequence(QKeySequence::Undo).toString()})
            QVERIFY2(keys.contains(expected), qPrintable(expected));
        QCOMPARE(table->rowCount(), keyboardShortcuts().size());
        dialog->close();
    }

    void menusInOrder()
    {
        MainWindow window(coordinator(), *m_fixture->recent);
        QStringList titles;
        for (QAction *menu : window.menuBar()->actions())
            titles << menu->text();
        QCOMPARE(titles, (QStringList{u"&File"_qs, u"&Edit"_qs, u"&View"_qs, u"&Help"_qs}));
    }

    void applicationIconIsBuiltIn()
    {
        const QIcon icon(u":/icons/" MEMORANTH_APP_ID ".svg"_qs);
        QVERIFY(!icon.pixmap(64).isNull());
    }

    // Last: it leaves the German translation installed.
    void germanWindow()
    {
        QVERIFY(installTranslations(*qApp, QLocale(QLocale::German, QLocale::Germany)));
        MainWindow window(coordinator(), *m_fixture->recent);
        QCOMPARE(named<StartView>(&window, u"startView"_qs)->text(),
                 u"Öffnen Sie eine Karteikartendatei."_qs);
        QCOMPARE(window.menuBar()->actions().first()->text(), u"&Datei"_qs);
        QCOMPARE(named<QAction>(&window, u"openAction"_qs)->text(), u"Öffnen …"_qs);
        // Qt's own texts, such as the names of keys in menus, come from Qt's translations.
        QCOMPARE(named<QAction>(&window, u"openAction"_qs)
                     ->shortcut()
                     .toString(QKeySequence::NativeText),
                 u"Strg+O"_qs);
        // The study keys: their names in the reference, and in the tooltips of the buttons.
        QCOMPARE(keyboardShortcuts().at(5).keys, u"K oder Pfeil hoch"_qs);
        QCOMPARE(studyActionToolTip(StudyAction::Pass), u"Überspringen (Leertaste)"_qs);
        QCOMPARE(studyActionToolTip(StudyAction::NextFace),
                 u"Nächste Seite der Karte zeigen (j)"_qs);
        // No translation for English, the language of the source.
        QVERIFY(!installTranslations(*qApp, QLocale(QLocale::English, QLocale::UnitedStates)));
    }
};

QTEST_MAIN(TestMenus)
#include "test_menus.moc"

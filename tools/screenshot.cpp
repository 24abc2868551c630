// Renders the main window in use, for the README: a deck open in the study view, a few faces
// rated, the current face revealed. Runs offscreen with a temporary home; writes one PNG.
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/study/card_view.h"
#include "ui/study/face_view.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3) {
        QTextStream(stderr) << "usage: memoranth_screenshot OUTPUT.png DECK [RECENT...]\n";
        return 2;
    }
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("preferences.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    QDir().mkpath(home.filePath(QStringLiteral("progress")));
    CommandsCoordinator coordinator(&settings, home.filePath(QStringLiteral("progress")), &recent);
    for (const QString &file : arguments.mid(3))
        recent.add(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    coordinator.open(QUrl::fromLocalFile(QFileInfo(arguments[2]).absoluteFilePath()));

    MainWindow window(coordinator, recent);
    window.resize(1000, 680);
    window.show();
    QTest::qWait(100);

    // Some progress to show in the sidebar's dots and the faces bar.
    const auto rate = [&](qsizetype card, qsizetype face, qint8 rating) {
        CardFace value = coordinator.dataFile()->cards.at(card).faces.at(face);
        value.rating = rating;
        value.progress = CardFaceProgress::Learning;
        coordinator.setFace(card, face, value);
    };
    for (auto [card, face, rating] :
         {std::tuple{0, 0, 3}, {0, 1, 3}, {1, 0, 2}, {2, 0, 1}, {3, 0, 3}, {3, 1, 1}, {5, 0, 2}})
        rate(card, face, qint8(rating));

    ContentView *content = window.contentView();
    content->setSelectedCardIndex(3);
    QTest::qWait(100);
    CardView *cards = content->cardView();
    cards->setCurrentFace(1);
    QTest::qWait(1200); // let the scrolling and the spring settle
    if (FaceView *face = cards->activeFaceView())
        face->toggleHidden();
    QTest::qWait(500);

    const bool saved = window.grab().save(arguments[1]);
    coordinator.waitForPendingSaves();
    return saved ? 0 : 1;
}

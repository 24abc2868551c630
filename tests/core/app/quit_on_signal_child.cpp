// A child process for the signal tests: opens the deck in the given folder, rates its first
// face, says "rated" and runs the event loop as the application does until a signal ends it.
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/app/termination_signals.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!quitOnTerminationSignals(app))
        return 3;
    QSettings preferences(folder.filePath(QStringLiteral("preferences.ini")), QSettings::IniFormat);
    RecentFiles recentFiles(&preferences);
    CommandsCoordinator coordinator(&preferences, folder.filePath(QStringLiteral("progress")),
                                    &recentFiles);
    coordinator.open(QUrl::fromLocalFile(folder.filePath(QStringLiteral("deck.txt"))));
    if (!coordinator.dataFile())
        return 4;
    CardFace face = coordinator.dataFile()->cards.value(0).faces.value(0);
    face.rating = 1;
    face.progress = CardFaceProgress::Learning;
    if (!coordinator.setFace(0, 0, face))
        return 5;
    QTextStream(stdout) << "rated" << Qt::endl;
    const int status = app.exec();
    coordinator.waitForPendingSaves();
    return status;
}

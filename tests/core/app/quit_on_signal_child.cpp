// A child process for the signal tests: opens the deck in the given folder, rates its first
// face, says "rated" and runs the event loop as the application does until a signal ends it.
// Its preferences are written as the application writes them, by a writer that a slow disk
// holds until the event loop has ended: only the wait at quitting puts them on disk.
#include "core/app/commands_coordinator.h"
#include "core/app/preferences_writer.h"
#include "core/app/recent_files.h"
#include "core/app/termination_signals.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTextStream>

#include <condition_variable>
#include <mutex>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!quitOnTerminationSignals(app))
        return 3;
    // Never destroyed, as the application's: its destructor would write the file itself.
    auto *preferences =
        new QSettings(folder.filePath(QStringLiteral("preferences.ini")), QSettings::IniFormat);
    std::mutex mutex;
    std::condition_variable loopEnded;
    bool ended = false;
    // Left running, as the application's.
    new PreferencesWriter(
        preferences, [&](const QString &path, const PreferenceChanges &changes, QString *error) {
            std::unique_lock lock(mutex);
            loopEnded.wait(lock, [&] { return ended; });
            return writePreferencesFile(path, changes, error);
        });
    RecentFiles recentFiles(preferences);
    CommandsCoordinator coordinator(preferences, folder.filePath(QStringLiteral("progress")),
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
    {
        std::lock_guard lock(mutex);
        ended = true;
    }
    loopEnded.notify_all();
    coordinator.waitForPendingSaves();
    return status;
}

#include "ui/app/application.h"

#include "core/app/command_line.h"
#include "core/app/commands_coordinator.h"
#include "core/app/deck_report.h"
#include "core/app/recent_files.h"
#include "core/app/termination_signals.h"
#include "ui/app/main_window.h"
#include "ui/app/translations.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTextStream>
#include <QTimer>

namespace {

// Whether a window system can be reached: otherwise Qt would abort with a message about
// platform plugins that does not tell the user what is missing.
bool hasDisplay(int argc, char **argv)
{
#ifdef Q_OS_LINUX
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        for (int i = 1; i < argc; ++i) {
            const QByteArray argument(argv[i]);
            if (argument == "-platform" || argument == "--platform")
                return true;
        }
        return false;
    }
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
    return true;
}

} // namespace

int runApplication(int &argc, char **argv)
{
    if (!hasDisplay(argc, argv)) {
        QTextStream(stderr) << "memoranth: no display (neither DISPLAY nor WAYLAND_DISPLAY is "
                               "set). Run it in a desktop session, or under xvfb-run.\n";
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Memoranth"));
    QApplication::setOrganizationDomain(QStringLiteral("memoranth.org"));
    QApplication::setApplicationVersion(QStringLiteral(MEMORANTH_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("Memoranth"));
    QGuiApplication::setDesktopFileName(QStringLiteral(MEMORANTH_APP_ID));
    installTranslations(app);
    // The installed theme icon where there is one, else the same picture built into the program.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral(MEMORANTH_APP_ID),
                         QIcon(QStringLiteral(":/icons/" MEMORANTH_APP_ID ".svg"))));

    // Qt has taken its own options out of the arguments; what is left may name one file.
    const CommandLine commandLine = parseCommandLine(app.arguments());
    if (commandLine.action != CommandLine::Action::OpenWindow) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runCommandLine(commandLine, out, err);
    }

    // A logout or `kill` quits as the menu does, so that pending progress is written.
    if (!quitOnTerminationSignals(app))
        QTextStream(stderr) << "memoranth: cannot handle termination signals\n";

    CommandsCoordinator &coordinator = CommandsCoordinator::shared();
    auto *window = new MainWindow(coordinator, RecentFiles::shared());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    if (!commandLine.file.isEmpty())
        coordinator.open(QUrl::fromLocalFile(QDir::current().absoluteFilePath(commandLine.file)));

    // The file of the last run was reopened and shown once the window has run a little: a crash
    // or hang before then keeps it from being reopened blindly at the next start.
    QTimer::singleShot(1000, &coordinator, [&coordinator] { coordinator.finishRestore(); });

    const int status = app.exec();
    coordinator.finishRestore();
    coordinator.waitForPendingSaves();
    coordinator.keepDeckUntilExit();
    return status;
}

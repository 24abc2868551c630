#include "core/app/command_line.h"
#include "core/app/deck_report.h"
#include "core/store/heap_room.h"

#ifdef MEMORANTH_HAS_UI
#include "ui/app/application.h"
#include "ui/app/translations.h"
#endif

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Before any thread is made.
    tuneHeapForBigLoads();
#ifdef MEMORANTH_HAS_UI
    // Only a command line that opens the window needs a window system; the reports, the help
    // and the usage errors run without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (parseCommandLine(arguments).action == CommandLine::Action::OpenWindow)
        return runApplication(argc, argv);
#endif

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Memoranth"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("memoranth.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEMORANTH_VERSION));
#ifdef MEMORANTH_HAS_UI
    installTranslations(app);
#endif

    QTextStream out(stdout);
    QTextStream err(stderr);
    // The deck of a report is left to the end of the process: freeing a big one face by face
    // takes about a second at a million cards, and the system takes it back at once.
    static auto *const reportDeck = new std::optional<DataFile>;
    // Parsed again now that the translations are in place, for the messages.
    return runCommandLine(parseCommandLine(app.arguments()), out, err, reportDeck);
}

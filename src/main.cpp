#include "core/app/deck_report.h"

#ifdef MEMORANTH_HAS_UI
#include "ui/app/application.h"
#endif

#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

namespace {

// The read-only deck views run without a window system.
bool wantsDeckReport(int argc, char *argv[])
{
#ifdef MEMORANTH_HAS_UI
    if (argc < 2)
        return false;
    for (const char *option : {"--stats", "--dump", "--help", "-h", "--version", "-v"}) {
        if (std::strcmp(argv[1], option) == 0)
            return true;
    }
    return false;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    if (!wantsDeckReport(argc, argv)) {
#ifdef MEMORANTH_HAS_UI
        return runApplication(argc, argv);
#endif
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Memoranth"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("memoranth.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEMORANTH_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    return runDeckReport(app.arguments().mid(1), out, err);
}

#include "core/app/deck_report.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Memoranth"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("memoranth.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MEMORANTH_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    return runDeckReport(app.arguments().mid(1), out, err);
}

#include "ui/app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installTranslations(QCoreApplication &application, const QLocale &locale)
{
    // Built into the program, so it never depends on where it was installed.
    auto *ours = new QTranslator(&application);
    const bool found = ours->load(locale, QStringLiteral("memoranth"), QStringLiteral("_"),
                                  QStringLiteral(":/i18n"));
    if (found)
        QCoreApplication::installTranslator(ours);
    else
        delete ours;

    // The standard texts of Qt's own dialogs (the open dialog's buttons).
    auto *qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return found;
}

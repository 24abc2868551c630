#include "core/app/preferences.h"

#include "core/app/preferences_writer.h"
#include "core/model/debug_output.h"
#include "core/store/safe_file.h"

#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

QString setAsideUnusablePreferences(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    const QString aside = moveAsideNumbered(path, QStringLiteral(".unusable"));
    if (aside.isEmpty())
        return QStringLiteral("The preferences %1 are not a file and could not be moved aside; "
                              "they are not read.")
            .arg(path);
    return QStringLiteral("The preferences %1 were not a file; that was moved to %2 and the "
                          "preferences start afresh.")
        .arg(path, aside);
}

QSettings &applicationPreferences()
{
    // Never destroyed: QSettings writes the file from its destructor, on this thread, after the
    // writer wrote it at quit.
    static QSettings *const preferences = [] {
        // Where QSettings keeps the preferences named below.
        const QString path =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/" MEMORANTH_APP_ID "/preferences.ini");
        if (const QString done = setAsideUnusablePreferences(path); !done.isEmpty())
            printLine(done);
        // Named explicitly so the location does not depend on what the application object was
        // told.
        auto *settings =
            new QSettings(QSettings::IniFormat, QSettings::UserScope,
                          QStringLiteral(MEMORANTH_APP_ID), QStringLiteral("preferences"));
        // Written on a thread of their own, from the first change on.
        new PreferencesWriter(settings);
        return settings;
    }();
    return *preferences;
}

#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. Every way of starting the program reads its arguments through
// parseCommandLine, so the window and the read-only reports agree on what is accepted.
struct CommandLine
{
    enum class Action {
        OpenWindow,
        Stats,
        Dump,
        Due,
        ExportReviews,
        Orphans,
        Help,
        Version,
        Invalid
    };

    Action action = Action::OpenWindow;
    // The flashcard file named, if any (always one for Stats, Dump, Due, ExportReviews and
    // Orphans).
    QString file;
    // Stats as JSON rather than text.
    bool json = false;
    // Why the arguments were refused (Invalid only), translated, without the program name.
    QString error;
};

// Parses the program's arguments, the program itself first. "--" ends the options, so a file
// whose name begins with "-" can still be opened. The options Qt reads for its window system
// (such as -platform NAME) are accepted and left to Qt.
CommandLine parseCommandLine(const QStringList &arguments);

// The help printed by --help, translated.
QString commandLineUsage();

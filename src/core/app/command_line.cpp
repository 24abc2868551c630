#include "core/app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

// Qt's own options for the window system, taken out of the arguments by QGuiApplication. Ours
// must know them so that they are not reported as unknown before the window starts.
constexpr const char *qtOptionsWithValue[] = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "qwindowicon",
    "qwindowtitle",    "display",
    "geometry",        "style",
    "stylesheet",      "session",
};
constexpr const char *qtFlags[] = {"reverse", "nograb", "dograb", "widgetcount", "sync"};

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform); ours keep working with one or two dashes.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption stats(QStringLiteral("stats"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption dump(QStringLiteral("dump"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption due(QStringLiteral("due"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption exportReviews(QStringLiteral("export-reviews"), QString(),
                                           QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption orphans(QStringLiteral("orphans"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, stats, dump, due, exportReviews, orphans, json});
    for (const char *name : qtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : qtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    CommandLine result;
    const auto refuse = [&result](const QString &error) {
        result.action = CommandLine::Action::Invalid;
        result.error = error;
        return result;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());

    const QStringList files = parser.positionalArguments();
    if (parser.isSet(help))
        return CommandLine{CommandLine::Action::Help, {}, false, {}};
    if (parser.isSet(version))
        return CommandLine{CommandLine::Action::Version, {}, false, {}};
    // The reports, each with the option that asks for it.
    const std::pair<const QCommandLineOption *, CommandLine::Action> reports[] = {
        {&stats, CommandLine::Action::Stats},
        {&dump, CommandLine::Action::Dump},
        {&due, CommandLine::Action::Due},
        {&exportReviews, CommandLine::Action::ExportReviews},
        {&orphans, CommandLine::Action::Orphans}};
    const QCommandLineOption *report = nullptr;
    for (const auto &[option, action] : reports) {
        if (!parser.isSet(*option))
            continue;
        if (report)
            return refuse(
                QCoreApplication::translate("CommandLine", "--%1 and --%2 cannot be used together.")
                    .arg(report->names().constFirst(), option->names().constFirst()));
        report = option;
        result.action = action;
    }
    if (parser.isSet(json) && report != &stats)
        return refuse(QCoreApplication::translate("CommandLine", "--json goes with --stats."));
    if (report) {
        const QStringList values = parser.values(*report);
        if (values.size() > 1 || !files.isEmpty())
            return refuse(
                QCoreApplication::translate("CommandLine", "Only one file can be given."));
        result.file = values.first();
        result.json = parser.isSet(json);
        return result;
    }
    if (files.size() > 1)
        return refuse(QCoreApplication::translate("CommandLine", "Only one file can be given."));
    if (!files.isEmpty())
        result.file = files.first();
    return result;
}

QString commandLineUsage()
{
    return QCoreApplication::translate(
               "CommandLine",
               "Usage: memoranth [FILE]\n"
               "       memoranth --stats FILE [--json] | --dump FILE | --due FILE\n"
               "       memoranth --export-reviews FILE | --help | --version\n"
               "Study flashcards written as plain text files.\n"
               "\n"
               "  FILE          open this flashcard file in the window\n"
               "  --stats FILE  print a summary of the deck, its saved progress and its\n"
               "                review statistics\n"
               "  --json        with --stats: print the same figures as JSON\n"
               "  --dump FILE   print the deck with its saved progress as JSON\n"
               "  --due FILE    print the faces due now and the new ones for today as JSON\n"
               "  --export-reviews FILE\n"
               "                print the deck's review history as CSV, as the tools that\n"
               "                fit the scheduler's weights read it\n"
               "  -h, --help    print this help\n"
               "  -v, --version print the version\n"
               "  --            end of options: what follows is a file name\n") +
           QCoreApplication::translate(
               "CommandLine",
               "  --orphans FILE  print the saved progress that no face of the deck\n"
               "                  claims, as JSON\n");
}

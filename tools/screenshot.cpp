// Renders the main window in use, for the README: a deck open in the study view, a few faces
// rated, the current face revealed. Runs offscreen with a temporary home; writes one PNG.
// For looking at the window in other conditions: --size WxH, --dark, --start (the start view,
// the decks only as recent files), --language CODE; QT_SCALE_FACTOR=2 renders at 200 %.
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/app/translations.h"
#include "ui/study/card_view.h"
#include "ui/study/face_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption sizeOption(QStringLiteral("size"), QString(), QStringLiteral("WxH"),
                                        QStringLiteral("1000x680"));
    const QCommandLineOption darkOption(QStringLiteral("dark"));
    const QCommandLineOption startOption(QStringLiteral("start"));
    const QCommandLineOption languageOption(QStringLiteral("language"), QString(),
                                            QStringLiteral("CODE"), QStringLiteral("en"));
    parser.addOptions({sizeOption, darkOption, startOption, languageOption});
    parser.process(app);
    const QStringList arguments = QStringList{QString()} + parser.positionalArguments();
    if (arguments.size() < 3) {
        QTextStream(stderr) << "usage: memoranth_screenshot [--size WxH] [--dark] [--start] "
                               "[--language CODE] OUTPUT.png DECK [RECENT...]\n";
        return 2;
    }
    installTranslations(app, QLocale(parser.value(languageOption)));
    if (parser.isSet(darkOption)) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        dark.setColor(QPalette::ButtonText, Qt::white);
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
        QApplication::setPalette(dark);
    }
    const QStringList size = parser.value(sizeOption).split(u'x');
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("preferences.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    QDir().mkpath(home.filePath(QStringLiteral("progress")));
    CommandsCoordinator coordinator(&settings, home.filePath(QStringLiteral("progress")), &recent);
    for (const QString &file : arguments.mid(3))
        recent.add(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    if (parser.isSet(startOption)) {
        recent.add(QUrl::fromLocalFile(QFileInfo(arguments[2]).absoluteFilePath()));
        MainWindow window(coordinator, recent);
        window.resize(size.value(0).toInt(), size.value(1).toInt());
        window.show();
        QTest::qWait(300);
        return window.grab().save(arguments[1]) ? 0 : 1;
    }
    coordinator.open(QUrl::fromLocalFile(QFileInfo(arguments[2]).absoluteFilePath()));
    coordinator.waitForLoad();

    MainWindow window(coordinator, recent);
    window.resize(size.value(0).toInt(), size.value(1).toInt());
    window.show();
    QTest::qWait(100);

    // Some progress to show in the sidebar's dots and the faces bar.
    const auto rate = [&](qsizetype card, qsizetype face, qint8 rating) {
        // Any deck may be shown: a card or face it does not have is left out.
        const auto &deck = coordinator.dataFile();
        if (!deck || card >= deck->cards.size() || face >= deck->cards.at(card).faces.size())
            return;
        CardFace value = deck->cards.at(card).faces.at(face);
        value.rating = rating;
        value.progress = CardFaceProgress::Learning;
        coordinator.setFace(card, face, value);
    };
    for (auto [card, face, rating] :
         {std::tuple{0, 0, 3}, {0, 1, 3}, {1, 0, 2}, {2, 0, 1}, {3, 0, 3}, {3, 1, 1}, {5, 0, 2}})
        rate(card, face, qint8(rating));

    ContentView *content = window.findChild<ContentView *>();
    content->setSelectedCardIndex(3);
    QTest::qWait(100);
    CardView *cards = content->cardView();
    cards->setCurrentFace(1);
    QTest::qWait(1200); // let the scrolling and the spring settle
    if (FaceView *face = cards->activeFaceView())
        face->toggleHidden();
    QTest::qWait(500);

    const bool saved = window.grab().save(arguments[1]);
    coordinator.waitForPendingSaves();
    return saved ? 0 : 1;
}

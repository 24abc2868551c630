// Times the study view on a card of a 100,000-card deck: the main thread's time from a key
// press (c, then j) to the repaint of the view. Prints figures, judges nothing.
#if __has_include(<QApplication>)

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "large_deck.h"
#include "paint_watch.h"
#include "timing.h"
#include "ui/study/card_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <ctime>

namespace {

QTextStream out(stdout);

QString deckText()
{
    return largeDeckText();
}

struct Figures
{
    QList<double> wall;
    QList<double> cpu;
    template <typename Time> void add(Time time)
    {
        wall.append(time.wall);
        cpu.append(time.cpu);
    }
    void print(const char *what)
    {
        if (wall.isEmpty())
            return;
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        out << QStringLiteral("%1 main thread %2 ms median, %3 ms worst; wall %4 ms median, "
                              "%5 ms worst (%6 presses)\n")
                   .arg(QString::fromLatin1(what), -36)
                   .arg(cpu[cpu.size() / 2], 5, 'f', 2)
                   .arg(cpu.last(), 5, 'f', 2)
                   .arg(wall[wall.size() / 2], 5, 'f', 2)
                   .arg(wall.last(), 5, 'f', 2)
                   .arg(wall.size());
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString deckPath = dir.filePath(QStringLiteral("deck.txt"));
    QFile file(deckPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(deckText().toUtf8()) < 0)
        return 1;
    file.close();
    QDir(dir.path()).mkpath(QStringLiteral("progress"));
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    CommandsCoordinator coordinator(&settings, dir.filePath(QStringLiteral("progress")), &recent);
    coordinator.open(QUrl::fromLocalFile(deckPath));
    coordinator.waitForLoad();
    const qsizetype cards = coordinator.dataFile()->cards.size();

    QMainWindow window;
    auto *view = new CardView(coordinator);
    window.setCentralWidget(view);
    window.resize(900, 700);
    QObject::connect(view, &CardView::selectedCardChangeRequested, view,
                     [view](std::optional<qsizetype> index) { view->setSelectedCard(index); });
    view->setCardCount(cards);
    view->setSelectedCard(cards / 2);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(800);

    PaintWatch watch(view);
    // Wall time, and the main thread's own processor time, which other work on the machine
    // (the background save among it) does not inflate.
    struct Time
    {
        double wall;
        double cpu;
    };
    const auto press = [&](Qt::Key key) {
        watch.painted = false;
        const double cpuStart = threadMilliseconds();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(window.windowHandle(), key);
        while (!watch.painted && timer.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const Time time{timer.nsecsElapsed() / 1e6, threadMilliseconds() - cpuStart};
        // A person's next key comes later; let the animations run meanwhile.
        QTest::qWait(120);
        return time;
    };

    Figures correct, nextFace, nextCard;
    const int rounds = qEnvironmentVariableIntValue("BENCH_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("BENCH_ROUNDS")
                           : 60;
    for (int i = 0; i < rounds; ++i) {
        correct.add(press(Qt::Key_C));
        const bool lastFace = view->currentFace() == view->faceViews().size() - 1;
        (lastFace ? nextCard : nextFace).add(press(Qt::Key_J));
    }
    coordinator.waitForPendingSaves();

    out << "cards: " << cards << ", study view of card " << cards / 2 << " onwards\n";
    correct.print("c (Correct, one write and save):");
    nextFace.print("j (next face of the card):");
    nextCard.print("j (last face: on to the next card):");
    return 0;
}

#else

#include <cstdio>

int main()
{
    std::puts("bench_study needs the widgets library");
    return 0;
}

#endif

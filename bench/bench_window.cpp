// Times the window over a deck of 100,000 cards: from opening the deck to the first painted
// window, and one rating change through the coordinator up to the repainted row. With "shots"
// it instead saves pictures of the window in a light and a dark palette.
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/model/flashcard_reader.h"
#include "core/store/heap_room.h"
#include "core/store/progress_store.h"
#include "large_deck.h"
#include "paint_watch.h"
#include "timing.h"
#include "ui/app/content_view.h"
#include "ui/app/main_window.h"
#include "ui/browser/sidebar.h"
#include "ui/study/card_view.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QRandomGenerator>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

namespace {

QTextStream out(stdout);

bool generateDeck(const QString &path)
{
    const QString text = largeDeckText();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

struct Session
{
    explicit Session(const QTemporaryDir &dir)
        : made(QDir(dir.path()).mkpath(QStringLiteral("progress"))),
          settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat),
          recent(&settings),
          coordinator(&settings, dir.filePath(QStringLiteral("progress")), &recent)
    {
    }
    bool made;
    QSettings settings;
    RecentFiles recent;
    CommandsCoordinator coordinator;
};

int measure(const QUrl &deck)
{
    QTemporaryDir dir;
    Session session(dir);

    // A first opening writes the progress file that the timed one then merges.
    session.coordinator.open(deck);
    session.coordinator.waitForLoad();
    session.coordinator.open(std::nullopt);
    session.coordinator.waitForPendingSaves();

    // From open to the first painted window, as at a start with the deck stored.
    QElapsedTimer timer;
    timer.start();
    session.coordinator.open(deck);
    session.coordinator.waitForLoad();
    const double opened = timer.nsecsElapsed() / 1e6;
    MainWindow window(session.coordinator, session.recent);
    QListView *list = window.findChild<ContentView *>()->sidebar()->cardList();
    PaintWatch firstPaint(list->viewport());
    window.show();
    firstPaint.wait();
    const double painted = timer.nsecsElapsed() / 1e6;
    out << "cards: " << session.coordinator.dataFile()->cards.size() << '\n';
    out << "open (read, parse, merge progress): " << opened << " ms\n";
    out << "open to first painted window:       " << painted << " ms\n";

    // Opening the deck again into the window already shown.
    session.coordinator.waitForPendingSaves();
    PaintWatch repaint(list->viewport());
    timer.restart();
    session.coordinator.open(deck);
    session.coordinator.waitForLoad();
    repaint.wait();
    out << "reopen into a shown window, painted: " << timer.nsecsElapsed() / 1e6 << " ms\n";

    // One rating change of the selected card (which the study view shows too), until the row
    // has been repainted. Saves run meanwhile, as in use.
    QList<double> changes;
    QList<double> busy;
    QList<double> edits;
    for (int i = 0; i < 40; ++i) {
        CardFace face = session.coordinator.dataFile()->cards.at(0).faces.at(0);
        face.rating = qint8((face.rating + 1) % 4);
        PaintWatch changed(list->viewport());
        timer.restart();
        const double start = threadMilliseconds();
        session.coordinator.setFace(0, 0, face);
        edits.append(threadMilliseconds() - start);
        changed.wait();
        busy.append(threadMilliseconds() - start);
        changes.append(timer.nsecsElapsed() / 1e6);
        // Apart from the save of the previous change, as a user's pace would leave it.
        session.coordinator.waitForPendingSaves();
    }
    out << "one rating change until repainted, main thread busy: median " << median(busy)
        << " ms, max " << *std::max_element(busy.begin(), busy.end()) << " ms\n";
    out << "  of which the edit and its signal handlers: median " << median(edits) << " ms\n";
    out << "  wall time, including the wait for the next frame: median " << median(changes)
        << " ms\n";
    session.coordinator.waitForPendingSaves();

    // The card filter typed into a letter at a time, each until the list is repainted: the
    // first letter folds the deck's text, the next ones narrow the matches found so far.
    QLineEdit *filter =
        window.findChild<ContentView *>()->findChild<QLineEdit *>(QStringLiteral("cardFilter"));
    const QString typed = QStringLiteral("river 12");
    QList<double> letters;
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        PaintWatch repainted(list->viewport());
        const double start = threadMilliseconds();
        filter->setText(typed.left(i));
        repainted.wait();
        letters.append(threadMilliseconds() - start);
    }
    out << "filter typed letter by letter (\"" << typed << "\", " << list->model()->rowCount()
        << " rows left), main thread until repainted: first letter " << letters.first()
        << " ms, then at most " << *std::max_element(letters.begin() + 1, letters.end()) << " ms\n";
    // A query that is no narrowing of the last looks at every card again.
    QList<double> fresh;
    for (const QString &query : {QStringLiteral("ocean"), QStringLiteral("desert 4"),
                                 QStringLiteral("treaty harbour"), QStringLiteral("zzz")}) {
        PaintWatch repainted(list->viewport());
        const double start = threadMilliseconds();
        filter->setText(query);
        repainted.wait();
        fresh.append(threadMilliseconds() - start);
    }
    out << "filter over every card (a new query), main thread until repainted: median "
        << median(fresh) << " ms, max " << *std::max_element(fresh.begin(), fresh.end()) << " ms\n";
    PaintWatch cleared(list->viewport());
    const double start = threadMilliseconds();
    filter->clear();
    cleared.wait();
    out << "filter cleared, every card listed again: " << threadMilliseconds() - start << " ms\n";
    return 0;
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    palette.setColor(QPalette::WindowText, QColor(0xE8, 0xE8, 0xE8));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::Text, QColor(0xE8, 0xE8, 0xE8));
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::ButtonText, QColor(0xE8, 0xE8, 0xE8));
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x65, 0xCA));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9A));
    palette.setColor(QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::ToolTipText, QColor(0xE8, 0xE8, 0xE8));
    palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    palette.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    palette.setColor(QPalette::Shadow, Qt::black);
    return palette;
}

bool save(QWidget &window, const QString &path)
{
    QCoreApplication::processEvents();
    const bool saved = window.grab().save(path);
    out << (saved ? "saved " : "could not save ") << path << '\n';
    return saved;
}

int shots(const QString &folder, const QUrl &deck, const QList<QUrl> &recent)
{
    QTemporaryDir dir;
    Session session(dir);
    for (const QUrl &file : recent)
        session.recent.add(file);
    MainWindow window(session.coordinator, session.recent);
    window.resize(960, 640);
    window.show();
    bool ok = true;
    for (const bool dark : {false, true}) {
        const QString look = dark ? QStringLiteral("dark") : QStringLiteral("light");
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        session.coordinator.open(std::nullopt);
        ok = save(window, QStringLiteral("%1/start-%2.png").arg(folder, look)) && ok;
        session.coordinator.open(deck);
        session.coordinator.waitForLoad();
        // A few ratings, so that the dots show their shades.
        const auto &cards = session.coordinator.dataFile()->cards;
        for (qsizetype card = 0; card < std::min<qsizetype>(cards.size(), 6); ++card) {
            for (qsizetype i = 0; i < cards.at(card).faces.size(); ++i) {
                CardFace face = cards.at(card).faces.at(i);
                face.rating = qint8(std::min<qsizetype>(5, card));
                session.coordinator.setFace(card, i, face);
            }
        }
        window.findChild<ContentView *>()->setSelectedCardIndex(2);
        ok = save(window, QStringLiteral("%1/deck-%2.png").arg(folder, look)) && ok;
        window.resize(600, 400);
        ok = save(window, QStringLiteral("%1/deck-small-%2.png").arg(folder, look)) && ok;
        window.resize(960, 640);
        session.coordinator.open(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.txt"))));
        ok = save(window, QStringLiteral("%1/invalid-%2.png").arg(folder, look)) && ok;
    }
    session.coordinator.waitForPendingSaves();
    return ok ? 0 : 1;
}

// Notes the longest time the event loop went without turning, from a timer that asks to be
// called every few milliseconds.
class StallWatch final : public QObject
{
public:
    StallWatch()
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = double(m_clock.nsecsElapsed()) / 1e6;
            longest = std::max(longest, now - m_last);
            if (now - m_last >= reported)
                stalls.append({m_last, now - m_last});
            m_last = now;
        });
        m_timer.start(2);
    }
    void restart()
    {
        m_last = double(m_clock.nsecsElapsed()) / 1e6;
        longest = 0;
        stalls.clear();
    }
    // Each freeze of at least `reported` ms since the last restart: when it began on the
    // monotonic clock (as `perf record -k CLOCK_MONOTONIC` stamps its samples), and how long.
    QString listStalls() const
    {
        QStringList parts;
        for (const auto &[at, length] : stalls)
            parts.append(QStringLiteral("%1 ms at %2")
                             .arg(qRound(length))
                             .arg(qint64(m_clock.msecsSinceReference() + qint64(at))));
        return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
    }
    double longest = 0;
    static constexpr double reported = 50;
    QList<std::pair<double, double>> stalls;

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    double m_last = 0;
};

qint64 peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The memory the process holds now, in MiB.
qint64 residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * qint64(::sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

// The most memory held at once while it watches, and when, sampled every few milliseconds.
class MemoryWatch final : public QObject
{
public:
    MemoryWatch()
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, &MemoryWatch::sample);
        m_timer.start(20);
    }
    void sample()
    {
        const qint64 now = residentMiB();
        if (now > most) {
            most = now;
            mostAt = double(m_clock.nsecsElapsed()) / 1e6;
        }
    }
    qint64 most = 0;
    double mostAt = 0;

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
};

// Runs the event loop for a while, as a window left alone would, so that work that follows a
// step (the due queue, statistics, the saver) shows up in the freezes.
void idleFor(int milliseconds)
{
    QElapsedTimer idle;
    idle.start();
    QTimer wake; // ends the last wait when nothing else happens
    wake.start(5);
    while (idle.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Opens the deck and waits until the window shows it; false when it cannot be read.
bool openAndShow(CommandsCoordinator &coordinator, QListView *list, const QUrl &deck)
{
    coordinator.open(deck);
    PaintWatch deckPainted(list->viewport());
    while (coordinator.state() != CommandsCoordinator::State::DeckOpen || !deckPainted.painted) {
        if (coordinator.state() == CommandsCoordinator::State::UnreadableFile)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// One step done on the main thread, then the window left alone for a second: how long the step
// took there and the longest freeze, the step's and whatever followed it.
template <typename Step> void timeStep(StallWatch &stalls, const char *what, Step &&step)
{
    stalls.restart();
    QElapsedTimer timer;
    timer.start();
    const double processor = threadMilliseconds();
    step();
    const double took = timer.nsecsElapsed() / 1e6;
    // Far less processor time than wall time: the step waited (for the disk, a lock) or the
    // machine's other work kept the thread from running.
    const double worked = threadMilliseconds() - processor;
    idleFor(1000);
    out << what << ": " << took << " ms (" << worked << " ms of the main thread's processor time)"
        << ", longest frozen " << stalls.longest << " ms\n";
    out.flush();
}

// A deck with its progress folder opened into a shown window, as at a start: how long until
// the window shows the deck, and the longest the window went without answering meanwhile; then
// the same for a reading after an outside edit, and what the window does with a deck that big
// at a first review, a close, opening another file, a close while it is read, and at quit.
int openInWindow(const QUrl &deck, const QString &progressFolder)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    auto coordinator = std::make_unique<CommandsCoordinator>(&settings, progressFolder, &recent);
    auto window = std::make_unique<MainWindow>(*coordinator, recent);
    QListView *list = window->findChild<ContentView *>()->sidebar()->cardList();
    PaintWatch startPainted(window->centralWidget());
    window->show();
    startPainted.wait();

    StallWatch stalls;
    QElapsedTimer timer;
    timer.start();
    stalls.restart();
    coordinator->open(deck);
    const double opened = timer.nsecsElapsed() / 1e6;
    PaintWatch deckPainted(list->viewport());
    while (coordinator->state() != CommandsCoordinator::State::DeckOpen || !deckPainted.painted) {
        if (coordinator->state() == CommandsCoordinator::State::UnreadableFile) {
            out << "the deck could not be read\n";
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    out << "cards: " << coordinator->dataFile()->cards.size() << '\n';
    out << "open returned after:            " << opened << " ms\n";
    out << "open to the deck shown:         " << timer.nsecsElapsed() / 1e6 << " ms\n";
    out << "longest the window was frozen:  " << stalls.longest << " ms\n";
    out << "peak memory so far:             " << peakMiB() << " MiB\n";
    out.flush();

    // Settled: the load's garbage freed, the due queue built.
    stalls.restart();
    idleFor(2000);
    out << "the two seconds after it was shown, longest frozen: " << stalls.longest << " ms\n";

    timeStep(stalls, "first review after open", [&] {
        CardFace face = coordinator->dataFile()->cards.at(0).faces.at(0);
        face.rating = qint8(std::min(face.rating + 1, 5));
        coordinator->reviewFace(0, 0, face, Grade::Good);
    });
    timeStep(stalls, "second review", [&] {
        CardFace face = coordinator->dataFile()->cards.at(1).faces.at(0);
        face.rating = qint8(std::min(face.rating + 1, 5));
        coordinator->reviewFace(1, 0, face, Grade::Good);
    });
    coordinator->waitForJournal();

    const qint64 before = residentMiB();
    timer.restart();
    stalls.restart();
    {
        MemoryWatch memory;
        coordinator->reloadActiveFile();
        while (coordinator->isLoading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double read = timer.nsecsElapsed() / 1e6;
        const qint64 atPublish = residentMiB();
        idleFor(1000);
        out << "reload after an edit:           " << read << " ms\n";
        out << "longest the window was frozen:  " << stalls.longest << " ms\n";
        out << "memory held: before the reload " << before << " MiB, most while it was read "
            << memory.most << " MiB (at " << memory.mostAt << " ms), when it was shown "
            << atPublish << " MiB\n";
        out << "peak memory:                    " << peakMiB() << " MiB\n";
        out << "freezes of 50 ms or more:       " << stalls.listStalls() << '\n';
        out.flush();
    }

    // A review made while a reload is read, halfway through it: what it costs the window, and
    // whether the deck shown after the reload keeps it.
    coordinator->waitForJournal();
    timer.restart();
    stalls.restart();
    {
        coordinator->reloadActiveFile();
        while (coordinator->isLoading() && coordinator->loadProgress() < 0.5)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double at = timer.nsecsElapsed() / 1e6;
        CardFace face = coordinator->dataFile()->cards.at(2).faces.at(0);
        face.rating = qint8(std::min(face.rating + 1, 5));
        QElapsedTimer reviewTimer;
        reviewTimer.start();
        const double processor = threadMilliseconds();
        coordinator->reviewFace(2, 0, face, Grade::Good);
        const double worked = threadMilliseconds() - processor;
        const double took = reviewTimer.nsecsElapsed() / 1e6;
        const CardFace reviewed = coordinator->dataFile()->cards.at(2).faces.at(0);
        const bool stillLoading = coordinator->isLoading();
        while (coordinator->isLoading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double read = timer.nsecsElapsed() / 1e6;
        idleFor(1000);
        const CardFace after = coordinator->dataFile()->cards.at(2).faces.at(0);
        const bool kept = after.rating == reviewed.rating &&
                          after.lastReview == reviewed.lastReview &&
                          after.memory == reviewed.memory;
        out << "review during a reload:         " << took << " ms at " << at << " ms (" << worked
            << " ms of the main thread's processor time"
            << (stillLoading ? "" : ", the reading was over by then") << "), "
            << (kept ? "kept" : "LOST") << " in the deck read, shown after " << read << " ms\n";
        out << "longest the window was frozen:  " << stalls.longest << " ms\n";
        out << "freezes of 50 ms or more:       " << stalls.listStalls() << '\n';
        out.flush();
    }

    // A small deck to go to from the big one.
    const QString smallPath = dir.filePath(QStringLiteral("small.txt"));
    {
        QFile small(smallPath);
        if (!small.open(QIODevice::WriteOnly) || small.write("one\n---\ntwo\n") <= 0) {
            out << "cannot write " << smallPath << '\n';
            return 1;
        }
    }
    const QUrl smallDeck = QUrl::fromLocalFile(smallPath);
    timeStep(stalls, "close the deck", [&] { coordinator->open(std::nullopt); });
    if (!openAndShow(*coordinator, list, deck))
        return 1;
    idleFor(1000);
    timeStep(stalls, "open another file", [&] { coordinator->open(smallDeck); });
    coordinator->open(deck);
    idleFor(1500);
    timeStep(stalls, "close while the deck is read", [&] { coordinator->open(std::nullopt); });
    coordinator->open(deck);
    idleFor(1500);
    timeStep(stalls, "open another file while the deck is read",
             [&] { coordinator->open(smallDeck); });
    if (!openAndShow(*coordinator, list, deck))
        return 1;
    idleFor(1000);

    // Quitting: the window goes, the pending progress is written (the saver's own time, on its
    // thread), then the coordinator goes with the deck.
    timer.restart();
    window.reset();
    out << "quit: the window closed in " << timer.nsecsElapsed() / 1e6 << " ms";
    coordinator->waitForPendingSaves();
    timer.restart();
    coordinator->keepDeckUntilExit();
    coordinator.reset();
    out << ", the coordinator after its saves in " << timer.nsecsElapsed() / 1e6 << " ms\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // As the program does.
    tuneHeapForBigLoads();
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (!arguments.isEmpty() && arguments.first() == u"shots") {
        if (arguments.size() < 3) {
            out << "usage: bench_window shots FOLDER DECK [RECENT...]\n";
            return 2;
        }
        QList<QUrl> recent;
        for (const QString &path : arguments.mid(3))
            recent.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        return shots(arguments[1], QUrl::fromLocalFile(QFileInfo(arguments[2]).absoluteFilePath()),
                     recent);
    }

    if (!arguments.isEmpty() && arguments.first() == u"open") {
        if (arguments.size() != 3) {
            out << "usage: bench_window open DECK PROGRESS-FOLDER\n";
            return 2;
        }
        return openInWindow(QUrl::fromLocalFile(QFileInfo(arguments[1]).absoluteFilePath()),
                            arguments[2]);
    }

    QTemporaryDir dir;
    QString path = arguments.value(0);
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("deck.txt"));
        if (!generateDeck(path)) {
            out << "cannot write " << path << '\n';
            return 1;
        }
    }
    return measure(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

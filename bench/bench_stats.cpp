// Times the statistics window over a journal of 1,000,000 reviews spread over two years of a deck
// of 50,000 cards: opening the window (reading the journal, computing every figure, painting),
// and taking in one more review while it is open. With "shot FILE" it instead saves a picture of
// the window over a smaller generated history.
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"
#include "ui/stats/statistics_window.h"

#include "paint_watch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

QTextStream out(stdout);

QString faceText(int card, int face)
{
    return face ? QStringLiteral("The answer of card %1 is {%2}\n").arg(card).arg(card * 7)
                : QStringLiteral("Question number %1\n").arg(card);
}

bool writeDeck(const QString &path, int cards)
{
    QByteArray text;
    for (int card = 0; card < cards; ++card)
        text += "=== " + QByteArray::number(card) + "\n" + faceText(card, 0).toUtf8() + "---\n" +
                faceText(card, 1).toUtf8();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// A history of `reviews` reviews over `days` days ending now, more of them lately, with lapses
// piling up on a few hard faces.
bool writeJournal(const QString &path, int cards, qint64 reviews, int days, qint64 now)
{
    QRandomGenerator random(7);
    QList<FaceDigest> digests;
    for (int card = 0; card < cards; ++card)
        for (int face = 0; face < 2; ++face)
            digests.append(faceDigest(faceText(card, face)));
    QList<ReviewMemory> memory(digests.size());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    const qint64 start = now - qint64(days) * 86400000;
    for (qint64 i = 0, written = 0; written < reviews; ++i) {
        // Time grows with the square root: the pace picks up over the months.
        const double at = std::sqrt(std::min(1.0, double(i) / double(reviews * 9 / 8)));
        const qint64 time = start + qint64(at * at * double(now - start - 3600000));
        const auto face = qsizetype(std::min<double>(
            digests.size() - 1, std::pow(random.generateDouble(), 1.6) * double(digests.size())));
        // Some days are skipped.
        if ((time / 86400000) % 9 == 4 && at < 1)
            continue;
        ReviewMemory &m = memory[face];
        const int grade = random.bounded(100) < 12 + int(face % 17 == 0) * 30
                              ? 1
                              : 2 + int(random.bounded(100) >= 10) + int(random.bounded(100) >= 85);
        JournalRecord record;
        record.time = time;
        record.face = digests[face];
        record.grade = quint8(grade);
        record.stateBefore = m.reviews == 0 ? SchedulingState::New : SchedulingState::Review;
        m.reviews += 1;
        if (grade == 1 && record.stateBefore == SchedulingState::Review)
            m.lapses += 1;
        m.stability =
            grade == 1 ? std::max(0.2, m.stability / 3) : std::min(36500.0, m.stability * 2.2 + 1);
        m.difficulty = std::clamp(m.difficulty + (grade == 1 ? 0.8 : -0.2), 1.0, 10.0);
        if (m.reviews == 1)
            m.difficulty = 5;
        record.rating = qint8(std::min(3, int(m.reviews - m.lapses) % 4));
        record.progress = CardFaceProgress::Learning;
        record.lastReview = time;
        record.nextReview = time + qint64(m.stability * 86400000);
        record.memory = m;
        chunk += encodeJournalRecord(record);
        ++written;
        if (chunk.size() > (1 << 22)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QStringList arguments = app.arguments();
    const bool shot = arguments.size() >= 3 && arguments[1] == u"shot";
    const int cards = shot ? 600 : 50000;
    const qint64 reviews = shot ? 40000 : 1000000;

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString folder = home.filePath(QStringLiteral("progress"));
    QDir().mkpath(folder);
    const QString deck = home.filePath(QStringLiteral("capitals of the world.txt"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString progress = progressFileURL(QUrl::fromLocalFile(deck), folder).toLocalFile();
    // This machine's journal, which the reviews below append to as a study session does.
    const QString journal = journalPath(progress, journalMachineId());
    if (!writeDeck(deck, cards) || !writeJournal(journal, cards, reviews, 730, now)) {
        out << "cannot write the generated deck\n";
        return 1;
    }

    QSettings settings(home.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    CommandsCoordinator coordinator(&settings, folder, &recent);
    coordinator.open(QUrl::fromLocalFile(deck));
    coordinator.waitForLoad();

    if (shot) {
        StatisticsWindow window(&coordinator);
        window.resize(900, 1000);
        window.show();
        PaintWatch watch(&window);
        watch.wait();
        const bool saved = window.grab().save(arguments[2]);
        out << (saved ? "saved " : "cannot save ") << arguments[2] << '\n';
        return saved ? 0 : 1;
    }

    out << "statistics over " << QFileInfo(journal).size() / journalRecordSize
        << " journal reviews of " << cards * 2 << " faces, two years\n";
    // The parts of the work, each on its own: the review counts from the journal (off the main
    // thread in the window) and the faces' figures from the deck (on it).
    {
        QElapsedTimer part;
        part.start();
        const JournalCounts counts = countDeckReviews(progress, StudyDayClock());
        const qint64 read = part.restart();
        DeckStatistics statistics({}, StudyDayClock(), QDateTime::currentDateTimeUtc());
        statistics.setDeck(*coordinator.dataFile());
        const qint64 faces = part.restart();
        const FaceSlots slots = faceSlotsByDigest(*coordinator.dataFile());
        const qint64 digests = part.elapsed();
        out << "  review counts from the journal: " << read << " ms ("
            << counts.counts.totalReviews() << " reviews; off the main thread)\n"
            << "  faces' figures from the deck:   " << faces << " ms\n"
            << "  faces by digest:                " << digests << " ms (off the main thread)\n";
    }
    QElapsedTimer timer;
    timer.start();
    StatisticsWindow window(&coordinator);
    window.resize(900, 820);
    window.show();
    PaintWatch watch(&window);
    watch.wait();
    const qint64 open = timer.elapsed();
    out << "  window open, first paint:       " << open << " ms (main thread)\n";
    // The main thread is free meanwhile; the wait below only measures when the history is in.
    while (window.isReadingHistory())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    out << "  history read and shown:         " << timer.elapsed() << " ms after opening\n";
    watch.painted = false;
    watch.wait();

    // Reviews as a study session makes them: the coordinator schedules the face, changes the
    // card and appends to the journal on its saver's thread; the window follows the card at once
    // and the journal's new record when it is there, then paints what changed.
    QList<double> withWindow;
    QList<double> alone;
    const auto reviewOnce = [&](int card, bool windowShown) {
        const CardFace face = coordinator.dataFile()->cards[card].faces[0];
        QElapsedTimer update;
        update.start();
        if (!coordinator.reviewFace(card, 0, face, Grade::Good))
            return -1.0;
        qint64 spent = update.nsecsElapsed();
        if (!coordinator.waitForJournal()) // the saver's thread, not ours: not counted
            return -1.0;
        update.restart();
        if (windowShown)
            window.refresh();
        QApplication::processEvents();
        spent += update.nsecsElapsed();
        return double(spent) / 1e6;
    };
    for (int i = 0; i < 21; ++i)
        withWindow.append(reviewOnce(100 + i, true));
    window.hide();
    for (int i = 0; i < 21; ++i)
        alone.append(reviewOnce(200 + i, false));
    std::sort(withWindow.begin(), withWindow.end());
    std::sort(alone.begin(), alone.end());
    const double median = withWindow[withWindow.size() / 2];
    const double baseline = alone[alone.size() / 2];
    out << "  one review, window open:        " << QString::number(median, 'f', 2) << " ms median, "
        << QString::number(withWindow.last(), 'f', 2) << " ms worst of " << withWindow.size()
        << " (main thread, painting included)\n"
        << "  one review, window closed:      " << QString::number(baseline, 'f', 2)
        << " ms median\n"
        << "  the window's share:             " << QString::number(median - baseline, 'f', 2)
        << " ms\n";
    window.show();
    watch.painted = false;
    watch.wait();
    out << "  reviews counted:                " << window.figures().totalReviews << '\n';
    return 0;
}

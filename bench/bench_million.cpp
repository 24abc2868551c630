// Generates a deck of a million cards (one to four faces of 20 to 200 characters each, every face
// with a saved record), then times what a study session does with it: loading it with its
// progress, a whole save of the progress file and one journal append made durable; or what an
// open and a close of it through the coordinator read and write. Progress files are read and
// written only in the folder given, or in a temporary one: never in the user's own progress
// folder. Or reviews made while the progress file is rewritten, or a preference saved while the
// disk has much to write.
#include "core/app/commands_coordinator.h"
#include "core/app/preferences_writer.h"
#include "core/app/recent_files.h"
#include "core/model/flashcard_reader.h"
#include "core/schedule/due_queue.h"
#include "core/schedule/study_day.h"
#include "core/store/deck_loader.h"
#include "core/store/heap_room.h"
#include "core/store/journal_writer.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/record_matcher.h"
#include "core/store/safe_file.h"
#include "timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <optional>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);

QUrl deckUrl(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

qint64 peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The progress folder given, or else a temporary one that is gone when the program ends.
QString progressFolderOr(const QString &given, std::optional<QTemporaryDir> &temporary)
{
    if (!given.isEmpty())
        return QFileInfo(given).absoluteFilePath();
    temporary.emplace();
    return temporary->filePath(QStringLiteral("progress"));
}

int generate(const QString &path, int cards, const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        out << "cannot make " << folder << '\n';
        return 1;
    }
    static const char *const words[] = {
        "capital", "river",  "mountain", "ocean",  "language", "currency", "city",   "border",
        "island",  "desert", "forest",   "valley", "century",  "empire",   "treaty", "harbour"};
    QRandomGenerator random(1'000'000);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QByteArray text;
    for (int card = 0; card < cards; ++card) {
        text += "=== " + QByteArray::number(card) + '\n';
        const int faces = 1 + int(random.bounded(4));
        for (int face = 0; face < faces; ++face) {
            if (face)
                text += "---\n";
            // Numbered, so that no two faces share a text; a hidden passage in each.
            const qsizetype start = text.size();
            text += QByteArray::number(card) + '.' + QByteArray::number(face) + " {" +
                    words[random.bounded(16)] + '}';
            const qsizetype length = 20 + random.bounded(181);
            while (text.size() - start < length)
                text += QByteArray(" ") + words[random.bounded(16)];
            text.truncate(start + length);
            text += '\n';
        }
        if (text.size() > (1 << 20)) {
            if (file.write(text) != text.size())
                return 1;
            text.truncate(0);
        }
    }
    if (file.write(text) != text.size())
        return 1;
    file.close();

    const QUrl url = deckUrl(path);
    DataFile deck = loadDataFile(*readUtf8File(path), url, folder);
    for (Card &card : deck.cards) {
        for (CardFace &face : card.faces) {
            face.rating = qint8(random.bounded(4));
            face.progress = allCardFaceProgresses[random.bounded(5)];
        }
    }
    if (QString error; !saveProgress(url, deck.cards, folder, &error)) {
        out << error << '\n';
        return 1;
    }
    const QString progressFile = progressFileURL(url, folder).toLocalFile();
    out << "deck: " << QFileInfo(path).size() / (1024 * 1024)
        << " MiB, progress file: " << QFileInfo(progressFile).size() / (1024 * 1024) << " MiB, "
        << progressFile << '\n';
    return 0;
}

// Bytes the allocator has handed out and not had back, small blocks and mapped ones alike.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

int measure(const QString &path, const QString &folder)
{
    const QUrl url = deckUrl(path);
    QElapsedTimer timer;
    timer.start();
    DataFile deck = loadDataFile(*readUtf8File(path), url, folder);
    const double load = milliseconds(timer);
    const qint64 loadPeak = peakMiB();
    qsizetype faces = 0;
    for (const Card &card : deck.cards)
        faces += card.faces.size();

    // One change of one face, written as a whole save of the progress file.
    deck.cards[0].faces[0].rating = qint8((deck.cards[0].faces[0].rating + 1) % 4);
    timer.restart();
    if (QString error; !saveProgress(url, deck.cards, folder, &error))
        out << error << '\n';
    const double save = milliseconds(timer);

    // The same change as one journal record made durable.
    const QString progressFile = progressFileURL(url, folder).toLocalFile();
    JournalWriter writer;
    QString error;
    timer.restart();
    if (!writer.open(journalPath(progressFile, journalMachineId()), &error)) {
        out << error << '\n';
        return 1;
    }
    const double open = milliseconds(timer);
    QList<double> appends;
    for (int i = 0; i < 50; ++i) {
        JournalRecord record;
        record.time = QDateTime::currentMSecsSinceEpoch();
        record.face = faceDigest(deck.cards[0].faces[0].text);
        record.rating = deck.cards[0].faces[0].rating;
        timer.restart();
        if (!writer.append(record, &error)) {
            out << error << '\n';
            return 1;
        }
        appends.append(milliseconds(timer));
    }
    std::sort(appends.begin(), appends.end());

    out << "cards: " << deck.cards.size() << ", faces: " << faces << '\n';
    out << QStringLiteral("read + load with progress:      %1 ms, peak %2 MiB\n")
               .arg(load, 8, 'f', 1)
               .arg(loadPeak);
    out << QStringLiteral("one change as a whole save:     %1 ms\n").arg(save, 8, 'f', 1);
    out << QStringLiteral("open the journal:               %1 ms\n").arg(open, 8, 'f', 1);
    out << QStringLiteral("one change as a journal record: %1 ms median, %2 ms slowest of 50\n")
               .arg(appends[appends.size() / 2], 8, 'f', 2)
               .arg(appends.last(), 0, 'f', 2);
    return 0;
}

// Each step of a load timed on its own, one after the other, with the process's peak memory so far.
int phases(const QString &path, const QString &folder)
{
    const QUrl url = deckUrl(path);
    QElapsedTimer timer;
    timer.start();
    const auto lap = [&](const char *what) {
        out << QStringLiteral("%1 %2 ms, peak %3 MiB\n")
                   .arg(QString::fromLatin1(what), -34)
                   .arg(milliseconds(timer), 8, 'f', 1)
                   .arg(peakMiB());
        out.flush();
        timer.restart();
    };
    FileRead deckBytes = readFileSafely(path, qint64(1) << 40);
    lap("read the deck's bytes:");
    deckBytes = FileRead();
    // The room a load makes for its cards (see loadDeckFile).
    const qint64 deckSize = QFileInfo(path).size();
    std::optional<HeapRoom> room(std::in_place, deckSize * 4 + (deckSize >> 2));
    timer.restart();
    const qint64 heapBefore = heapInUse();
    QList<Card> cards = *readCardsFromFile(path);
    lap("read it, decode it, cut it in cards:");
    qsizetype faceCount = 0;
    qsizetype textLength = 0;
    for (const Card &card : cards) {
        faceCount += card.faces.size();
        for (const CardFace &face : card.faces)
            textLength += face.text.size();
    }
    const double cardBytes = double(heapInUse() - heapBefore);
    out << QStringLiteral("the cards in memory:               %1 MiB, %2 bytes a face "
                          "(%3 characters of text a face)\n")
               .arg(cardBytes / (1024 * 1024), 8, 'f', 1)
               .arg(cardBytes / double(std::max<qsizetype>(faceCount, 1)), 0, 'f', 1)
               .arg(double(textLength) / double(std::max<qsizetype>(faceCount, 1)), 0, 'f', 1);
    timer.restart();
    std::vector<CardFace *> faces;
    std::vector<FaceDigest> digests;
    quint8 mix = 0;
    for (Card &card : cards) {
        for (CardFace &face : card.faces) {
            faces.push_back(&face);
            digests.push_back(faceDigest(face.text));
            mix ^= digests.back().bytes[0];
        }
    }
    lap("one MD5 per face:");
    const QString progressFile = progressFileURL(url, folder).toLocalFile();
    FileRead progressBytes = readFileSafely(progressFile, maxProgressFileSize);
    lap("read the progress file's bytes:");
    MatchedRecords matched;
    const bool walked = matchSavedRecords(progressBytes.bytes, faces, digests, &matched);
    lap("walk its records beside the faces:");
    qsizetype records = -1;
    if (walked)
        records = matched.loose.size() +
                  std::count_if(matched.sources.cbegin(), matched.sources.cend(),
                                [](FaceRecord source) { return source == FaceRecord::InOrder; });
    matched = MatchedRecords();
    faces = {};
    digests = {};
    progressBytes = FileRead();
    cards.clear();
    room.reset();
    timer.restart();
    std::optional<DataFile> deck =
        withSavedProgress(*readCardsFromFile(path), url, folder, nullptr, nullptr);
    lap("the load, one step after the other:");
    const qsizetype cardCount = deck->cards.size();
    deck.reset();
    // The share of the load told as it goes, to see whether it moves at an even pace.
    QList<std::pair<double, double>> told; // milliseconds, share
    timer.restart();
    {
        LoadProgress progress([&](double share) { told.append({milliseconds(timer), share}); });
        deck = *loadDeckFile(path, url, folder, nullptr, nullptr, nullptr, &progress);
    }
    const double whole = milliseconds(timer);
    lap("the load, deck and progress together:");
    QStringList shares;
    for (int tenth = 1; tenth <= 10; ++tenth) {
        double share = 0;
        for (const auto &[at, value] : std::as_const(told))
            if (at <= whole * tenth / 10)
                share = value;
        shares.append(QString::number(share, 'f', 2));
    }
    out << "share told at each tenth of the load: " << shares.join(u' ') << '\n';
    timer.restart();
    const DueQueue queue =
        buildDueQueue(*deck, QDateTime::currentDateTimeUtc(), StudyDayClock(), 20);
    lap("build the due queue:");
    out << "records: " << records << ", cards: " << cardCount << ", due: " << queue.faces.size()
        << " (" << mix << ")\n";
    return 0;
}

// Bytes this process has read and written through read() and write() so far (not what it
// maps): what a rewrite of the progress file costs beyond the reading of the deck.
std::pair<qint64, qint64> bytesReadAndWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    qint64 read = -1;
    qint64 written = -1;
    if (!io.open(QIODevice::ReadOnly))
        return {read, written};
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            read = line.mid(7).toLongLong();
        else if (line.startsWith("wchar: "))
            written = line.mid(7).toLongLong();
    }
    return {read, written};
}

// Opens the deck through the coordinator, as the window does, closes it once it is read and
// waits for every save that followed: how long until all is quiet, and the bytes read and
// written meanwhile.
int reopen(const QString &path, const QString &folder)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    const auto [readBefore, writtenBefore] = bytesReadAndWritten();
    QElapsedTimer timer;
    timer.start();
    double read = 0;
    {
        CommandsCoordinator coordinator(&settings, folder, &recent);
        coordinator.open(deckUrl(path));
        coordinator.waitForLoad();
        read = milliseconds(timer);
        if (!coordinator.dataFile()) {
            out << "the deck could not be read\n";
            return 1;
        }
        coordinator.open(std::nullopt);
        coordinator.waitForPendingSaves();
    }
    const double quiet = milliseconds(timer);
    const auto [readAfter, writtenAfter] = bytesReadAndWritten();
    out << QStringLiteral("open to the deck read:  %1 ms\n").arg(read, 8, 'f', 1)
        << QStringLiteral("open to all saves done: %1 ms\n").arg(quiet, 8, 'f', 1)
        << QStringLiteral("bytes read: %1 MiB, written: %2 MiB, peak %3 MiB\n")
               .arg((readAfter - readBefore) >> 20)
               .arg((writtenAfter - writtenBefore) >> 20)
               .arg(peakMiB());
    return 0;
}

// Opens the deck through the coordinator, then reviews a face every 20 ms for a few seconds with
// the progress file rewritten at once after each change, as it is soon after every review: how
// long the main thread takes for a review while a rewrite copies and writes the deck.
int reviewDuringSaves(const QString &path, const QString &folder)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    RecentFiles recent(&settings);
    CommandsCoordinator coordinator(&settings, folder, &recent);
    coordinator.open(deckUrl(path));
    coordinator.waitForLoad();
    if (!coordinator.dataFile() || coordinator.dataFile()->cards.isEmpty()) {
        out << "the deck could not be read\n";
        return 1;
    }
    coordinator.setMinimumCompactionDelay(std::chrono::milliseconds(0));
    const qsizetype cards = coordinator.dataFile()->cards.size();
    QList<double> reviews;
    QList<double> worked; // processor time of the main thread: what waiting for others leaves out
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 300; ++i) {
        // Spread over the deck, as a session's reviews are.
        const qsizetype card = qsizetype(i) * 7919 % cards;
        CardFace face = coordinator.dataFile()->cards.at(card).faces.value(0);
        face.rating = qint8((face.rating + 1) % 4);
        face.progress = CardFaceProgress::Learning;
        QElapsedTimer one;
        one.start();
        const double processor = threadMilliseconds();
        coordinator.setFace(card, 0, face);
        reviews.append(milliseconds(one));
        worked.append(threadMilliseconds() - processor);
        while (timer.elapsed() < 20 * (i + 1))
            QThread::msleep(1);
    }
    coordinator.waitForPendingSaves();
    out << QStringLiteral("a review while the deck is saved: %1 ms median, %2 ms slowest of %3 "
                          "(%4 over 16 ms), %6 ms of processor time at most; all saved after "
                          "%5 ms\n")
               .arg(median(reviews), 0, 'f', 2)
               .arg(*std::max_element(reviews.cbegin(), reviews.cend()), 0, 'f', 1)
               .arg(reviews.size())
               .arg(std::count_if(reviews.cbegin(), reviews.cend(),
                                  [](double ms) { return ms > 16; }))
               .arg(milliseconds(timer), 0, 'f', 0)
               .arg(*std::max_element(worked.cbegin(), worked.cend()), 0, 'f', 1);
    return 0;
}

// Writes a big file without syncing it, as a copy just made leaves the disk, then saves a
// preference the way the coordinator did (QSettings::sync() on the calling thread) and the way it
// does now (handed to the preferences writer): how long the calling thread waits for each.
int preferencesUnderLoad(int megabytes)
{
    QTemporaryDir dir;
    const auto dirty = [&] {
        QFile file(dir.filePath(QStringLiteral("copied.bin")));
        const QByteArray block(1 << 20, 'x');
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (int i = 0; i < megabytes; ++i) {
            if (file.write(block) != block.size())
                return false;
        }
        return true;
    };
    if (!dirty()) {
        out << "could not write the big file\n";
        return 1;
    }
    QSettings synced(dir.filePath(QStringLiteral("synced.ini")), QSettings::IniFormat);
    QElapsedTimer timer;
    timer.start();
    synced.setValue(QStringLiteral("activeFile"), QByteArray(300, 'b'));
    synced.sync();
    const double sync = milliseconds(timer);

    if (!dirty()) {
        out << "could not write the big file\n";
        return 1;
    }
    QSettings handed(dir.filePath(QStringLiteral("handed.ini")), QSettings::IniFormat);
    PreferencesWriter writer(&handed);
    timer.restart();
    handed.setValue(QStringLiteral("activeFile"), QByteArray(300, 'b'));
    savePreferences(handed);
    const double save = milliseconds(timer);
    writer.flush();
    const double written = milliseconds(timer);
    out << QStringLiteral("a preference saved after %1 MB written unsynced: sync() on the calling "
                          "thread %2 ms; handed to the writer %3 ms, on disk after %4 ms\n")
               .arg(megabytes)
               .arg(sync, 0, 'f', 1)
               .arg(save, 0, 'f', 2)
               .arg(written, 0, 'f', 1);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // As the program does.
    tuneHeapForBigLoads();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    std::optional<QTemporaryDir> temporary;
    if ((args.size() == 4 || args.size() == 5) && mode == u"generate")
        return generate(args[2], args[3].toInt(), progressFolderOr(args.value(4), temporary));
    if ((args.size() == 3 || args.size() == 4) && mode == u"measure")
        return measure(args[2], progressFolderOr(args.value(3), temporary));
    if ((args.size() == 3 || args.size() == 4) && mode == u"phases")
        return phases(args[2], progressFolderOr(args.value(3), temporary));
    if (args.size() == 4 && mode == u"reopen")
        return reopen(args[2], QFileInfo(args[3]).absoluteFilePath());
    if (args.size() == 3 && mode == u"preferences-under-load")
        return preferencesUnderLoad(args[2].toInt());
    if (args.size() == 4 && mode == u"review-during-saves")
        return reviewDuringSaves(args[2], QFileInfo(args[3]).absoluteFilePath());
    out << "usage: bench_million generate DECK CARDS [PROGRESS-FOLDER]\n"
           "       bench_million measure DECK [PROGRESS-FOLDER]\n"
           "       bench_million phases DECK [PROGRESS-FOLDER]\n"
           "       bench_million reopen DECK PROGRESS-FOLDER\n"
           "       bench_million review-during-saves DECK PROGRESS-FOLDER\n"
           "       bench_million preferences-under-load MEGABYTES\n"
           "Progress files are read and written in PROGRESS-FOLDER only; without it, in a\n"
           "temporary folder that is removed at the end.\n";
    return 2;
}

// Generates a large deck with saved progress, then times reading and saving it.
#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"
#include "large_deck.h"
#include "timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextStream>

#include <sys/resource.h>

namespace {

QTextStream out(stdout);

int generate(const QString &path)
{
    const QString text = largeDeckText();
    QRandomGenerator random(42);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return 1;
    file.close();

    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    DataFile deck = loadDataFile(text, url);
    for (Card &card : deck.cards) {
        for (CardFace &face : card.faces) {
            face.rating = qint8(random.bounded(4));
            face.progress = allCardFaceProgresses[random.bounded(5)];
        }
    }
    if (QString error; !saveProgress(url, deck.cards, &error)) {
        out << error << '\n';
        return 1;
    }
    out << "deck: " << QFileInfo(path).size() / 1024
        << " KiB, progress file: " << QFileInfo(progressFileURL(url)->toLocalFile()).size() / 1024
        << " KiB\n";
    return 0;
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int measure(const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    // The first load alone tells the memory a reading needs; later ones reuse freed heap.
    DataFile deck;
    const double firstLoad = bestOf(1, [&] { deck = loadDataFile(*readUtf8File(path), url); });
    rusage afterLoad{};
    getrusage(RUSAGE_SELF, &afterLoad);
    const double load = bestOf(3, [&] {
        deck = DataFile();
        deck = loadDataFile(*readUtf8File(path), url);
    });
    qsizetype faces = 0;
    qsizetype rated = 0;
    for (const Card &card : deck.cards) {
        faces += card.faces.size();
        for (const CardFace &face : card.faces)
            rated += face.rating != 0;
    }
    const auto saveOnce = [&] {
        if (QString error; !saveProgress(url, deck.cards, &error))
            out << error << '\n';
    };
    const auto write = [&](const QString &target, const QByteArray &bytes) {
        if (QString error; !writeFileSafely(target, bytes, &error))
            out << error << '\n';
    };
    const double firstSave = bestOf(1, saveOnce);
    const double save = bestOf(3, saveOnce);
    // A save as it was before saves merged: the table rebuilt from the deck alone, written over
    // the file.
    const QString target = progressFileURL(url)->toLocalFile();
    const double rebuild = bestOf(3, [&] {
        QList<StoredFace> records;
        QHash<QString, qsizetype> positions;
        for (const Card &card : deck.cards)
            for (const CardFace &face : card.faces) {
                const QString key = faceKey(face.text);
                const auto it = positions.constFind(key);
                if (it != positions.cend()) {
                    records[*it].face = face;
                } else {
                    positions.insert(key, records.size());
                    records.append({key, face});
                }
            }
        write(target, encodeProgressTable(records));
    });
    // A merging save that finds a file it did not write (rewritten here as another process
    // would): read and decoded again. Only the save itself is timed.
    double coldSave = 1e300;
    for (int run = 0; run < 3; ++run) {
        write(target, encodeProgressTable({}, decodeStoredRecords(readBytes(target)).value()));
        coldSave = std::min(coldSave, bestOf(1, saveOnce));
    }

    QFile file(progressFileURL(url)->toLocalFile());
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const double decode = bestOf(3, [&] { return decodeProgressTable(bytes).has_value(); });
    QList<StoredFace> records;
    for (const Card &card : deck.cards)
        for (const CardFace &face : card.faces)
            records.append({faceKey(face.text), face});
    const double encode = bestOf(3, [&] { encodeProgressTable(records); });

    // 1,000 faces spread over the deck edited a little (a full stop becomes "!"), the progress
    // file as it was: the load of the edited text re-attaches them.
    const QString original = *readUtf8File(path);
    QString edited = original;
    qsizetype editedFaces = 0;
    for (qsizetype at = 0; editedFaces < 1000; ++editedFaces) {
        at = edited.indexOf(u"}.\n", at + qsizetype(edited.size() / 1001));
        if (at < 0)
            break;
        edited[at + 1] = u'!';
    }
    const std::optional<QString> folder = progressDirectory();
    // The load runs on this thread alone: its processor time, unlike the wall time, hardly
    // moves when other processes share the machine, and the difference of two of them stays
    // meaningful.
    const auto bestThreadTimeOf = [](int runs, const auto &f) {
        double best = 1e300;
        for (int i = 0; i < runs; ++i) {
            const double start = threadMilliseconds();
            f();
            best = std::min(best, threadMilliseconds() - start);
        }
        return best;
    };
    const double plainLoad = bestThreadTimeOf(3, [&] { loadDataFile(original, url, folder); });
    LoadReport report;
    const double editedLoad =
        bestThreadTimeOf(3, [&] { loadDataFile(edited, url, folder, nullptr, &report); });

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    out << "cards: " << deck.cards.size() << ", faces: " << faces << ", rated after load: " << rated
        << '\n';
    out << QStringLiteral("read + loadDataFile (merge): %1 ms (first: %2 ms)\n")
               .arg(load, 8, 'f', 1)
               .arg(firstLoad, 0, 'f', 1);
    out << QStringLiteral("saveProgress, first:         %1 ms (reads the old file once)\n")
               .arg(firstSave, 8, 'f', 1);
    out << QStringLiteral("saveProgress, later:         %1 ms (merging, %2x the rebuild)\n")
               .arg(save, 8, 'f', 1)
               .arg(save / rebuild, 0, 'f', 2);
    out << QStringLiteral("saveProgress, file changed:  %1 ms (merging, %2x the rebuild)\n")
               .arg(coldSave, 8, 'f', 1)
               .arg(coldSave / rebuild, 0, 'f', 2);
    out << QStringLiteral("rebuild save (not merging):  %1 ms\n").arg(rebuild, 8, 'f', 1);
    out << QStringLiteral("decode progress table:       %1 ms\n").arg(decode, 8, 'f', 1);
    out << QStringLiteral("encode progress table:       %1 ms\n").arg(encode, 8, 'f', 1);
    out << QStringLiteral("re-attachment of %1 edited faces: %2 ms (%3 re-attached; load of the "
                          "edited deck minus load of the deck as saved, processor time)\n")
               .arg(editedFaces)
               .arg(editedLoad - plainLoad, 0, 'f', 1)
               .arg(report.reattachedFaces);
    out << "peak resident memory, first load: " << afterLoad.ru_maxrss / 1024 << " MiB\n";
    out << "peak resident memory, whole run:  " << usage.ru_maxrss / 1024 << " MiB\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"generate")
        return generate(args[2]);
    if (args.size() == 3 && args[1] == u"measure")
        return measure(args[2]);
    out << "usage: bench_deck generate|measure DECK\n";
    return 2;
}

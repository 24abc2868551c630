#include "core/app/deck_report.h"

#include "core/app/preferences.h"
#include "core/app/stats_report.h"
#include "core/app/study_settings.h"
#include "core/model/flashcard_reader.h"
#include "core/stats/review_log.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/progress_table.h"
#include "core/store/review_journal.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"

#include <QHash>
#include <QSet>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <utility>

namespace {

void appendJsonString(QByteArray &out, QStringView text)
{
    out.append('"');
    // Plain characters go over in runs; only the ones JSON needs escaped are looked at alone.
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const char *escape = u == u'"'    ? "\\\""
                             : u == u'\\' ? "\\\\"
                             : u == u'\n' ? "\\n"
                             : u == u'\r' ? "\\r"
                             : u == u'\t' ? "\\t"
                                          : nullptr;
        // Surrogates are escaped one by one, which keeps a lone one representable.
        const bool numeric = !escape && (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF));
        if (!escape && !numeric)
            continue;
        out.append(text.sliced(run, i - run).toUtf8());
        run = i + 1;
        if (escape)
            out.append(escape);
        else
            out.append("\\u").append(QByteArray::number(u, 16).rightJustified(4, '0'));
    }
    out.append(text.sliced(run).toUtf8());
    out.append('"');
}

void appendDate(QByteArray &out, const QDateTime &date)
{
    out.append('"').append(date.toUTC().toString(Qt::ISODateWithMs).toLatin1()).append('"');
}

void appendNumber(QByteArray &out, double value)
{
    out.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
}

// The stored schedule of a face, as far as it has one.
void appendSchedule(QByteArray &out, const CardFace &face)
{
    if (face.lastReview)
        appendDate(out.append(", \"lastReview\": "), *face.lastReview);
    if (face.nextReview)
        appendDate(out.append(", \"nextReview\": "), *face.nextReview);
    if (!face.memory)
        return;
    appendNumber(out.append(", \"stability\": "), face.memory->stability);
    appendNumber(out.append(", \"difficulty\": "), face.memory->difficulty);
    out.append(", \"reviews\": ").append(QByteArray::number(face.memory->reviews));
    out.append(", \"lapses\": ").append(QByteArray::number(face.memory->lapses));
    if (face.memory->learningStep)
        out.append(", \"learningStep\": ").append(QByteArray::number(*face.memory->learningStep));
}

// The key and numbers of a queued face.
void appendPlace(QByteArray &out, const DataFile &deck, const QueuedFace &place)
{
    const Card &card = deck.cards.at(place.card);
    const CardFace &face = card.faces.at(place.face);
    out.append("{\"key\": ");
    appendJsonString(out, faceKey(face.text));
    out.append(", \"cardID\": ").append(QByteArray::number(card.cardID.value_or(place.card)));
    out.append(", \"cardFaceID\": ")
        .append(QByteArray::number(face.cardFaceID.value_or(place.face)));
}

} // namespace

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound)
{
    qsizetype faces = 0;
    qint64 ratingSum = 0;
    QHash<CardFaceProgress, qsizetype> byProgress;
    for (const Card &card : deck.cards) {
        faces += card.faces.size();
        for (const CardFace &face : card.faces) {
            ratingSum += face.rating;
            ++byProgress[face.progress];
        }
    }
    QString text;
    QTextStream out(&text);
    out << "Title: " << deck.title << '\n';
    out << "Cards: " << deck.cards.size() << '\n';
    out << "Faces: " << faces << '\n';
    for (CardFaceProgress progress : allCardFaceProgresses)
        out << "  " << rawValue(progress) << ": " << byProgress.value(progress) << '\n';
    out << "Mean rating: "
        << (faces ? QString::number(double(ratingSum) / double(faces), 'f', 2)
                  : QStringLiteral("-"))
        << '\n';
    out << "Progress file: " << progressFilePath << (progressFound ? " (found)" : " (not found)")
        << '\n';
    return text;
}

void writeDeckDumpJson(const DataFile &deck, const QString &progressFilePath,
                       const std::function<void(const QByteArray &)> &write)
{
    // Handed on in pieces: the dump of a big deck is several times the size of its file.
    constexpr qsizetype pieceSize = 64 * 1024;
    QByteArray out;
    out.reserve(pieceSize + 4096);
    out.append("{\"title\": ");
    appendJsonString(out, deck.title);
    out.append(", \"progressFile\": ");
    appendJsonString(out, progressFilePath);
    out.append(", \"cards\": [");
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        const Card &card = deck.cards[c];
        if (c)
            out.append(", ");
        out.append("{\"cardID\": ");
        out.append(QByteArray::number(card.cardID.value_or(c)));
        out.append(", \"faces\": [");
        for (qsizetype f = 0; f < card.faces.size(); ++f) {
            const CardFace &face = card.faces[f];
            if (f)
                out.append(", ");
            out.append("{\"cardFaceID\": ");
            out.append(QByteArray::number(face.cardFaceID.value_or(f)));
            out.append(", \"text\": ");
            appendJsonString(out, face.text);
            out.append(", \"rating\": ");
            out.append(QByteArray::number(face.rating));
            out.append(", \"progress\": ");
            appendJsonString(out, rawValue(face.progress));
            out.append(", \"key\": ");
            appendJsonString(out, faceKey(face.text));
            appendSchedule(out, face);
            out.append('}');
        }
        out.append("]}");
        if (out.size() >= pieceSize) {
            write(out);
            out.truncate(0);
        }
    }
    out.append("]}\n");
    write(out);
}

QByteArray deckDumpJson(const DataFile &deck, const QString &progressFilePath)
{
    QByteArray whole;
    writeDeckDumpJson(deck, progressFilePath, [&](const QByteArray &piece) { whole += piece; });
    return whole;
}

QByteArray deckDueJson(const DataFile &deck, const DueQueue &queue, const Scheduler &scheduler,
                       const QDateTime &now)
{
    QByteArray out;
    appendDate(out.append("{\"now\": "), now);
    out.append(", \"due\": [");
    bool first = true;
    for (const QueuedFace &place : queue.faces) {
        if (place.isNew)
            continue;
        if (!std::exchange(first, false))
            out.append(", ");
        appendPlace(out, deck, place);
        const CardFace &face = deck.cards.at(place.card).faces.at(place.face);
        out.append(", \"nextReview\": ");
        if (face.nextReview)
            appendDate(out, *face.nextReview);
        else
            out.append("null");
        out.append(", \"retrievability\": ");
        appendNumber(out, scheduler.retrievability(scheduleOf(face), now).value_or(1));
        out.append('}');
    }
    out.append("], \"new\": [");
    first = true;
    for (const QueuedFace &place : queue.faces) {
        if (!place.isNew)
            continue;
        if (!std::exchange(first, false))
            out.append(", ");
        appendPlace(out, deck, place);
        out.append('}');
    }
    out.append("]}\n");
    return out;
}

namespace {

void appendOrphan(QByteArray &out, const QString &key, const std::optional<QString> &text,
                  std::optional<qint64> rating, const std::optional<QString> &progress,
                  const std::optional<QDateTime> &orphanedSince)
{
    out.append("  {\"key\": ");
    appendJsonString(out, key);
    out.append(", \"text\": ");
    if (text)
        appendJsonString(out, *text);
    else
        out.append("null");
    out.append(", \"rating\": ");
    out.append(rating ? QByteArray::number(*rating) : QByteArray("null"));
    out.append(", \"progress\": ");
    if (progress)
        appendJsonString(out, *progress);
    else
        out.append("null");
    out.append(", \"orphanedSince\": ");
    if (orphanedSince)
        appendJsonString(out, orphanedSince->toString(Qt::ISODate));
    else
        out.append("null");
    out.append('}');
}

} // namespace

QByteArray orphansJson(const DataFile &deck, const FaceChanges &reattached,
                       const QString &progressFilePath)
{
    QSet<FaceDigest> claimed;
    for (const Card &card : deck.cards)
        for (const CardFace &face : card.faces)
            claimed.insert(faceDigest(face.text));
    for (const FaceDigest &old : reattached.reattached)
        claimed.insert(old);
    QList<StoredRecord> records;
    // The newest change of each face in the journals, which holds over the progress file as a
    // load replays it; faces in the order the journals first name them.
    QHash<FaceDigest, JournalRecord> journaled;
    QList<FaceDigest> journalOrder;
    std::optional<qint64> fileWritten;
    if (!progressFilePath.isEmpty()) {
        const FileRead read = readFileSafely(progressFilePath, maxProgressFileSize);
        if (read.ok())
            records = decodeStoredRecords(read.bytes).value_or(QList<StoredRecord>());
        for (const JournalRecord &record : readDeckJournal(progressFilePath).records) {
            if (!journaled.contains(record.face))
                journalOrder.append(record.face);
            journaled.insert(record.face, record);
        }
        const QFileInfo file(progressFilePath);
        if (file.exists())
            fileWritten = file.lastModified().toMSecsSinceEpoch();
    }

    QByteArray out = "{\"progressFile\": ";
    appendJsonString(out, progressFilePath);
    out.append(", \"orphans\": [");
    bool first = true;
    QSet<FaceDigest> inFile;
    for (const StoredRecord &record : records) {
        const auto digest = digestFromFaceKey(record.key);
        if (digest)
            inFile.insert(*digest);
        if (digest && claimed.contains(*digest))
            continue;
        out.append(first ? "\n" : ",\n");
        first = false;
        std::optional<qint64> rating;
        std::optional<QString> progress;
        if (const auto newer = digest ? journaled.constFind(*digest) : journaled.cend();
            newer != journaled.cend()) {
            rating = newer->rating;
            progress = rawValue(newer->progress);
        } else {
            const StoredValue *storedRating = record.value(u"rating");
            if (storedRating && std::holds_alternative<qint64>(*storedRating))
                rating = std::get<qint64>(*storedRating);
            const StoredValue *storedProgress = record.value(u"progress");
            if (storedProgress && std::holds_alternative<QString>(*storedProgress))
                progress = std::get<QString>(*storedProgress);
        }
        const StoredValue *since = record.value(orphanedSinceKey);
        appendOrphan(out, record.key, record.text(), rating, progress,
                     since && std::holds_alternative<PlistDate>(*since)
                         ? std::optional(dateTimeFromPlistDate(std::get<PlistDate>(*since)))
                         : std::nullopt);
    }
    // Faces changed since the progress file was last written, which it does not hold yet (a run
    // that ended before its rewrite). A journal does not hold texts. Older changes of faces the
    // file lacks were dropped from it on purpose, after 180 days unclaimed.
    for (const FaceDigest &digest : journalOrder) {
        const JournalRecord &record = journaled[digest];
        if (claimed.contains(digest) || inFile.contains(digest) ||
            (fileWritten && record.time <= *fileWritten))
            continue;
        out.append(first ? "\n" : ",\n");
        first = false;
        appendOrphan(out, faceKey(digest), std::nullopt, record.rating, rawValue(record.progress),
                     std::nullopt);
    }
    out.append(first ? "]}\n" : "\n]}\n");
    return out;
}

int runCommandLine(const CommandLine &commandLine, QTextStream &out, QTextStream &err)
{
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        out << commandLineUsage();
        return 0;
    case CommandLine::Action::Version:
        out << "Memoranth " << QStringLiteral(MEMORANTH_VERSION) << '\n';
        return 0;
    case CommandLine::Action::Invalid:
        err << "memoranth: " << commandLine.error << '\n'
            << QCoreApplication::translate("DeckReport",
                                           "Try 'memoranth --help' for more information.\n");
        return 2;
    case CommandLine::Action::OpenWindow:
        err << commandLineUsage();
        return 2;
    case CommandLine::Action::Stats:
    case CommandLine::Action::Dump:
    case CommandLine::Action::Orphans:
    case CommandLine::Action::Due:
    case CommandLine::Action::ExportReviews:
        break;
    }
    const QString path = commandLine.file;
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    // Look for the progress folder without creating it: a report never writes anything.
    const QString folder = progressDirectoryLocation();
    const QString progressPath =
        folder.isEmpty() ? QString() : progressFileURL(url, folder).toLocalFile();
    LoadReport report;
    QString error;
    const std::optional<DataFile> read =
        loadDeckFile(path, url, folder.isEmpty() ? std::nullopt : std::optional(folder), nullptr,
                     &report, &error);
    if (!read) {
        err << "memoranth: " << error << '\n';
        return 1;
    }
    const DataFile &deck = *read;
    if (commandLine.action == CommandLine::Action::Orphans) {
        out << QString::fromUtf8(orphansJson(deck, report.changes, progressPath));
    } else if (commandLine.action == CommandLine::Action::ExportReviews) {
        const QList<JournalRecord> journal =
            progressPath.isEmpty() ? QList<JournalRecord>() : readDeckJournal(progressPath).records;
        out << QString::fromUtf8(reviewLogCsv(journal));
    } else if (commandLine.action == CommandLine::Action::Dump) {
        out.flush();
        writeDeckDumpJson(deck, progressPath,
                          [&](const QByteArray &piece) { out << QString::fromUtf8(piece); });
    } else if (commandLine.action == CommandLine::Action::Due) {
        // As the window would show it now, with the user's settings; nothing is written.
        const QSettings &preferences = applicationPreferences();
        const Scheduler scheduler(storedSchedulerParameters(preferences));
        const StudyDayClock clock;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const qsizetype introduced =
            newFacesIntroduced(preferences, deck.title, clock.studyDay(now));
        const DueQueue queue = buildDueQueue(
            deck, now, clock,
            std::max<qsizetype>(scheduler.parameters().newFacesPerDay - introduced, 0));
        out << QString::fromUtf8(deckDueJson(deck, queue, scheduler, now));
    } else {
        const bool found = QFileInfo::exists(progressPath);
        const StatsFigures figures =
            deckFigures(deck, progressPath, QDateTime::currentDateTimeUtc(),
                        storedSchedulerParameters(applicationPreferences()));
        if (commandLine.json)
            out << QString::fromUtf8(deckStatsJson(deck, progressPath, found, figures));
        else
            out << deckStatsText(deck, progressPath, found) << statsFiguresText(figures, deck);
    }
    out.flush();
    return 0;
}

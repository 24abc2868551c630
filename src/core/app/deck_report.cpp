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
#include <QFileDevice>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

namespace {

// The most bytes that writeJsonString writes for a text: six for each character (an escape),
// and the quotes.
qsizetype jsonStringBound(QStringView text)
{
    return 2 + 6 * text.size();
}

qsizetype jsonStringBound(const FaceText &text)
{
    return 2 + 6 * text.size();
}

char16_t codeUnit(QChar c)
{
    return c.unicode();
}

char16_t codeUnit(char latin1)
{
    return uchar(latin1);
}

// Writes the text (a QStringView or QLatin1StringView) as a JSON string at `to`, which has room
// for jsonStringBound(text) bytes; returns the end of what it wrote.
template <typename Chars> char *writeJsonString(char *to, Chars text)
{
    *to++ = '"';
    static constexpr char hexDigits[] = "0123456789abcdef";
    for (const auto c : text) {
        const char16_t u = codeUnit(c);
        if (u >= 0x20 && u < 0x80) {
            if (u == u'"' || u == u'\\')
                *to++ = '\\';
            *to++ = char(u);
        } else if (u == u'\n' || u == u'\r' || u == u'\t') {
            *to++ = '\\';
            *to++ = u == u'\n' ? 'n' : u == u'\r' ? 'r' : 't';
        } else if (u < 0x20 || (u >= 0xD800 && u <= 0xDFFF)) {
            // Surrogates are escaped one by one, which keeps a lone one representable.
            *to++ = '\\';
            *to++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *to++ = hexDigits[(u >> shift) & 0xF];
        } else if (u < 0x800) {
            *to++ = char(0xC0 | (u >> 6));
            *to++ = char(0x80 | (u & 0x3F));
        } else {
            *to++ = char(0xE0 | (u >> 12));
            *to++ = char(0x80 | ((u >> 6) & 0x3F));
            *to++ = char(0x80 | (u & 0x3F));
        }
    }
    *to++ = '"';
    return to;
}

char *writeJsonString(char *to, const FaceText &text)
{
    return text.visit([to](auto chars) { return writeJsonString(to, chars); });
}

void appendJsonString(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + jsonStringBound(text));
    out.truncate(writeJsonString(out.data() + start, text) - out.constData());
}

constexpr qsizetype integerBound = 20;

char *writeInteger(char *to, qint64 value)
{
    return std::to_chars(to, to + integerBound, value).ptr;
}

void appendInteger(QByteArray &out, qint64 value)
{
    char digits[integerBound];
    out.append(digits, writeInteger(digits, value) - digits);
}

// Every date Qt writes in ISO form fits, quoted (the years of more than four digits too).
constexpr qsizetype dateBound = 48;

char *writeDate(char *to, const QDateTime &date)
{
    // Written by hand for the years of four digits, in what Qt's ISO form with milliseconds
    // gives in UTC: a dump writes two dates for every face with a schedule, and Qt's formatting
    // costs far more than the rest of the face.
    constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;
    const qint64 ms = date.isValid() ? date.toMSecsSinceEpoch() : 0;
    const qint64 days = ms >= 0 ? ms / msPerDay : -((-ms + msPerDay - 1) / msPerDay);
    const qint64 inDay = ms - days * msPerDay;
    // The civil date of a count of days since 1970-01-01, in the proleptic Gregorian calendar.
    const qint64 shifted = days + 719468;
    const qint64 era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const qint64 dayOfEra = shifted - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 shiftedMonth = (5 * dayOfYear + 2) / 153;
    const qint64 day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const qint64 month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const qint64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (!date.isValid() || year < 1 || year > 9999) {
        const QByteArray text = date.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        const qsizetype length = std::min(text.size(), dateBound - 2);
        *to++ = '"';
        to = std::copy_n(text.constData(), length, to);
        *to++ = '"';
        return to;
    }
    static constexpr char form[] = "\"0000-00-00T00:00:00.000Z\"";
    std::copy_n(form, sizeof form - 1, to);
    const auto put = [to](int at, qint64 value, int width) {
        for (int i = at + width - 1; i >= at; --i, value /= 10)
            to[i] = char('0' + value % 10);
    };
    put(1, year, 4);
    put(6, month, 2);
    put(9, day, 2);
    put(12, inDay / 3'600'000, 2);
    put(15, inDay / 60'000 % 60, 2);
    put(18, inDay / 1000 % 60, 2);
    put(21, inDay % 1000, 3);
    return to + sizeof form - 1;
}

void appendDate(QByteArray &out, const QDateTime &date)
{
    char text[dateBound];
    out.append(text, writeDate(text, date) - text);
}

void appendNumber(QByteArray &out, double value)
{
    out.append(QByteArray::number(value, 'g', QLocale::FloatingPointShortest));
}

template <std::size_t size> char *writeLiteral(char *to, const char (&text)[size])
{
    return std::copy_n(text, size - 1, to);
}

// The most bytes the stored schedule of a face takes: its names, two dates and the digits of
// two reals and three integers.
constexpr qsizetype scheduleBound = 128 + 2 * dateBound + 2 * 32 + 3 * integerBound;

// The stored schedule of a face, as far as it has one.
char *writeSchedule(char *to, const CardFace &face)
{
    if (face.lastReview)
        to = writeDate(writeLiteral(to, ", \"lastReview\": "), *face.lastReview);
    if (face.nextReview)
        to = writeDate(writeLiteral(to, ", \"nextReview\": "), *face.nextReview);
    if (!face.memory)
        return to;
    const auto writeNumber = [](char *at, double value) {
        const QByteArray digits = QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        return std::copy_n(digits.constData(), std::min<qsizetype>(digits.size(), 32), at);
    };
    to = writeNumber(writeLiteral(to, ", \"stability\": "), face.memory->stability);
    to = writeNumber(writeLiteral(to, ", \"difficulty\": "), face.memory->difficulty);
    to = writeInteger(writeLiteral(to, ", \"reviews\": "), face.memory->reviews);
    to = writeInteger(writeLiteral(to, ", \"lapses\": "), face.memory->lapses);
    if (face.memory->learningStep)
        to = writeInteger(writeLiteral(to, ", \"learningStep\": "), *face.memory->learningStep);
    return to;
}

// The key and numbers of a queued face.
void appendPlace(QByteArray &out, const DataFile &deck, const QueuedFace &place)
{
    const Card &card = deck.cards.at(place.card);
    const CardFace &face = card.faces.at(place.face);
    out.append("{\"key\": ");
    appendJsonString(out, faceKey(face.text));
    appendInteger(out.append(", \"cardID\": "), card.cardID.value_or(place.card));
    appendInteger(out.append(", \"cardFaceID\": "), face.cardFaceID.value_or(place.face));
}

} // namespace

QString deckStatsText(const DataFile &deck, const QString &progressFilePath, bool progressFound,
                      const StatsFigures &figures)
{
    const qsizetype faces = faceCountOf(figures);
    const qint64 ratingSum = figures.ratingSum;
    QString text;
    QTextStream out(&text);
    out << "Title: " << deck.title << '\n';
    out << "Cards: " << deck.cards.size() << '\n';
    out << "Faces: " << faces << '\n';
    for (CardFaceProgress progress : allCardFaceProgresses)
        out << "  " << rawValue(progress) << ": " << figures.facesPerProgress[int(progress)]
            << '\n';
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
    // Handed on in pieces: the dump of a big deck is several times the size of its file. Each
    // face is written into room made for its longest form, without a check at every field.
    constexpr qsizetype pieceSize = 64 * 1024;
    QByteArray progressNames[std::size(allCardFaceProgresses)];
    for (CardFaceProgress progress : allCardFaceProgresses)
        appendJsonString(progressNames[int(progress)], rawValue(progress));
    QByteArray out;
    out.append("{\"title\": ");
    appendJsonString(out, deck.title);
    out.append(", \"progressFile\": ");
    appendJsonString(out, progressFilePath);
    out.append(", \"cards\": [");
    qsizetype used = out.size();
    out.resize(std::max(used, pieceSize) * 2);
    const auto room = [&](qsizetype bytes) {
        if (used + bytes > out.size())
            out.resize(used + bytes + pieceSize);
        return out.data() + used;
    };
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        const Card &card = deck.cards[c];
        char *to = room(64);
        if (c)
            to = writeLiteral(to, ", ");
        to = writeInteger(writeLiteral(to, "{\"cardID\": "), card.cardID.value_or(c));
        to = writeLiteral(to, ", \"faces\": [");
        used = to - out.constData();
        for (qsizetype f = 0; f < card.faces.size(); ++f) {
            const CardFace &face = card.faces[f];
            const QString key = faceKey(face.text);
            to = room(256 + jsonStringBound(face.text) + jsonStringBound(key) + scheduleBound);
            if (f)
                to = writeLiteral(to, ", ");
            to = writeInteger(writeLiteral(to, "{\"cardFaceID\": "), face.cardFaceID.value_or(f));
            to = writeJsonString(writeLiteral(to, ", \"text\": "), face.text);
            to = writeInteger(writeLiteral(to, ", \"rating\": "), face.rating);
            const QByteArray &progress = progressNames[int(face.progress)];
            to = std::copy_n(progress.constData(), progress.size(),
                             writeLiteral(to, ", \"progress\": "));
            to = writeJsonString(writeLiteral(to, ", \"key\": "), key);
            to = writeLiteral(writeSchedule(to, face), "}");
            used = to - out.constData();
        }
        to = writeLiteral(room(2), "]}");
        used = to - out.constData();
        if (used >= pieceSize) {
            out.truncate(used);
            write(out);
            used = 0;
            out.resize(pieceSize * 2);
        }
    }
    out.truncate(used);
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

namespace {

// A report cut short (a full disk) is no report: says so, and fails.
int finishReport(QTextStream &out, QTextStream &err, bool written)
{
    out.flush();
    if (!written || out.status() != QTextStream::Ok) {
        const QIODevice *device = out.device();
        err << "memoranth: "
            << QCoreApplication::translate("DeckReport", "cannot write the report: %1")
                   .arg(device ? device->errorString() : QString())
            << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int runCommandLine(const CommandLine &commandLine, QTextStream &out, QTextStream &err,
                   std::optional<DataFile> *keptDeck)
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
    QString error;
    if (commandLine.action == CommandLine::Action::ExportReviews) {
        // The reviews live in the journals alone: the deck is only read through, to fail as any
        // other report would on a file that is missing or not text, without building its cards.
        if (!readUtf8TextInPieces(
                path, [](QStringView) {}, &error)) {
            err << "memoranth: " << error << '\n';
            return 1;
        }
        const QList<JournalRecord> journal =
            progressPath.isEmpty() ? QList<JournalRecord>() : readDeckJournal(progressPath).records;
        out << QString::fromUtf8(reviewLogCsv(journal));
        return finishReport(out, err, true);
    }
    LoadReport report;
    std::optional<DataFile> ownDeck;
    std::optional<DataFile> &read = keptDeck ? *keptDeck : ownDeck;
    read = loadDeckFile(path, url, folder.isEmpty() ? std::nullopt : std::optional(folder), nullptr,
                        &report, &error);
    if (!read) {
        err << "memoranth: " << error << '\n';
        return 1;
    }
    const DataFile &deck = *read;
    bool written = true;
    if (commandLine.action == CommandLine::Action::Orphans) {
        out << QString::fromUtf8(orphansJson(deck, report.changes, progressPath));
    } else if (commandLine.action == CommandLine::Action::Dump) {
        // Straight to the stream's file when it has one: the dump is UTF-8 already, and that of
        // a big deck runs to hundreds of megabytes.
        out.flush();
        QIODevice *device = out.device();
        writeDeckDumpJson(deck, progressPath, [&](const QByteArray &piece) {
            if (!device)
                out << QString::fromUtf8(piece);
            else if (written && device->write(piece) != piece.size())
                written = false;
        });
        if (auto *file = qobject_cast<QFileDevice *>(device); file && written)
            written = file->flush();
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
            out << deckStatsText(deck, progressPath, found, figures)
                << statsFiguresText(figures, deck);
    }
    return finishReport(out, err, written);
}

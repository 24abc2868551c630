#include "core/store/progress_store.h"

#include "core/model/debug_output.h"
#include "core/model/deck_title.h"
#include "core/store/file_stamp.h"
#include "core/store/property_list.h"
#include "core/store/safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <filesystem>

namespace {

// What each file we wrote looked like right after the write. A save that finds the progress
// file still so need not decode it again to know it is sound.
QMutex writtenMutex;
QHash<QString, FileStamp> &writtenFiles()
{
    static QHash<QString, FileStamp> files;
    return files;
}

bool isKnownSound(const QString &path)
{
    const auto stamp = fileStamp(path);
    QMutexLocker lock(&writtenMutex);
    const auto it = writtenFiles().constFind(path);
    return stamp && it != writtenFiles().cend() && *it == *stamp;
}

void rememberSound(const QString &path, const FileStamp &stamp)
{
    QMutexLocker lock(&writtenMutex);
    writtenFiles().insert(path, stamp);
}

void rememberWritten(const QString &path)
{
    const auto stamp = fileStamp(path);
    QMutexLocker lock(&writtenMutex);
    if (stamp)
        writtenFiles().insert(path, *stamp);
    else
        writtenFiles().remove(path);
}

// A progress file that cannot be decoded still holds somebody's progress: rather than let the
// save replace it, keep it beside the new one for the user (or a later version) to recover.
// One that is there but cannot be read (not ours to read, or not a file) is left alone, and the
// save must not replace it either: the error says why.
std::optional<QString> moveAsideIfUndecodable(const QString &path)
{
    if (isKnownSound(path))
        return std::nullopt;
    const FileRead read = readFileSafely(path, maxProgressFileSize);
    if (read.status == FileRead::Status::Missing || (read.ok() && decodeProgressTable(read.bytes)))
        return std::nullopt;
    if (!read.ok())
        return QStringLiteral("%1 Progress is not saved over it.").arg(read.error);
    const QString aside = moveAsideNumbered(path, QStringLiteral(".corrupt"));
    if (aside.isEmpty())
        return QStringLiteral("The progress file %1 could not be decoded, nor moved aside; "
                              "progress is not saved over it.")
            .arg(path);
    printLine(QStringLiteral("The progress file %1 could not be decoded; it was moved to %2.")
                  .arg(path, aside));
    return std::nullopt;
}

QList<StoredFace> progressRecords(const QList<Card> &cards)
{
    qsizetype faces = 0;
    for (const Card &card : cards)
        faces += card.faces.size();
    QList<StoredFace> records;
    records.reserve(faces);
    QHash<FaceDigest, qsizetype> positions;
    positions.reserve(faces);
    for (const Card &card : cards) {
        for (const CardFace &face : card.faces) {
            const FaceDigest digest = faceDigest(face.text);
            const auto it = positions.constFind(digest);
            if (it != positions.cend()) {
                // The later face of the same text wins.
                records[*it].face = face;
            } else {
                positions.insert(digest, records.size());
                records.append(StoredFace{faceKey(digest), face});
            }
        }
    }
    return records;
}

} // namespace

QString progressDirectoryLocation()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return {};
    return base + u'/' + QStringLiteral(MEMORANTH_APP_ID);
}

std::optional<QString> progressDirectory()
{
    const QString candidate = progressDirectoryLocation();
    if (candidate.isEmpty())
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path path(QFile::encodeName(candidate).toStdString());
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        std::filesystem::create_directories(path, error);
        if (error) {
            printQuotedLine(QStringLiteral("Unexpected error: %1.")
                                .arg(QString::fromStdString(error.message())));
            return std::nullopt;
        }
    }
    return candidate;
}

QString progressFileBaseName(const QUrl &deckUrl)
{
    const QString title = deckTitle(deckUrl);
    return title.isEmpty() ? QString::fromUtf16(untitledProgressName) : title;
}

QUrl progressFileURL(const QUrl &deckUrl, const QString &folder)
{
    return QUrl::fromLocalFile(folder + u'/' + progressFileBaseName(deckUrl) +
                               QStringLiteral(".plist"));
}

std::optional<QUrl> progressFileURL(const QUrl &deckUrl)
{
    const auto folder = progressDirectory();
    if (!folder)
        return std::nullopt;
    return progressFileURL(deckUrl, *folder);
}

ProgressRead readProgressFile(const QString &progressFilePath)
{
    ProgressRead result;
    const auto before = fileStamp(progressFilePath);
    FileRead read = readFileSafely(progressFilePath, maxProgressFileSize);
    if (read.status == FileRead::Status::Missing)
        return result;
    if (!read.ok()) {
        result.status = ProgressRead::Status::Unreadable;
        result.error = read.error;
        return result;
    }
    std::optional<ProgressTable> table = decodeProgressTable(read.bytes);
    if (!table) {
        result.status = ProgressRead::Status::Undecodable;
        result.error =
            QStringLiteral("The progress file %1 could not be decoded.").arg(progressFilePath);
        return result;
    }
    // The next save need not read and decode it again to know it is sound.
    if (before && before == fileStamp(progressFilePath))
        rememberSound(progressFilePath, *before);
    result.status = ProgressRead::Status::Read;
    result.table = *std::move(table);
    return result;
}

ProgressTable readProgressTable(const QString &progressFilePath)
{
    return readProgressFile(progressFilePath).table;
}

CardFace mergeSavedProgress(CardFace face, const ProgressTable &table)
{
    if (table.isEmpty())
        return face;
    const auto it = table.constFind(faceDigest(face.text));
    if (it != table.cend()) {
        face.rating = it->rating;
        face.progress = it->progress;
        face.lastReview = it->lastReview;
        face.nextReview = it->nextReview;
        face.memory = it->memory;
    }
    return face;
}

std::optional<QString> saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                                    const std::optional<QString> &progressFolder)
{
    const QList<StoredFace> records = progressRecords(cards);
    if (!progressFolder)
        return std::nullopt;
    // A given folder is made like the application's own: on first use.
    if (!QFileInfo(*progressFolder).isDir() && !QDir().mkpath(*progressFolder))
        return QStringLiteral("Could not create the progress folder %1").arg(*progressFolder);
    const QString target = progressFileURL(deckUrl, *progressFolder).toLocalFile();
    const QByteArray bytes = encodeProgressTable(records);
    if (std::optional<QString> error = moveAsideIfUndecodable(target))
        return error;
    return writeFileAtomically(target, bytes);
}

std::optional<QString> saveProgress(const QUrl &deckUrl, const QList<Card> &cards)
{
    return saveProgress(deckUrl, cards, progressDirectory());
}

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (!writeFileSafely(path, bytes, &error))
        return error;
    rememberWritten(path);
    return std::nullopt;
}

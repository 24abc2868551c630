#include "core/store/progress_store.h"

#include "core/model/debug_output.h"
#include "core/model/deck_title.h"
#include "core/store/file_stamp.h"
#include "core/store/property_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

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
void moveAsideIfUndecodable(const QString &path)
{
    if (!QFileInfo::exists(path) || isKnownSound(path))
        return;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError && decodeProgressTable(bytes))
            return;
    }
    const QString aside = path + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (QFile::rename(path, aside))
        printLine(QStringLiteral("The progress file %1 could not be read; it was moved to %2.")
                      .arg(path, aside));
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

ProgressTable readProgressTable(const QString &progressFilePath)
{
    QFile file(progressFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    return decodeProgressTable(bytes).value_or(ProgressTable());
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
    moveAsideIfUndecodable(target);
    return writeFileAtomically(target, bytes);
}

std::optional<QString> saveProgress(const QUrl &deckUrl, const QList<Card> &cards)
{
    return saveProgress(deckUrl, cards, progressDirectory());
}

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // Unbuffered, so that write() reports what reached the file: a buffered short write on a
    // full disk could otherwise pass unnoticed and a truncated file be committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            const QString error = file.errorString();
            file.cancelWriting();
            return QStringLiteral("Could not write %1: %2").arg(path, error);
        }
        written += n;
    }
    if (!file.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    rememberWritten(path);
    syncFolder(QFileInfo(path).absolutePath());
    return std::nullopt;
}

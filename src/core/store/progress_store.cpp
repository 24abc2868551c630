#include "core/store/progress_store.h"

#include "core/model/debug_output.h"
#include "core/model/deck_title.h"
#include "core/store/file_stamp.h"
#include "core/store/progress_merge.h"
#include "core/store/property_list.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <variant>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The table each progress file held right after this process wrote it, with what the file
// looked like then. A save that finds the file still so need not read and decode it again.
struct WrittenTable
{
    FileStamp stamp;
    MergedTable table;
};
constexpr qsizetype rememberedTables = 4;
QMutex writtenMutex;
QHash<QString, WrittenTable> &writtenTables()
{
    static QHash<QString, WrittenTable> tables;
    return tables;
}

// The table is taken out rather than copied, so that the save can move its records: the save
// remembers what it writes in its place (and one that fails reads the file again next time).
std::optional<MergedTable> takeRememberedTable(const QString &path, const FileStamp &stamp)
{
    QMutexLocker lock(&writtenMutex);
    const auto it = writtenTables().find(path);
    if (it == writtenTables().end())
        return std::nullopt;
    if (!(it->stamp == stamp)) {
        writtenTables().erase(it);
        return std::nullopt;
    }
    MergedTable table = std::move(it->table);
    writtenTables().erase(it);
    return table;
}

void rememberTable(const QString &path, MergedTable table)
{
    const auto stamp = fileStamp(path);
    QMutexLocker lock(&writtenMutex);
    if (!stamp) {
        writtenTables().remove(path);
        return;
    }
    if (writtenTables().size() >= rememberedTables && !writtenTables().contains(path))
        writtenTables().clear();
    writtenTables().insert(path, WrittenTable{*stamp, std::move(table)});
}

// An exclusive advisory lock on "<progress file>.lock", held while a save reads the table on
// disk and writes it back, so that two processes saving one file take turns.
class ProgressFileLock
{
public:
    explicit ProgressFileLock(const QString &progressFile)
    {
        const QByteArray path = QFile::encodeName(progressFile + QStringLiteral(".lock"));
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~ProgressFileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    Q_DISABLE_COPY_MOVE(ProgressFileLock)

    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The table on disk: empty when there is no file, or when it could not be decoded. Such a file
// still holds somebody's progress: rather than let the save replace it, it is kept beside the
// new one (numbered, never over an earlier copy) for the user or a later version to recover.
// An error when a file is there but cannot be read, or cannot be moved aside: it must not be
// replaced.
std::variant<MergedTable, QString> tableOnDisk(const QString &path)
{
    if (const std::optional<FileStamp> stamp = fileStamp(path)) {
        if (std::optional<MergedTable> table = takeRememberedTable(path, *stamp))
            return *std::move(table);
    }
    const FileRead read = readFileSafely(path, maxProgressFileSize);
    if (read.status == FileRead::Status::Missing)
        return MergedTable{};
    if (!read.ok())
        return QStringLiteral("%1 Progress is not saved over it.").arg(read.error);
    // Records as this version writes them come back as faces: the merge and the writer take
    // them as they take the table they wrote themselves.
    if (std::optional<StoredTable> records = decodeStoredTable(read.bytes))
        return MergedTable{std::move(records->faces), std::move(records->records)};
    const QString aside = moveAsideNumbered(path, QStringLiteral(".corrupt"));
    if (aside.isEmpty())
        return QStringLiteral("The progress file %1 could not be decoded, nor moved aside; "
                              "progress is not saved over it.")
            .arg(path);
    printLine(QStringLiteral("The progress file %1 could not be decoded; it was moved to %2.")
                  .arg(path, aside));
    return MergedTable{};
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
    result.status = ProgressRead::Status::Read;
    result.table = *std::move(table);
    return result;
}

ProgressTable readProgressTable(const QString &progressFilePath)
{
    return readProgressFile(progressFilePath).table;
}

void applySavedProgress(CardFace &face, const SavedProgress &saved)
{
    face.rating = saved.rating;
    face.progress = saved.progress;
    face.lastReview = saved.lastReview;
    face.nextReview = saved.nextReview;
    face.memory = saved.memory;
}

SavedProgress savedProgressOfFace(const CardFace &face)
{
    SavedProgress saved(face.rating, face.progress);
    saved.lastReview = face.lastReview;
    saved.nextReview = face.nextReview;
    saved.memory = face.memory;
    return saved;
}

CardFace mergeSavedProgress(CardFace face, const ProgressTable &table)
{
    if (table.isEmpty())
        return face;
    const auto it = table.constFind(faceDigest(face.text));
    if (it != table.cend())
        applySavedProgress(face, *it);
    return face;
}

bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                  const std::optional<QString> &progressFolder, const FaceChanges &changes,
                  const QDateTime &now, QString *error)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    // A deck that reads no cards (a title line above the first marker, or a file caught
    // empty) has nothing to say about the records on disk.
    const bool hasFaces =
        std::any_of(cards.cbegin(), cards.cend(), [](const Card &c) { return !c.faces.isEmpty(); });
    if (!progressFolder || !hasFaces)
        return true;
    // A given folder is made like the application's own: on first use.
    if (!QFileInfo(*progressFolder).isDir() && !QDir().mkpath(*progressFolder))
        return failed(
            QStringLiteral("Could not create the progress folder %1").arg(*progressFolder));
    const QString target = progressFileURL(deckUrl, *progressFolder).toLocalFile();

    const ProgressFileLock lock(target);
    if (!lock.isLocked())
        return failed(QStringLiteral("Could not lock %1: %2").arg(target, qt_error_string(errno)));
    // A save killed while it wrote left its temporary behind, as big as the file; none of ours
    // writes one now, under the lock.
    removeStaleTemporaries(target, std::chrono::minutes(1));
    std::variant<MergedTable, QString> disk = tableOnDisk(target);
    if (const QString *diskError = std::get_if<QString>(&disk))
        return failed(*diskError);
    MergedTable table = mergeProgress(cards, std::get<MergedTable>(std::move(disk)), changes, now);
    if (!writeFileSafely(target, encodeProgressTable(table.faces, table.kept), error))
        return false;
    rememberTable(target, std::move(table));
    return true;
}

bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards,
                  const std::optional<QString> &progressFolder, QString *error)
{
    return saveProgress(deckUrl, cards, progressFolder, FaceChanges::everyFace(),
                        QDateTime::currentDateTimeUtc(), error);
}

bool saveProgress(const QUrl &deckUrl, const QList<Card> &cards, QString *error)
{
    return saveProgress(deckUrl, cards, progressDirectory(), error);
}

bool writeProgressCopy(const QList<Card> &cards, const QString &path, QString *error)
{
    const MergedTable table =
        mergeProgress(cards, {}, FaceChanges::everyFace(), QDateTime::currentDateTimeUtc());
    return writeFileSafely(path, encodeProgressTable(table.faces, table.kept), error);
}

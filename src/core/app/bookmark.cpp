#include "core/app/bookmark.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// Layout, big-endian: magic, version, device, inode, path length, path bytes (the local
// file-system encoding of the absolute path); from version 2 on, the birth and modification
// times of the file (nanoseconds, 0 when the file system keeps no birth time) follow.
constexpr char magic[4] = {'M', 'R', 'B', 'K'};
constexpr quint16 firstVersion = 1;
constexpr quint16 currentVersion = 2;
constexpr qsizetype headerSize = 4 + 2 + 8 + 8 + 4;
constexpr qsizetype timesSize = 8 + 8;

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    // An inode number is reused once its file is deleted: these tell a new file that got it
    // from the bookmarked one.
    qint64 born = 0;
    qint64 modified = 0;

    bool isSameInode(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode;
    }
    bool isSameFile(const FileIdentity &other) const
    {
        return isSameInode(other) && born == other.born && modified == other.modified;
    }
};

std::optional<FileIdentity> identityOf(const QByteArray &encodedPath)
{
    struct statx info;
    if (::statx(AT_FDCWD, encodedPath.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return std::nullopt;
    const auto nanoseconds = [](const statx_timestamp &time) {
        return qint64(time.tv_sec) * 1'000'000'000 + qint64(time.tv_nsec);
    };
    return FileIdentity{quint64(makedev(info.stx_dev_major, info.stx_dev_minor)),
                        quint64(info.stx_ino),
                        (info.stx_mask & STATX_BTIME) ? nanoseconds(info.stx_btime) : 0,
                        nanoseconds(info.stx_mtime)};
}

template <typename T> void appendBigEndian(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> T readBigEndian(QByteArrayView data, qsizetype offset)
{
    return qFromBigEndian<T>(data.data() + offset);
}

// A file of the folder with that identity: the bookmarked file after a rename. Data of the first
// version has no times, so its inode is trusted alone.
std::optional<QByteArray> findInFolder(const QByteArray &folder, const FileIdentity &identity,
                                       bool withTimes)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return std::nullopt;
    std::optional<QByteArray> found;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        // The entry's inode spares a stat of every file; links and unknown types must be
        // followed as creation followed them.
        const bool mayMatch = entry->d_ino == identity.inode || entry->d_type == DT_LNK ||
                              entry->d_type == DT_UNKNOWN;
        if (!mayMatch)
            continue;
        const QByteArray path = folder + '/' + name;
        const std::optional<FileIdentity> candidate = identityOf(path);
        if (candidate &&
            (withTimes ? candidate->isSameFile(identity) : candidate->isSameInode(identity))) {
            found = path;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

std::optional<QByteArray> createBookmarkData(const QUrl &url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (!QDir::isAbsolutePath(path))
        return std::nullopt;
    const QByteArray encodedPath = QFile::encodeName(path);
    if (encodedPath.contains('\0'))
        return std::nullopt;
    const std::optional<FileIdentity> identity = identityOf(encodedPath);
    if (!identity)
        return std::nullopt;

    QByteArray data;
    data.reserve(headerSize + encodedPath.size() + timesSize);
    data.append(magic, sizeof(magic));
    appendBigEndian<quint16>(data, currentVersion);
    appendBigEndian<quint64>(data, identity->device);
    appendBigEndian<quint64>(data, identity->inode);
    appendBigEndian<quint32>(data, quint32(encodedPath.size()));
    data.append(encodedPath);
    appendBigEndian<qint64>(data, identity->born);
    appendBigEndian<qint64>(data, identity->modified);
    return data;
}

std::optional<ResolvedBookmark> resolveBookmarkData(QByteArrayView data)
{
    if (data.size() < headerSize || !data.startsWith(QByteArrayView(magic, sizeof(magic))))
        return std::nullopt;
    const quint16 version = readBigEndian<quint16>(data, 4);
    if (version != firstVersion && version != currentVersion)
        return std::nullopt;
    const bool withTimes = version == currentVersion;
    FileIdentity identity{readBigEndian<quint64>(data, 6), readBigEndian<quint64>(data, 14)};
    const quint32 pathLength = readBigEndian<quint32>(data, 22);
    if (pathLength == 0 ||
        qsizetype(pathLength) != data.size() - headerSize - (withTimes ? timesSize : 0))
        return std::nullopt;
    const QByteArray path = data.sliced(headerSize, pathLength).toByteArray();
    if (withTimes) {
        identity.born = readBigEndian<qint64>(data, headerSize + pathLength);
        identity.modified = readBigEndian<qint64>(data, headerSize + pathLength + 8);
    }
    if (!path.startsWith('/') || path.contains('\0'))
        return std::nullopt;

    const auto toUrl = [](const QByteArray &encoded) {
        return QUrl::fromLocalFile(QFile::decodeName(encoded));
    };
    if (const std::optional<FileIdentity> current = identityOf(path)) {
        // Something is at the path: the file itself, or the file an editor wrote in its place.
        return ResolvedBookmark{toUrl(path), !current->isSameInode(identity)};
    }
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    if (const std::optional<QByteArray> moved = findInFolder(folder, identity, withTimes))
        return ResolvedBookmark{toUrl(*moved), true};
    return std::nullopt;
}

#include "core/app/bookmark.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <dirent.h>
#include <sys/stat.h>

namespace {

// Layout, big-endian: magic, version, device, inode, path length, path bytes (the local
// file-system encoding of the absolute path).
constexpr char magic[4] = {'M', 'R', 'B', 'K'};
constexpr quint16 currentVersion = 1;
constexpr qsizetype headerSize = 4 + 2 + 8 + 8 + 4;

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

std::optional<FileIdentity> identityOf(const QByteArray &encodedPath)
{
    struct stat info;
    if (::stat(encodedPath.constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
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

// A file of the folder with that identity: the bookmarked file after a rename.
std::optional<QByteArray> findInFolder(const QByteArray &folder, const FileIdentity &identity)
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
        if (identityOf(path) == identity) {
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
    data.reserve(headerSize + encodedPath.size());
    data.append(magic, sizeof(magic));
    appendBigEndian<quint16>(data, currentVersion);
    appendBigEndian<quint64>(data, identity->device);
    appendBigEndian<quint64>(data, identity->inode);
    appendBigEndian<quint32>(data, quint32(encodedPath.size()));
    data.append(encodedPath);
    return data;
}

std::optional<ResolvedBookmark> resolveBookmarkData(QByteArrayView data)
{
    if (data.size() < headerSize || !data.startsWith(QByteArrayView(magic, sizeof(magic))))
        return std::nullopt;
    if (readBigEndian<quint16>(data, 4) != currentVersion)
        return std::nullopt;
    const FileIdentity identity{readBigEndian<quint64>(data, 6), readBigEndian<quint64>(data, 14)};
    const quint32 pathLength = readBigEndian<quint32>(data, 22);
    if (pathLength == 0 || qsizetype(pathLength) != data.size() - headerSize)
        return std::nullopt;
    const QByteArray path = data.sliced(headerSize).toByteArray();
    if (!path.startsWith('/') || path.contains('\0'))
        return std::nullopt;

    const auto toUrl = [](const QByteArray &encoded) {
        return QUrl::fromLocalFile(QFile::decodeName(encoded));
    };
    if (const std::optional<FileIdentity> current = identityOf(path)) {
        // Something is at the path: the file itself, or the file an editor wrote in its place.
        return ResolvedBookmark{toUrl(path), *current != identity};
    }
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    if (const std::optional<QByteArray> moved = findInFolder(folder, identity))
        return ResolvedBookmark{toUrl(*moved), true};
    return std::nullopt;
}

#include "core/store/safe_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The messages of this file, under one translation context that lupdate finds.
struct SafeFile
{
    Q_DECLARE_TR_FUNCTIONS(SafeFile)
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What is at a path, in words, when it is not a regular file.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return SafeFile::tr("a folder");
    if (S_ISFIFO(mode))
        return SafeFile::tr("a named pipe");
    if (S_ISLNK(mode))
        return SafeFile::tr("a symbolic link");
    if (S_ISSOCK(mode))
        return SafeFile::tr("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return SafeFile::tr("a device");
    return SafeFile::tr("not a regular file");
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes it, reporting whether the close went well (it may report a failed write).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

namespace {

// One read(), made again when a signal interrupts it before anything was read.
ssize_t readRestarting(int fd, char *data, qint64 size)
{
    for (;;) {
        const ssize_t n = ::read(fd, data, size_t(size));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Reads the file as readFileSafely describes, handing its bytes to take() as they come: into
// one buffer of the whole file, or a piece at a time into a buffer used again for each.
FileRead readFileWith(const QString &path, qint64 maxSize, Links links, qsizetype pieceSize,
                      const std::function<bool(QByteArrayView, qint64)> &take)
{
    FileRead result;
    const QByteArray encoded = QFile::encodeName(path);
    const auto failed = [&](const QString &why) {
        result.status = FileRead::Status::Failed;
        result.error = SafeFile::tr("%1 could not be read: %2.").arg(path, why);
        return result;
    };

    struct stat info;
    const int examined = links == Links::Follow ? ::stat(encoded.constData(), &info)
                                                : ::lstat(encoded.constData(), &info);
    if (examined != 0) {
        if (errno == ENOENT)
            return result;
        return failed(systemError(errno));
    }
    // Checked before opening: opening a FIFO for reading blocks until a writer comes.
    if (!S_ISREG(info.st_mode))
        return failed(SafeFile::tr("it is %1").arg(kindOf(info.st_mode)));
    if (info.st_size > maxSize)
        return failed(SafeFile::tr("it is %1 MB, more than the %2 MB such a file may have")
                          .arg(megabytes(info.st_size), megabytes(maxSize)));

    // Non-blocking all the same: the path may have been replaced since it was examined.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == Links::DoNotFollow)
        flags |= O_NOFOLLOW;
    Descriptor file(::open(encoded.constData(), flags));
    if (file.get() < 0) {
        if (errno == ENOENT)
            return result;
        if (errno == ELOOP)
            return failed(SafeFile::tr("it is %1").arg(kindOf(S_IFLNK)));
        return failed(systemError(errno));
    }
    if (::fstat(file.get(), &info) != 0)
        return failed(systemError(errno));
    if (!S_ISREG(info.st_mode))
        return failed(SafeFile::tr("it is %1").arg(kindOf(info.st_mode)));

    const qint64 expected = std::min<qint64>(info.st_size, maxSize);
    const auto grewTooBig = [&] {
        return failed(
            SafeFile::tr("it grew past the %1 MB such a file may have").arg(megabytes(maxSize)));
    };
    if (take) {
        QByteArray piece(pieceSize, Qt::Uninitialized);
        qint64 total = 0;
        for (;;) {
            const ssize_t n = readRestarting(file.get(), piece.data(), piece.size());
            if (n < 0)
                return failed(systemError(errno));
            if (n == 0)
                break;
            total += n;
            if (total > maxSize)
                return grewTooBig();
            if (!take(QByteArrayView(piece.constData(), n), expected))
                break;
        }
        result.status = FileRead::Status::Read;
        return result;
    }

    // One read of the size found, and one byte more to see whether it grew past the limit.
    QByteArray bytes(expected + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > maxSize)
                return grewTooBig();
            bytes.resize(std::min<qint64>(maxSize + 1, total * 2));
        }
        const ssize_t n = readRestarting(file.get(), bytes.data() + total, bytes.size() - total);
        if (n < 0)
            return failed(systemError(errno));
        if (n == 0)
            break;
        total += n;
    }
    bytes.truncate(total);
    result.status = FileRead::Status::Read;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace

FileRead readFileSafely(const QString &path, qint64 maxSize, Links links)
{
    return readFileWith(path, maxSize, links, 0, {});
}

FileRead readFileInPieces(const QString &path, qint64 maxSize, qsizetype pieceSize,
                          const std::function<bool(QByteArrayView piece, qint64 size)> &take,
                          Links links)
{
    return readFileWith(path, maxSize, links, std::max<qsizetype>(pieceSize, 1), take);
}

bool writeFileSafely(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray encoded = QFile::encodeName(path);
    const auto failed = [&](const QString &why) {
        return fail(error, SafeFile::tr("Could not write %1: %2.").arg(path, why));
    };

    mode_t mode = 0644;
    struct stat info;
    if (::lstat(encoded.constData(), &info) == 0) {
        // Renaming over a link would replace the link, and writing through it would change a
        // file somewhere else: neither is ours to do.
        if (!S_ISREG(info.st_mode))
            return failed(
                SafeFile::tr("it is %1, which is not replaced").arg(kindOf(info.st_mode)));
        mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        return failed(systemError(errno));
    }

    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : encoded.left(std::max<qsizetype>(slash, 1));
    QByteArray temporary = encoded.left(slash + 1) + '.' + encoded.mid(slash + 1) + ".XXXXXX";
    // mkstemp creates the file anew (O_EXCL): nothing already there is followed.
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0)
        return failed(systemError(errno));
    // Held until the file is renamed or removed: it tells removeStaleTemporaries that this one
    // is being written.
    ::flock(file.get(), LOCK_EX | LOCK_NB);
    const auto discard = [&](int why) {
        ::unlink(temporary.constData());
        return failed(systemError(why));
    };

    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(file.get(), bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return discard(errno);
        }
        written += n;
    }
    // The data must be on disk before the rename makes it the file: otherwise a power cut can
    // leave an empty file in place of the old one.
    if (::fchmod(file.get(), mode) != 0 || ::fdatasync(file.get()) != 0)
        return discard(errno);
    if (!file.close())
        return discard(errno);
    if (::rename(temporary.constData(), encoded.constData()) != 0)
        return discard(errno);
    syncFolder(QFile::decodeName(folder));
    return true;
}

QString moveAsideNumbered(const QString &path, const QString &suffix, AsideNames names,
                          QString *error)
{
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Could not move %1 aside: %2").arg(path, why);
        return QString();
    };
    const QByteArray from = QFile::encodeName(path);
    for (int number = 1; number < 10000; ++number) {
        const QString aside =
            path + suffix +
            (number == 1 && names == AsideNames::FirstPlain ? QString()
                                                            : QStringLiteral("-%1").arg(number));
        const QByteArray to = QFile::encodeName(aside);
        // A hard link never replaces what is there, as a rename would.
        if (::link(from.constData(), to.constData()) == 0) {
            // Still at its path, the file would be taken up again as if nothing had happened.
            if (::unlink(from.constData()) != 0)
                return failed(systemError(errno));
            syncFolder(QFileInfo(path).absolutePath());
            return aside;
        }
        if (errno == EEXIST)
            continue;
        // A file system without hard links: rename, after looking.
        struct stat info;
        if (::lstat(to.constData(), &info) == 0)
            continue;
        if (::rename(from.constData(), to.constData()) != 0)
            return failed(systemError(errno));
        syncFolder(QFileInfo(path).absolutePath());
        return aside;
    }
    return failed(QStringLiteral("too many copies"));
}

int removeStaleTemporaries(const QString &path, std::chrono::seconds unchangedFor)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : encoded.left(std::max<qsizetype>(slash, 1));
    const QByteArray prefix = '.' + encoded.mid(slash + 1) + '.';
    constexpr qsizetype uniquePart = 6; // as mkstemp fills it in
    const auto isTemporary = [&](const char *name) {
        const QByteArrayView view(name);
        if (view.size() != prefix.size() + uniquePart || !view.startsWith(prefix))
            return false;
        return std::all_of(view.begin() + prefix.size(), view.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        });
    };

    DIR *directory = ::opendir(folder.constData());
    if (!directory)
        return 0;
    QList<QByteArray> candidates;
    while (const dirent *entry = ::readdir(directory)) {
        if (isTemporary(entry->d_name))
            candidates.append(folder + '/' + entry->d_name);
    }
    ::closedir(directory);

    const time_t latest = ::time(nullptr) - time_t(unchangedFor.count());
    int removed = 0;
    for (const QByteArray &candidate : std::as_const(candidates)) {
        Descriptor file(::open(candidate.constData(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat info;
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_mtime > latest)
            continue;
        // A writer holds its lock until it renames the file; a killed one holds none.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was looked at, not one made since under the same name.
        struct stat now;
        if (::lstat(candidate.constData(), &now) != 0 || now.st_dev != info.st_dev ||
            now.st_ino != info.st_ino)
            continue;
        if (::unlink(candidate.constData()) == 0)
            ++removed;
    }
    return removed;
}

void syncFolder(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

namespace {

QString missingTextFile(const QString &path)
{
    // File names are decoded as UTF-8; one that is not cannot be found again by its name.
    return path.contains(QChar::ReplacementCharacter)
               ? SafeFile::tr("%1 could not be opened: its name is not valid UTF-8; rename the "
                              "file to open it.")
                     .arg(path)
               : SafeFile::tr("%1 could not be read: %2.").arg(path, systemError(ENOENT));
}

} // namespace

std::optional<QString> readUtf8TextFile(const QString &path, QString *error)
{
    const FileRead read = readFileSafely(path, maxTextFileSize);
    if (read.status == FileRead::Status::Missing) {
        fail(error, missingTextFile(path));
        return std::nullopt;
    }
    if (!read.ok()) {
        fail(error, read.error);
        return std::nullopt;
    }
    // Stateless: a sequence cut off at the end of the file is an error, not pending input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(read.bytes);
    if (decoder.hasError()) {
        fail(error, SafeFile::tr("%1 cannot be read as UTF-8 text.").arg(path));
        return std::nullopt;
    }
    return text;
}

bool readUtf8TextInPieces(const QString &path, const std::function<void(QStringView)> &take,
                          QString *error, const std::function<void(double)> &progress,
                          const std::function<bool()> &wanted, qsizetype pieceSize)
{
    // A piece ends before a sequence that the next piece completes; those bytes go first then.
    QByteArray bytes;
    QString text;
    bool first = true;
    bool valid = true;
    const auto decode = [&](QByteArrayView piece) {
        // Stateless: a sequence cut off at the end of the file is an error, not pending input.
        // Only the first piece may begin with a byte-order mark to leave out.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               first ? QStringDecoder::Flag::Stateless
                                     : QStringDecoder::Flag::Stateless |
                                           QStringDecoder::Flag::ConvertInitialBom);
        first = false;
        text.resize(decoder.requiredSpace(piece.size()));
        const QChar *end = decoder.appendToBuffer(text.data(), piece);
        if (decoder.hasError())
            valid = false;
        return QStringView(text.constData(), end - text.constData());
    };
    qint64 done = 0;
    bool stopped = false;
    const FileRead read =
        readFileInPieces(path, maxTextFileSize, pieceSize, [&](QByteArrayView piece, qint64 size) {
            if (wanted && !wanted()) {
                stopped = true;
                return false;
            }
            done += piece.size();
            if (!valid)
                return true;
            // Decoded where it was read, unless the piece before ended within a sequence.
            QByteArrayView whole = piece;
            if (!bytes.isEmpty()) {
                bytes.append(piece);
                whole = bytes;
            }
            // Back to the first byte of the last sequence when the piece ends within it.
            qsizetype cut = whole.size();
            qsizetype lead = cut - 1;
            while (lead >= 0 && lead > cut - 4 && (quint8(whole[lead]) & 0xC0) == 0x80)
                --lead;
            if (lead >= 0) {
                const quint8 byte = quint8(whole[lead]);
                const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
                if (lead + length > cut)
                    cut = lead;
            }
            if (cut > 0) {
                const QStringView decoded = decode(whole.first(cut));
                if (valid)
                    take(decoded);
            }
            // At most the three bytes of a sequence that the next piece completes.
            bytes = whole.sliced(cut).toByteArray();
            if (progress && size > 0)
                progress(std::min(1.0, double(done) / double(size)));
            return true;
        });
    if (read.status == FileRead::Status::Missing) {
        fail(error, missingTextFile(path));
        return false;
    }
    if (!read.ok()) {
        fail(error, read.error);
        return false;
    }
    if (stopped)
        return false;
    // The end of the file: what is left must be whole.
    if (valid && (!bytes.isEmpty() || first)) {
        const QStringView decoded = decode(bytes);
        if (valid)
            take(decoded);
    }
    if (!valid) {
        fail(error, SafeFile::tr("%1 cannot be read as UTF-8 text.").arg(path));
        return false;
    }
    return true;
}

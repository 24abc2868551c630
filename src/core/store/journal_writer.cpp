#include "core/store/journal_writer.h"

#include "core/model/debug_output.h"
#include "core/store/safe_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QByteArray encodedPath(const QString &path)
{
    return QFile::encodeName(path);
}

[[nodiscard]] bool writeAll(int fd, const char *data, qsizetype size, qsizetype *written)
{
    *written = 0;
    while (*written < size) {
        const ssize_t n = ::write(fd, data + *written, size_t(size - *written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        *written += n;
    }
    return true;
}

[[nodiscard]] bool dataSync(int fd)
{
    int result;
    do
        result = ::fdatasync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

// Two processes of this machine may keep the same deck open: each holds the journal while it
// repairs or appends to it, so that neither cuts off a record the other is writing.
class JournalLock
{
public:
    explicit JournalLock(int fd) : m_fd(fd)
    {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~JournalLock() { ::flock(m_fd, LOCK_UN); }
    Q_DISABLE_COPY_MOVE(JournalLock)

private:
    int m_fd;
};

qint64 currentLength(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 ? qint64(info.st_size) : -1;
}

} // namespace

JournalWriter::~JournalWriter()
{
    close();
}

void JournalWriter::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_length = 0;
}

bool JournalWriter::openFile(bool *created, QString *error)
{
    const QByteArray path = encodedPath(m_path);
    // O_NONBLOCK so that a pipe put at the path cannot stall the open; it is refused below.
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    *created = true;
    m_fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, 0644);
    if (m_fd < 0 && errno == EEXIST) {
        *created = false;
        m_fd = ::open(path.constData(), flags);
    }
    if (m_fd < 0) {
        *error =
            QStringLiteral("Could not open the journal %1: %2").arg(m_path, systemError(errno));
        return false;
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        *error = QStringLiteral("Could not open the journal %1: not a regular file").arg(m_path);
        return false;
    }
    m_length = info.st_size;
    return true;
}

bool JournalWriter::open(const QString &path, QString *error)
{
    close();
    m_path = path;
    bool created = false;
    if (!openFile(&created, error))
        return false;
    if (created) {
        // The new name must survive a power cut as much as the records in it.
        syncFolder(QFileInfo(m_path).absolutePath());
        return true;
    }

    std::optional<JournalLock> lock(std::in_place, m_fd);
    m_length = std::max<qint64>(currentLength(m_fd), 0);
    QByteArray bytes(qsizetype(m_length), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error =
                QStringLiteral("Could not read the journal %1: %2").arg(m_path, systemError(errno));
            lock.reset();
            close();
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    const JournalContents contents = parseJournal(bytes);

    if (contents.damaged) {
        lock.reset();
        close();
        // Every damaged copy numbered: "<journal>.corrupt-1", "-2", ...
        const QString aside =
            moveAsideNumbered(m_path, QStringLiteral(".corrupt"), AsideNames::AllNumbered, error);
        if (aside.isEmpty())
            return false;
        printLine(QStringLiteral("The journal %1 was damaged; it was moved to %2 and its "
                                 "readable records were kept.")
                      .arg(m_path, aside));
        if (!openFile(&created, error))
            return false;
        syncFolder(QFileInfo(m_path).absolutePath());
        return append(contents.records, error);
    }
    if (contents.soundLength < m_length) {
        // An append cut short: without its tail the journal ends with a whole record again.
        if (::ftruncate(m_fd, contents.soundLength) != 0 || !dataSync(m_fd)) {
            *error = QStringLiteral("Could not repair the journal %1: %2")
                         .arg(m_path, systemError(errno));
            lock.reset();
            close();
            return false;
        }
        m_length = contents.soundLength;
    }
    return true;
}

bool JournalWriter::append(const QList<JournalRecord> &records, QString *error)
{
    if (m_fd < 0) {
        *error = QStringLiteral("The journal is not open");
        return false;
    }
    if (records.isEmpty())
        return true;
    QByteArray bytes;
    bytes.reserve(records.size() * journalRecordSize);
    for (const JournalRecord &record : records)
        bytes.append(encodeJournalRecord(record));

    const JournalLock lock(m_fd);
    // Where this append starts: another process may have appended since our last one.
    const qint64 start = currentLength(m_fd);
    qsizetype written = 0;
    if (writeAll(m_fd, bytes.constData(), bytes.size(), &written) && dataSync(m_fd)) {
        m_length = start + bytes.size();
        return true;
    }
    const int code = errno;
    // Whatever part reached the file goes again, so the next append follows a whole record.
    if (written > 0 && start >= 0 && ::ftruncate(m_fd, start) == 0)
        (void)dataSync(m_fd);
    *error =
        QStringLiteral("Could not append to the journal %1: %2").arg(m_path, systemError(code));
    return false;
}

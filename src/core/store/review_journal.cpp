#include "core/store/review_journal.h"

#include "core/store/mapped_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A record: marker, body length (u32), body, CRC-32 of the length and the body. All numbers are
// little-endian.
constexpr char marker[4] = {'M', 'J', 'R', '1'};
constexpr qsizetype headerSize = 8;
constexpr qsizetype bodySize = 88;
constexpr qsizetype checksumSize = 4;
static_assert(headerSize + bodySize + checksumSize == journalRecordSize);
// Later versions may append fields to the body; a length beyond this is no record.
constexpr quint32 largestBody = 4096;

enum Flag : quint8 { HasLastReview = 1, HasNextReview = 2, HasMemory = 4, HasLearningStep = 8 };

// Eight tables, so that the checksum takes eight bytes a step ("slicing by eight"): a deck's
// history is read whole when its statistics open.
const std::array<std::array<quint32, 256>, 8> &crcTables()
{
    static const std::array<std::array<quint32, 256>, 8> tables = [] {
        std::array<std::array<quint32, 256>, 8> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::size_t k = 1; k < t.size(); ++k) {
            for (std::size_t i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        }
        return t;
    }();
    return tables;
}

template <typename T> void put(char *at, T value)
{
    qToLittleEndian(value, at);
}

template <typename T> T get(const char *at)
{
    return qFromLittleEndian<T>(at);
}

void putDouble(char *at, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put<quint64>(at, bits);
}

double getDouble(const char *at)
{
    const quint64 bits = get<quint64>(at);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

enum class Frame { Bad, Known, Unknown };

// The record framed at pos: Bad when there is none, Unknown when it is sound but holds a kind
// or a value this version does not know. next is where the following record starts.
Frame recordAt(QByteArrayView bytes, qsizetype pos, JournalRecord *record, qsizetype *next)
{
    const qsizetype available = bytes.size() - pos;
    const char *at = bytes.data() + pos;
    if (available < headerSize || std::memcmp(at, marker, sizeof marker) != 0)
        return Frame::Bad;
    const quint32 length = get<quint32>(at + 4);
    if (length < bodySize || length > largestBody ||
        qsizetype(length) > available - headerSize - checksumSize)
        return Frame::Bad;
    const char *body = at + headerSize;
    if (crc32(QByteArrayView(at + 4, 4 + length)) != get<quint32>(body + length))
        return Frame::Bad;
    *next = pos + headerSize + length + checksumSize;

    const auto kind = quint8(body[24]);
    const auto grade = quint8(body[25]);
    const auto state = quint8(body[26]);
    const auto progress = quint8(body[28]);
    const auto flags = quint8(body[30]);
    if (kind < 1 || kind > 5 || grade > 4 || state > 3 || progress > 4)
        return Frame::Unknown;
    JournalRecord r;
    r.time = get<qint64>(body);
    std::memcpy(r.face.bytes.data(), body + 8, r.face.bytes.size());
    r.kind = JournalChange(kind);
    r.grade = grade;
    r.stateBefore = SchedulingState(state);
    r.rating = qint8(body[27]);
    r.progress = CardFaceProgress(progress);
    r.progressRank = quint8(body[29]);
    if (flags & HasLastReview)
        r.lastReview = get<qint64>(body + 32);
    if (flags & HasNextReview)
        r.nextReview = get<qint64>(body + 40);
    if (flags & HasMemory) {
        ReviewMemory memory;
        memory.stability = getDouble(body + 48);
        memory.difficulty = getDouble(body + 56);
        memory.reviews = get<qint64>(body + 64);
        memory.lapses = get<qint64>(body + 72);
        if (flags & HasLearningStep)
            memory.learningStep = get<qint64>(body + 80);
        if (!std::isfinite(memory.stability) || !std::isfinite(memory.difficulty))
            return Frame::Unknown;
        r.memory = memory;
    }
    *record = r;
    return Frame::Known;
}

// The first position after from where a record that checks out starts; -1 when none does.
qsizetype nextRecord(QByteArrayView bytes, qsizetype from)
{
    const QByteArrayView needle(marker, sizeof marker);
    for (qsizetype pos = bytes.indexOf(needle, from); pos >= 0;
         pos = bytes.indexOf(needle, pos + 1)) {
        JournalRecord record;
        qsizetype next = 0;
        if (recordAt(bytes, pos, &record, &next) != Frame::Bad)
            return pos;
    }
    return -1;
}

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine(256)).trimmed();
}

// The whole content of a regular file; nothing for anything else (a pipe would block a plain
// read forever) or when it cannot be read.
std::optional<QByteArray> readRegularFile(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info;
    std::optional<QByteArray> result;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        bool failed = false;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failed = n < 0;
                break;
            }
            done += n;
        }
        // A file that shrank while it was read is taken as far as it went.
        if (!failed) {
            bytes.truncate(done);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

} // namespace

quint32 crc32(QByteArrayView bytes)
{
    const auto &t = crcTables();
    quint32 c = 0xFFFFFFFFu;
    const char *at = bytes.data();
    qsizetype left = bytes.size();
    for (; left >= 8; left -= 8, at += 8) {
        const quint32 low = qFromLittleEndian<quint32>(at) ^ c;
        const quint32 high = qFromLittleEndian<quint32>(at + 4);
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^
            t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; left > 0; --left, ++at)
        c = t[0][(c ^ quint8(*at)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray encodeJournalRecord(const JournalRecord &record)
{
    QByteArray bytes(journalRecordSize, '\0');
    char *at = bytes.data();
    std::memcpy(at, marker, sizeof marker);
    put<quint32>(at + 4, quint32(bodySize));
    char *body = at + headerSize;
    put<qint64>(body, record.time);
    std::memcpy(body + 8, record.face.bytes.data(), record.face.bytes.size());
    body[24] = char(record.kind);
    body[25] = char(record.grade);
    body[26] = char(record.stateBefore);
    body[27] = char(record.rating);
    body[28] = char(record.progress);
    body[29] = char(record.progressRank);
    quint8 flags = 0;
    if (record.lastReview) {
        flags |= HasLastReview;
        put<qint64>(body + 32, *record.lastReview);
    }
    if (record.nextReview) {
        flags |= HasNextReview;
        put<qint64>(body + 40, *record.nextReview);
    }
    if (const auto &memory = record.memory) {
        flags |= HasMemory;
        putDouble(body + 48, memory->stability);
        putDouble(body + 56, memory->difficulty);
        put<qint64>(body + 64, memory->reviews);
        put<qint64>(body + 72, memory->lapses);
        if (memory->learningStep) {
            flags |= HasLearningStep;
            put<qint64>(body + 80, *memory->learningStep);
        }
    }
    body[30] = char(flags);
    put<quint32>(body + bodySize, crc32(QByteArrayView(at + 4, 4 + bodySize)));
    return bytes;
}

bool JournalReader::next(JournalRecord *record)
{
    while (m_pos < m_bytes.size()) {
        qsizetype next = 0;
        switch (recordAt(m_bytes, m_pos, record, &next)) {
        case Frame::Known:
            m_pos = m_soundLength = next;
            return true;
        case Frame::Unknown:
            m_pos = m_soundLength = next;
            continue;
        case Frame::Bad:
            break;
        }
        const qsizetype resume = nextRecord(m_bytes, m_pos + 1);
        // Nothing sound after it: an append that a crash cut short.
        if (resume < 0)
            break;
        m_damaged = true;
        m_pos = resume;
    }
    m_pos = m_bytes.size();
    return false;
}

JournalContents parseJournal(QByteArrayView bytes)
{
    JournalContents contents;
    contents.records.reserve(bytes.size() / journalRecordSize);
    JournalReader reader(bytes);
    JournalRecord record;
    while (reader.next(&record))
        contents.records.append(record);
    contents.soundLength = reader.soundLength();
    contents.damaged = reader.damaged();
    return contents;
}

QString journalMachineId(const QStringList &machineIdFiles, const QString &hostName)
{
    QString source;
    for (const QString &path : machineIdFiles) {
        source = firstLine(path);
        if (!source.isEmpty())
            break;
    }
    if (source.isEmpty())
        source = u"host:"_qs + (hostName.isEmpty() ? u"localhost"_qs : hostName);
    const QByteArray salted = QByteArrayLiteral(MEMORANTH_APP_ID ":") + source.toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash(salted, QCryptographicHash::Md5).toHex().left(16));
}

QString journalMachineId()
{
    static const QString id = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        return journalMachineId({u"/etc/machine-id"_qs, u"/var/lib/dbus/machine-id"_qs},
                                QString::fromLocal8Bit(host));
    }();
    return id;
}

namespace {

QString journalStem(const QString &progressFilePath)
{
    QString stem = progressFilePath;
    if (stem.endsWith(u".plist"))
        stem.chop(6);
    return stem;
}

bool isMachineId(QStringView text)
{
    if (text.size() != 16)
        return false;
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}

} // namespace

QString journalPath(const QString &progressFilePath, const QString &machineId)
{
    return journalStem(progressFilePath) + u'.' + machineId + u".journal"_qs;
}

QStringList deckJournalPaths(const QString &progressFilePath)
{
    const QFileInfo progressFile(progressFilePath);
    const QString prefix = QFileInfo(journalStem(progressFilePath)).fileName() + u'.';
    const QString suffix = u".journal"_qs;
    // Matched by hand: a title may hold the wildcard characters of a name filter.
    QDir folder = progressFile.dir();
    const QStringList names =
        folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QStringList paths;
    for (const QString &name : names) {
        if (name.size() != prefix.size() + 16 + suffix.size() || !name.startsWith(prefix) ||
            !name.endsWith(suffix))
            continue;
        if (isMachineId(QStringView(name).mid(prefix.size(), 16)))
            paths.append(folder.filePath(name));
    }
    return paths;
}

DeckJournal readDeckJournal(const QString &progressFilePath)
{
    DeckJournal journal;
    journal.damagedPaths = forEachDeckJournalRecord(
        progressFilePath, [&](const JournalRecord &record) { journal.records.append(record); });
    return journal;
}

namespace {

// One journal walked a record at a time, with the record it holds next.
struct JournalSource
{
    QString path;
    std::unique_ptr<MappedFile> mapped;
    QByteArray bytes; // where it cannot be mapped
    std::optional<JournalReader> reader;
    JournalRecord head;
    bool hasHead = false;
};

// Journals only grow; this leaves room for far more reviews than anyone makes.
constexpr qint64 maxJournalSize = qint64(1) << 40;

} // namespace

QStringList forEachDeckJournalRecord(const QString &progressFilePath,
                                     const std::function<void(const JournalRecord &)> &take)
{
    std::vector<JournalSource> sources;
    for (const QString &path : deckJournalPaths(progressFilePath)) {
        JournalSource source;
        source.path = path;
        source.mapped = MappedFile::map(path, maxJournalSize);
        if (!source.mapped) {
            std::optional<QByteArray> bytes = readRegularFile(path);
            if (!bytes)
                continue;
            source.bytes = *std::move(bytes);
        }
        sources.push_back(std::move(source));
    }
    for (JournalSource &source : sources) {
        // The bytes stay where they are once every source is in place.
        source.reader.emplace(source.mapped ? source.mapped->bytes()
                                            : QByteArrayView(source.bytes));
        source.hasHead = source.reader->next(&source.head);
    }
    // Few journals (one a machine): take the earliest head each time, the first file on a tie.
    for (;;) {
        JournalSource *best = nullptr;
        for (JournalSource &source : sources) {
            if (source.hasHead && (!best || source.head.time < best->head.time))
                best = &source;
        }
        if (!best)
            break;
        take(best->head);
        best->hasHead = best->reader->next(&best->head);
    }
    QStringList damaged;
    for (const JournalSource &source : sources) {
        if (source.reader->damaged())
            damaged.append(source.path);
    }
    return damaged;
}

SavedProgress journaledProgress(const JournalRecord &record)
{
    const auto instant = [](const std::optional<qint64> &msecs) {
        return msecs ? std::optional(QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC))
                     : std::nullopt;
    };
    // The record holds the face's whole state after the change, its schedule included.
    SavedProgress saved(record.rating, record.progress);
    saved.lastReview = instant(record.lastReview);
    saved.nextReview = instant(record.nextReview);
    saved.memory = record.memory;
    return saved;
}

void replayJournal(const QList<JournalRecord> &records, ProgressTable *table)
{
    for (const JournalRecord &record : records)
        table->insert(record.face, journaledProgress(record));
}

#include "core/store/record_matcher.h"

#include "core/store/binary_plist_reader.h"
#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/stored_face_fields.h"
#include "core/store/stored_record.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include <sys/mman.h>

namespace {

// Faces looked at beyond the one that the next record is expected for: a few faces added
// without a record (a new card) do not break the walk.
constexpr qsizetype nearbyFaces = 8;
// After this many records in a row that met no face nearby, the faces ahead are found by digest
// in a window of this many, so that a long run of new faces is stepped over too.
constexpr int missesBeforeWindow = 8;
constexpr qsizetype windowFaces = 4096;
// How far the walk goes before it tells which bytes it has gone past.
constexpr qsizetype releaseStep = qsizetype(8) << 20;

// Two bits per digest in a bit set: whether a digest was given to a face in order before. A
// file written by this program holds each key once; another writer's file may repeat a key, and
// only then does a face of a repeated text need a second look. Both bits of a digest lie in one
// word, so that a look costs one read of memory that is seldom in a cache.
class SeenFilter
{
public:
    explicit SeenFilter(qsizetype expected)
    {
        size_t words = 16;
        while (words * 64 < size_t(expected) * 16)
            words *= 2;
        m_words.assign(words, 0);
    }

    // Whether the digest may have been added before; adds it.
    bool testAndAdd(const FaceDigest &digest)
    {
        const auto [word, bits] = place(digest);
        const bool was = (m_words[word] & bits) == bits;
        m_words[word] |= bits;
        return was;
    }
    // Whether the digest may have been added; false: it never was.
    bool mayHold(const FaceDigest &digest) const
    {
        const auto [word, bits] = place(digest);
        return (m_words[word] & bits) == bits;
    }

private:
    std::pair<size_t, quint64> place(const FaceDigest &digest) const
    {
        quint64 low;
        quint64 high;
        std::memcpy(&low, digest.bytes.data(), 8);
        std::memcpy(&high, digest.bytes.data() + 8, 8);
        const quint64 bits = quint64(1) << (high & 63) | quint64(1) << ((high >> 6) & 63);
        return {size_t(low) & (m_words.size() - 1), bits};
    }

    std::vector<quint64> m_words;
};

// Tells a walk's walkedPast of the bytes it has gone past, a stretch at a time. The records
// come from the end of the file to its start, each after its key: the bytes from the key of
// this one to that of the first are done with, in a file as a save writes it. (In any other,
// they are read again if needed.)
class WalkedPastTeller
{
public:
    WalkedPastTeller(QByteArrayView bytes,
                     const std::function<bool(qsizetype, qsizetype)> &walkedPast)
        : m_bytes(bytes), m_walkedPast(walkedPast)
    {
    }

    // At the key whose characters are at key: whether to go on.
    bool atKey(const void *key)
    {
        if (!m_walkedPast)
            return true;
        const auto address = reinterpret_cast<quintptr>(key);
        const auto start = reinterpret_cast<quintptr>(m_bytes.data());
        if (address < start || address - start >= quintptr(m_bytes.size()))
            return true;
        const qsizetype offset = qsizetype(address - start);
        if (m_walkedFrom < 0)
            m_walkedFrom = offset;
        if (offset + releaseStep <= m_walkedFrom) {
            const qsizetype to = std::exchange(m_walkedFrom, offset);
            return m_walkedPast(offset, to);
        }
        return true;
    }

private:
    QByteArrayView m_bytes;
    const std::function<bool(qsizetype, qsizetype)> &m_walkedPast;
    qsizetype m_walkedFrom = -1;
};

bool isMarkedOrphan(std::span<const RawField> fields)
{
    const QStringView mark(orphanedSinceKey);
    return std::any_of(fields.begin(), fields.end(), [&](const RawField &field) {
        return field.faceField < 0 && field.name.size == mark.size() &&
               field.name.toString() == mark;
    });
}

} // namespace

// The schedule a record of the first walk gives back to the face of its key, as
// applySavedProgress gives it: only reviewed faces have one.
struct WalkedSchedule
{
    OptionalInstant lastReview;
    OptionalInstant nextReview;
    BoxedOptional<ReviewMemory> memory;
};

// A record of the first walk: what it gives back to the face of its key, and the record's object
// for the rest.
struct WalkedRecord
{
    FaceDigest digest;
    quint32 record = 0;
    qint8 rating = 0;
    CardFaceProgress progress = CardFaceProgress::New;
    bool markedOrphan = false;
    // Whether the next schedule of the walk is this record's.
    bool scheduled = false;
};

namespace {

// Objects in memory of their own, which goes back to the system whole: a million records are
// tens of megabytes that the heap would otherwise keep among the cards. Room for a number of
// them fixed at the start, which only takes memory as it is used.
template <typename T> class FreshArray
{
public:
    explicit FreshArray(qsizetype capacity)
        : m_capacity(capacity), m_bytes(size_t(capacity) * sizeof(T))
    {
        void *data = ::mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (data == MAP_FAILED) {
            m_capacity = 0;
            return;
        }
        // Fresh memory, written once in order: a fault per 2 MiB rather than per 4 KiB.
        ::madvise(data, m_bytes, MADV_HUGEPAGE);
        m_items = static_cast<T *>(data);
    }
    ~FreshArray()
    {
        if (!m_items)
            return;
        std::destroy_n(m_items, m_size);
        ::munmap(m_items, m_bytes);
    }
    FreshArray(const FreshArray &) = delete;
    FreshArray &operator=(const FreshArray &) = delete;

    // A new object at the end; nothing when there is no room.
    T *append()
    {
        if (m_size == m_capacity)
            return nullptr;
        return new (m_items + m_size++) T;
    }
    std::span<T> items() { return {m_items, size_t(m_size)}; }

private:
    T *m_items = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity;
    size_t m_bytes;
};

} // namespace

// Room for as many records as a file of their size can hold as a save writes it.
class WalkedRecords
{
public:
    explicit WalkedRecords(qsizetype fileSize)
        : records(fileSize / smallestRecord + 16), schedules(fileSize / smallestRecord + 16)
    {
    }

    FreshArray<WalkedRecord> records;
    // The schedules of the records that have one, in the same order.
    FreshArray<WalkedSchedule> schedules;

private:
    // Fewer bytes than any record that a save writes takes in the file, with its key and its
    // place in the tables.
    static constexpr qsizetype smallestRecord = 64;
};

void WalkedRecordsDeleter::operator()(WalkedRecords *records) const noexcept
{
    delete records;
}

namespace {

// The first walk: every record of a face key taken as it comes, whatever faces there will be.
// Anything a save does not write stops it.
class RecordWalker final : public RawRecordVisitor
{
public:
    RecordWalker(QByteArrayView bytes, WalkedRecords &records,
                 const std::function<bool(qsizetype, qsizetype)> &walkedPast)
        : m_teller(bytes, walkedPast), m_records(records)
    {
    }

    bool wants(const RawString &key) override
    {
        m_digest = m_teller.atKey(key.data) ? key.faceDigest() : std::nullopt;
        // Refused by the record that follows.
        return true;
    }

    bool record(const RawString &, quint64 record, bool shared,
                std::span<const RawField> fields) override
    {
        if (!m_digest || shared || record > std::numeric_limits<quint32>::max())
            return false;
        std::optional<SavedProgress> saved = savedProgressOf(fields);
        WalkedRecord *walked = saved ? m_records.records.append() : nullptr;
        if (!walked)
            return false;
        walked->digest = *m_digest;
        walked->record = quint32(record);
        walked->rating = saved->rating;
        walked->progress = saved->progress;
        walked->markedOrphan = isMarkedOrphan(fields);
        if (saved->lastReview || saved->nextReview || saved->memory) {
            WalkedSchedule *schedule = m_records.schedules.append();
            if (!schedule)
                return false;
            schedule->lastReview = saved->lastReview;
            schedule->nextReview = saved->nextReview;
            schedule->memory = saved->memory;
            walked->scheduled = true;
        }
        return true;
    }

    bool sharedRecord(const RawString &, quint64) override { return false; }

private:
    WalkedPastTeller m_teller;
    WalkedRecords &m_records;
    std::optional<FaceDigest> m_digest;
};

class InOrderMatcher final : public RawRecordVisitor
{
public:
    InOrderMatcher(QByteArrayView bytes, std::span<CardFace *const> faces,
                   std::span<const FaceDigest> digests, MatchedRecords &result,
                   const std::function<bool(qsizetype, qsizetype)> &walkedPast)
        : m_otherKeys(bytes.size()), m_teller(bytes, walkedPast), m_faces(faces),
          m_digests(digests), m_sources(result.sources), m_loose(result.loose),
          m_seen(qsizetype(faces.size())), m_cursor(qsizetype(faces.size()) - 1)
    {
        m_sources.assign(faces.size(), FaceRecord::None);
    }

    bool wants(const RawString &key) override
    {
        if (!m_teller.atKey(key.data)) {
            m_refused = true; // by the record that follows
            return true;
        }
        m_digest = key.faceDigest();
        if (m_digest)
            return !m_loose.contains(*m_digest);
        const bool wanted = m_otherKeys.wants(key);
        m_refused = m_refused || m_otherKeys.isRefused(); // by the record that follows
        return wanted;
    }

    bool record(const RawString &, quint64 record, bool shared,
                std::span<const RawField> fields) override
    {
        if (m_refused)
            return false;
        std::optional<SavedProgress> saved = savedProgressOf(fields);
        const bool marked = isMarkedOrphan(fields);
        if (shared) {
            Shared &kept = m_shared[record];
            kept.saved = saved;
            kept.marked = marked;
            looseText(fields, &kept.text, &kept.position);
            return accept(kept.saved, kept.text, kept.position, kept.marked);
        }
        if (!saved || !m_digest)
            return accept(saved, {}, {}, marked);
        const qsizetype face = faceInOrder(*m_digest);
        if (face >= 0) {
            applySavedProgress(*m_faces[size_t(face)], *saved);
            give(face, *m_digest, marked);
            return true;
        }
        LooseRecord loose;
        loose.saved = *std::move(saved);
        loose.markedOrphan = marked;
        looseText(fields, &loose.text, &loose.position);
        m_loose.insert(*m_digest, std::move(loose));
        return true;
    }

    bool brokenRecord(const RawString &) override
    {
        return !m_refused && accept(std::nullopt, {}, {}, false);
    }

    bool sharedRecord(const RawString &, quint64 record) override
    {
        const auto it = m_shared.constFind(record);
        if (m_refused || it == m_shared.cend())
            return false;
        return accept(it->saved, it->text, it->position, it->marked);
    }

    // The record of a first walk, as wants() and record() take the record of a face key that
    // keeps to the stored form. False when the record cannot be read again.
    bool walked(const WalkedRecord &walked, WalkedSchedule *schedule, BinaryRecordReader &reader)
    {
        if (m_loose.contains(walked.digest))
            return true;
        m_digest = walked.digest;
        const qsizetype face = faceInOrder(walked.digest);
        if (face >= 0) {
            CardFace &taker = *m_faces[size_t(face)];
            taker.rating = walked.rating;
            taker.progress = walked.progress;
            if (schedule) {
                taker.lastReview = schedule->lastReview;
                taker.nextReview = schedule->nextReview;
                taker.memory = std::move(schedule->memory);
            } else {
                taker.lastReview.reset();
                taker.nextReview.reset();
                taker.memory.reset();
            }
            give(face, walked.digest, walked.markedOrphan);
            return true;
        }
        // The few records that no face meets in order are read again for their text.
        return reader.read(walked.record, [&](std::span<const RawField> fields) {
            std::optional<SavedProgress> saved = savedProgressOf(fields);
            if (!saved)
                return false;
            LooseRecord loose;
            loose.saved = *std::move(saved);
            loose.markedOrphan = isMarkedOrphan(fields);
            looseText(fields, &loose.text, &loose.position);
            m_loose.insert(walked.digest, std::move(loose));
            return true;
        });
    }

    // What the walk cannot know while it walks; false when the file is refused after all.
    bool finish();
    bool markedRecordClaimed() const { return m_markedClaimed; }

private:
    struct Shared
    {
        std::optional<SavedProgress> saved;
        QString text;
        std::optional<qint64> position;
        bool marked = false;
    };
    // A record that breaks the stored form, of a key that may have come before.
    struct Doubtful
    {
        FaceDigest digest;
        qsizetype cursor; // where the walk stood
    };

    static LooseRecord looseRecord(const SavedProgress &saved, const QString &text,
                                   const std::optional<qint64> &position, bool marked)
    {
        LooseRecord loose;
        loose.saved = saved;
        loose.text = text;
        loose.position = position;
        loose.markedOrphan = marked;
        return loose;
    }

    static void looseText(std::span<const RawField> fields, QString *text,
                          std::optional<qint64> *position)
    {
        const RawValue *textValue = nullptr;
        const RawValue *positionValue = nullptr;
        for (const RawField &field : fields) {
            if (field.faceField == TextField)
                textValue = &field.value;
            else if (field.faceField == CardFaceIdField)
                positionValue = &field.value;
        }
        *text = textValue ? textValue->string.toString() : QString();
        if (positionValue && positionValue->type == RawValue::Type::Integer)
            *position = positionValue->integer;
        else
            position->reset();
    }

    // The record of the current key, read or broken: given to the face that stands beside it,
    // else kept by its digest.
    bool accept(const std::optional<SavedProgress> &saved, const QString &text,
                const std::optional<qint64> &position, bool marked)
    {
        if (!saved) {
            // An earlier record of a key that a face took further on is no part of the table;
            // anything else refuses the file.
            if (!m_digest || !m_seen.mayHold(*m_digest))
                return false;
            m_doubtful.append({*m_digest, m_cursor});
            return true;
        }
        if (!m_digest) {
            m_otherKeys.keep();
            return true;
        }
        const qsizetype face = faceInOrder(*m_digest);
        if (face >= 0) {
            applySavedProgress(*m_faces[size_t(face)], *saved);
            give(face, *m_digest, marked);
        } else
            m_loose.insert(*m_digest, looseRecord(*saved, text, position, marked));
        return true;
    }

    // The face has taken the progress of the record of the digest.
    void give(qsizetype face, const FaceDigest &digest, bool marked)
    {
        m_sources[size_t(face)] = FaceRecord::InOrder;
        m_markedClaimed = m_markedClaimed || marked;
        if (m_seen.testAndAdd(digest))
            m_repeated.append(digest);
    }

    // The face that the record of the digest belongs to in file order, if there is one ahead;
    // the walk goes on after it. -1 otherwise.
    qsizetype faceInOrder(const FaceDigest &digest)
    {
        const qsizetype last = std::max<qsizetype>(m_cursor - nearbyFaces, 0);
        for (qsizetype face = m_cursor; face >= last; --face) {
            if (m_digests[size_t(face)] == digest)
                return takeFace(face);
        }
        if (m_cursor < 0 || ++m_misses < missesBeforeWindow)
            return -1;
        // The window holds the faces from m_windowLow to m_windowHigh; it is made again once
        // the walk has gone through half of it.
        if (m_windowHigh < 0 || m_cursor < m_windowHigh - windowFaces / 2) {
            m_window.clear();
            m_windowHigh = m_cursor;
            m_windowLow = std::max<qsizetype>(m_cursor - windowFaces + 1, 0);
            // From the end, so that of faces with the same text the nearest one is kept.
            for (qsizetype face = m_windowHigh; face >= m_windowLow; --face)
                m_window.insert(m_digests[size_t(face)], face);
        }
        const qsizetype *face = m_window.find(digest);
        if (face && *face <= m_cursor)
            return takeFace(*face);
        return -1;
    }

    qsizetype takeFace(qsizetype face)
    {
        m_cursor = face - 1;
        m_misses = 0;
        return face;
    }

    OtherKeys m_otherKeys;
    bool m_refused = false;
    bool m_markedClaimed = false;
    WalkedPastTeller m_teller;
    std::span<CardFace *const> m_faces;
    std::span<const FaceDigest> m_digests;
    std::vector<FaceRecord> &m_sources;
    DigestTable<LooseRecord> &m_loose;
    SeenFilter m_seen;
    // Digests that the filter had seen when a face took them: maybe a key the file repeats.
    QList<FaceDigest> m_repeated;
    QList<Doubtful> m_doubtful;
    // The face the next record is expected for; the walk goes from the last face to the first,
    // as the readers hand the records over from the end of the file.
    qsizetype m_cursor;
    int m_misses = 0;
    DigestTable<qsizetype> m_window;
    qsizetype m_windowLow = -1;
    qsizetype m_windowHigh = -1;
    std::optional<FaceDigest> m_digest;
    // Records that several keys hold, by their place in the file.
    QHash<quint64, Shared> m_shared;
};

bool InOrderMatcher::finish()
{
    const qsizetype count = qsizetype(m_faces.size());
    const auto isInOrder = [&](qsizetype face) {
        return m_sources[size_t(face)] == FaceRecord::InOrder;
    };
    // A broken record is only an older one of a key whose later record a face took before it.
    if (!m_doubtful.isEmpty()) {
        DigestTable<qsizetype> takenAt;
        for (const Doubtful &doubtful : m_doubtful)
            takenAt.insert(doubtful.digest, -1);
        for (qsizetype face = 0; face < count; ++face) {
            if (isInOrder(face)) {
                if (qsizetype *at = takenAt.find(m_digests[size_t(face)]))
                    *at = std::max(*at, face);
            }
        }
        for (const Doubtful &doubtful : m_doubtful) {
            if (*takenAt.find(doubtful.digest) <= doubtful.cursor)
                return false;
        }
    }
    // A key that the file repeats went to faces of the same text more than once: the last
    // record in the file, which the walk met first and gave to the face furthest on, counts.
    if (!m_repeated.isEmpty()) {
        DigestTable<qsizetype> first;
        for (const FaceDigest &digest : m_repeated)
            first.insert(digest, -1);
        for (qsizetype face = count - 1; face >= 0; --face) {
            qsizetype *at = isInOrder(face) ? first.find(m_digests[size_t(face)]) : nullptr;
            if (!at)
                continue;
            if (*at < 0)
                *at = face;
            else
                applySavedProgress(*m_faces[size_t(face)],
                                   savedProgressOfFace(*m_faces[size_t(*at)]));
        }
    }
    // Any record of the same key that the walk met after a face took one is an older one.
    if (!m_loose.isEmpty()) {
        for (qsizetype face = 0; face < count; ++face) {
            if (isInOrder(face)) {
                if (LooseRecord *loose = m_loose.find(m_digests[size_t(face)]))
                    loose->use = LooseRecord::Use::Superseded;
            }
        }
    }
    // Faces that met no record in order: a record kept by digest, or the record that another
    // face of the same text took.
    DigestTable<qsizetype> twins;
    for (qsizetype face = 0; face < count; ++face) {
        if (m_sources[size_t(face)] != FaceRecord::None)
            continue;
        const FaceDigest &digest = m_digests[size_t(face)];
        LooseRecord *loose = m_loose.find(digest);
        if (loose && loose->use != LooseRecord::Use::Superseded) {
            applySavedProgress(*m_faces[size_t(face)], loose->saved);
            loose->use = LooseRecord::Use::Taken;
            m_sources[size_t(face)] = FaceRecord::ByDigest;
            m_markedClaimed = m_markedClaimed || loose->markedOrphan;
        } else if (loose || m_seen.mayHold(digest)) {
            twins.insert(digest, -1);
        }
    }
    if (!twins.isEmpty()) {
        for (qsizetype face = 0; face < count; ++face) {
            if (isInOrder(face)) {
                if (qsizetype *twin = twins.find(m_digests[size_t(face)]); twin && *twin < 0)
                    *twin = face;
            }
        }
        for (qsizetype face = 0; face < count; ++face) {
            if (m_sources[size_t(face)] != FaceRecord::None)
                continue;
            const qsizetype *twin = twins.find(m_digests[size_t(face)]);
            if (twin && *twin >= 0) {
                applySavedProgress(*m_faces[size_t(face)],
                                   savedProgressOfFace(*m_faces[size_t(*twin)]));
                m_sources[size_t(face)] = FaceRecord::ByDigest;
            }
        }
    }
    return true;
}

} // namespace

namespace {

// The faces as they were before a match that failed, and nothing matched.
void undoMatch(std::span<CardFace *const> faces, MatchedRecords *result)
{
    for (size_t face = 0; face < faces.size(); ++face) {
        if (result->sources[face] != FaceRecord::None)
            applySavedProgress(*faces[face], SavedProgress());
    }
    *result = MatchedRecords();
    result->sources.assign(faces.size(), FaceRecord::None);
}

} // namespace

bool matchSavedRecords(QByteArrayView bytes, std::span<CardFace *const> faces,
                       std::span<const FaceDigest> digests, MatchedRecords *result,
                       const std::function<bool(qsizetype, qsizetype)> &walkedPast)
{
    *result = MatchedRecords();
    InOrderMatcher matcher(bytes, faces, digests, *result, walkedPast);
    if (readRawRecords(bytes, matcher) && matcher.finish()) {
        result->markedRecordClaimed = matcher.markedRecordClaimed();
        return true;
    }
    undoMatch(faces, result);
    return false;
}

WalkedRecordsPtr walkSavedRecords(QByteArrayView bytes,
                                  const std::function<bool(qsizetype, qsizetype)> &walkedPast)
{
    if (!bytes.startsWith("bplist00"))
        return nullptr;
    WalkedRecordsPtr records(new WalkedRecords(bytes.size()));
    RecordWalker walker(bytes, *records, walkedPast);
    if (!readBinaryRecords(bytes, walker))
        return nullptr;
    return records;
}

bool matchWalkedRecords(WalkedRecords &records, QByteArrayView bytes,
                        std::span<CardFace *const> faces, std::span<const FaceDigest> digests,
                        MatchedRecords *result)
{
    *result = MatchedRecords();
    const std::function<bool(qsizetype, qsizetype)> none;
    InOrderMatcher matcher(bytes, faces, digests, *result, none);
    BinaryRecordReader reader(bytes);
    const std::span<WalkedSchedule> schedules = records.schedules.items();
    size_t nextSchedule = 0;
    for (const WalkedRecord &record : records.records.items()) {
        WalkedSchedule *schedule = nullptr;
        if (record.scheduled && nextSchedule < schedules.size())
            schedule = &schedules[nextSchedule++];
        if (!matcher.walked(record, schedule, reader)) {
            undoMatch(faces, result);
            return false;
        }
    }
    if (!matcher.finish()) {
        undoMatch(faces, result);
        return false;
    }
    result->markedRecordClaimed = matcher.markedRecordClaimed();
    return true;
}

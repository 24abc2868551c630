#include "core/store/progress_merge.h"

#include <vector>

namespace {

constexpr double secondsPerDay = 86400.0;

QStringView orphanedSinceName()
{
    return QStringView(orphanedSinceKey);
}

// The fields of an old record that go on beside the face that claims it.
QList<StoredField> keptFields(const QList<StoredField> &fields)
{
    QList<StoredField> kept;
    for (const StoredField &field : fields) {
        if (!isFaceFieldName(field.name) && field.name != orphanedSinceName())
            kept.append(field);
    }
    return kept;
}

void removeOrphanMark(QList<StoredField> &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name == orphanedSinceName()) {
            fields.removeAt(i);
            return;
        }
    }
}

// Marks the record as claimed by no face since now, unless it already is; false when it has
// been so for longer than it is kept.
bool markOrphan(QList<StoredField> &fields, const QDateTime &now)
{
    const PlistDate today = plistDateFromDateTime(now);
    for (StoredField &field : fields) {
        if (field.name != orphanedSinceName())
            continue;
        if (const PlistDate *since = std::get_if<PlistDate>(&field.value))
            return today.seconds - since->seconds <= orphanKeepDays * secondsPerDay;
        field.value = today; // a mark of another type counts from now
        return true;
    }
    StoredField &mark = fields.emplaceBack();
    mark.name = QString::fromUtf16(orphanedSinceKey);
    mark.value = today;
    return true;
}

// Where each face key of the disk table is: records written from faces first, then kept ones.
// A table that this version wrote holds the deck's faces in deck order, so a face is first
// looked for right after the record of the face before it, and the keys are only hashed when
// that fails.
class DiskSlots
{
public:
    explicit DiskSlots(const MergedTable &disk) : m_disk(disk) {}

    // The slot of the digest's record; -1 when the disk has none.
    qsizetype find(const FaceDigest &digest)
    {
        if (m_next < m_disk.faces.size() && digestAt(m_next) == digest)
            return m_next++;
        if (!m_hashed)
            hash();
        const auto it = m_slots.constFind(digest);
        if (it == m_slots.cend())
            return -1;
        m_next = *it + 1;
        return *it;
    }

private:
    std::optional<FaceDigest> digestAt(qsizetype slot) const
    {
        return slot < m_disk.faces.size()
                   ? digestFromFaceKey(m_disk.faces.at(slot).key)
                   : digestFromFaceKey(m_disk.kept.at(slot - m_disk.faces.size()).key);
    }

    void hash()
    {
        m_hashed = true;
        m_slots.reserve(m_disk.size());
        for (qsizetype slot = 0; slot < m_disk.size(); ++slot) {
            if (const std::optional<FaceDigest> digest = digestAt(slot))
                m_slots.insert(*digest, slot);
        }
    }

    const MergedTable &m_disk;
    qsizetype m_next = 0;
    bool m_hashed = false;
    QHash<FaceDigest, qsizetype> m_slots;
};

} // namespace

MergedTable mergeProgress(const QList<Card> &cards, MergedTable disk, const FaceChanges &changes,
                          const QDateTime &now)
{
    DiskSlots slots(disk);
    // Whether a face claims each record of the disk: by its text, or as its old text.
    enum Claim : quint8 { Unclaimed, ByText, ByOldText };
    std::vector<Claim> claimed(size_t(disk.size()), Unclaimed);
    const auto extraOf = [&](qsizetype slot) {
        return slot < disk.faces.size() ? keptFields(disk.faces.at(slot).extra)
                                        : keptFields(disk.kept.at(slot - disk.faces.size()).fields);
    };
    // Of faces with the same text the later one counts, at the place of the first: where each
    // record written from a face went, by its slot on disk or, for a face the disk lacks, by
    // its digest.
    std::vector<qsizetype> writtenAt(size_t(disk.size()), -1);
    QHash<FaceDigest, qsizetype> newAt;

    MergedTable out;
    qsizetype faceCount = 0;
    for (const Card &card : cards)
        faceCount += card.faces.size();
    out.faces.reserve(faceCount);
    for (const Card &card : cards) {
        for (const CardFace &face : card.faces) {
            const FaceDigest digest = faceDigest(face.text);
            const qsizetype slot = slots.find(digest);
            const bool fromFace = slot < 0 || changes.contains(digest);
            if (slot >= 0 && claimed[size_t(slot)] == ByText) {
                // A face whose text came before.
                if (fromFace && writtenAt[size_t(slot)] >= 0)
                    out.faces[writtenAt[size_t(slot)]].face = face;
                continue;
            }
            if (slot < 0) {
                const auto it = newAt.constFind(digest);
                if (it != newAt.cend()) {
                    out.faces[*it].face = face;
                    continue;
                }
                newAt.insert(digest, out.faces.size());
            } else {
                claimed[size_t(slot)] = ByText;
            }
            if (fromFace) {
                StoredFace record{faceKey(digest), face};
                if (slot >= 0) {
                    record.extra = extraOf(slot);
                    writtenAt[size_t(slot)] = out.faces.size();
                }
                // The record of the face's old text moves to its new key.
                const auto old = changes.reattached.constFind(digest);
                if (old != changes.reattached.cend()) {
                    const qsizetype oldSlot = slots.find(*old);
                    if (oldSlot >= 0 && claimed[size_t(oldSlot)] == Unclaimed) {
                        claimed[size_t(oldSlot)] = ByOldText;
                        if (slot < 0)
                            record.extra = extraOf(oldSlot);
                    }
                }
                out.faces.append(std::move(record));
            } else if (slot < disk.faces.size()) {
                // The record moves over; its key stays behind, for the faces after this one
                // with the same text to find its slot.
                StoredFace &record = disk.faces[slot];
                out.faces.append(StoredFace{record.key, std::move(record.face),
                                            std::move(record.extra), record.id});
                removeOrphanMark(out.faces.last().extra);
            } else {
                StoredRecord &record = disk.kept[slot - disk.faces.size()];
                out.kept.append(StoredRecord{record.key, std::move(record.fields)});
                removeOrphanMark(out.kept.last().fields);
            }
        }
    }

    for (qsizetype i = 0; i < disk.faces.size(); ++i) {
        if (claimed[size_t(i)] != Unclaimed)
            continue;
        StoredFace record = std::move(disk.faces[i]);
        if (markOrphan(record.extra, now))
            out.faces.append(std::move(record));
    }
    for (qsizetype i = 0; i < disk.kept.size(); ++i) {
        if (claimed[size_t(disk.faces.size() + i)] != Unclaimed)
            continue;
        StoredRecord record = std::move(disk.kept[i]);
        if (markOrphan(record.fields, now))
            out.kept.append(std::move(record));
    }
    return out;
}

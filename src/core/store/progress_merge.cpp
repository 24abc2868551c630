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
    fields.append({QString::fromUtf16(orphanedSinceKey), today});
    return true;
}

struct DeckFace
{
    FaceDigest digest;
    StoredFace record;
};

// The deck's faces, one per text; of faces with the same text the later one counts.
QList<DeckFace> deckFaces(const QList<Card> &cards)
{
    qsizetype count = 0;
    for (const Card &card : cards)
        count += card.faces.size();
    QList<DeckFace> faces;
    faces.reserve(count);
    QHash<FaceDigest, qsizetype> positions;
    positions.reserve(count);
    for (const Card &card : cards) {
        for (const CardFace &face : card.faces) {
            const FaceDigest digest = faceDigest(face.text);
            const auto it = positions.constFind(digest);
            if (it != positions.cend()) {
                faces[*it].record.face = face;
            } else {
                positions.insert(digest, faces.size());
                faces.append({digest, StoredFace{faceKey(digest), face}});
            }
        }
    }
    return faces;
}

} // namespace

MergedTable mergeProgress(const QList<Card> &cards, const MergedTable &disk,
                          const FaceChanges &changes, const QDateTime &now)
{
    // Where each face key of the disk is: records written from faces first, then kept ones.
    QHash<FaceDigest, qsizetype> onDisk;
    onDisk.reserve(disk.size());
    for (qsizetype i = 0; i < disk.faces.size(); ++i) {
        if (const auto digest = digestFromFaceKey(disk.faces.at(i).key))
            onDisk.insert(*digest, i);
    }
    for (qsizetype i = 0; i < disk.kept.size(); ++i) {
        if (const auto digest = digestFromFaceKey(disk.kept.at(i).key))
            onDisk.insert(*digest, disk.faces.size() + i);
    }
    std::vector<bool> claimed(size_t(disk.size()), false);
    const auto extraOf = [&](qsizetype slot) {
        return slot < disk.faces.size() ? keptFields(disk.faces.at(slot).extra)
                                        : keptFields(disk.kept.at(slot - disk.faces.size()).fields);
    };

    MergedTable out;
    const QList<DeckFace> faces = deckFaces(cards);
    out.faces.reserve(faces.size());
    for (const DeckFace &face : faces) {
        const auto slot = onDisk.constFind(face.digest);
        if (slot != onDisk.cend())
            claimed[size_t(*slot)] = true;
        if (slot == onDisk.cend() || changes.contains(face.digest)) {
            StoredFace record = face.record;
            if (slot != onDisk.cend())
                record.extra = extraOf(*slot);
            // The record of the face's old text moves to its new key.
            const auto old = changes.reattached.constFind(face.digest);
            if (old != changes.reattached.cend()) {
                const auto oldSlot = onDisk.constFind(*old);
                if (oldSlot != onDisk.cend() && !claimed[size_t(*oldSlot)]) {
                    claimed[size_t(*oldSlot)] = true;
                    if (slot == onDisk.cend())
                        record.extra = extraOf(*oldSlot);
                }
            }
            out.faces.append(std::move(record));
        } else if (*slot < disk.faces.size()) {
            StoredFace record = disk.faces.at(*slot);
            removeOrphanMark(record.extra);
            out.faces.append(std::move(record));
        } else {
            StoredRecord record = disk.kept.at(*slot - disk.faces.size());
            removeOrphanMark(record.fields);
            out.kept.append(std::move(record));
        }
    }

    for (qsizetype i = 0; i < disk.faces.size(); ++i) {
        if (claimed[size_t(i)])
            continue;
        StoredFace record = disk.faces.at(i);
        if (markOrphan(record.extra, now))
            out.faces.append(std::move(record));
    }
    for (qsizetype i = 0; i < disk.kept.size(); ++i) {
        if (claimed[size_t(disk.faces.size() + i)])
            continue;
        StoredRecord record = disk.kept.at(i);
        if (markOrphan(record.fields, now))
            out.kept.append(std::move(record));
    }
    return out;
}

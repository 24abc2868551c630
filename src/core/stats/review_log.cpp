#include "core/stats/review_log.h"

std::optional<StandingReviews::Change> StandingReviews::takeNewest(std::deque<Change> &changes,
                                                                   const FaceDigest &face)
{
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        if (it->face == face) {
            Change change = std::move(*it);
            changes.erase(std::next(it).base());
            return change;
        }
    }
    return std::nullopt;
}

StandingReviews::Effect StandingReviews::apply(const JournalRecord &record, qsizetype index)
{
    switch (record.kind) {
    case JournalChange::Review:
    case JournalChange::Picker: {
        m_undone.clear();
        const Change change{
            index, record.face, isReview(record), {record.time, record.grade, record.stateBefore}};
        m_done.push_back(change);
        if (m_done.size() > undoLimit)
            m_done.pop_front();
        if (change.isReview)
            return {+1, index, change.review};
        return {};
    }
    case JournalChange::Undo: {
        std::optional<Change> change = takeNewest(m_done, record.face);
        if (!change)
            return {};
        Effect effect;
        if (change->isReview)
            effect = {-1, change->index, change->review};
        m_undone.push_back(std::move(*change));
        return effect;
    }
    case JournalChange::Redo: {
        std::optional<Change> change = takeNewest(m_undone, record.face);
        if (!change)
            return {};
        Effect effect;
        if (change->isReview)
            effect = {+1, change->index, change->review};
        m_done.push_back(std::move(*change));
        return effect;
    }
    case JournalChange::Reattachment:
        break;
    }
    return {};
}

QList<qsizetype> standingReviewIndexes(const QList<JournalRecord> &records)
{
    QList<bool> stands(records.size(), false);
    StandingReviews standing;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const StandingReviews::Effect effect = standing.apply(records[i], i);
        if (effect.sign != 0)
            stands[effect.index] = effect.sign > 0;
    }
    QList<qsizetype> indexes;
    for (qsizetype i = 0; i < stands.size(); ++i) {
        if (stands[i])
            indexes.append(i);
    }
    return indexes;
}

qint64 faceNumber(const FaceDigest &digest)
{
    quint64 number = 0;
    for (int i = 0; i < 8; ++i)
        number = (number << 8) | digest.bytes[std::size_t(i)];
    return qint64(number & 0x7fffffffffffffffULL);
}

QByteArray reviewLogCsv(const QList<JournalRecord> &records)
{
    const QList<qsizetype> indexes = standingReviewIndexes(records);
    QByteArray csv = "card_id,review_time,review_rating,review_state,review_duration\n";
    csv.reserve(csv.size() + indexes.size() * 48);
    for (const qsizetype index : indexes) {
        const JournalRecord &review = records[index];
        csv += QByteArray::number(faceNumber(review.face));
        csv += ',';
        csv += QByteArray::number(review.time);
        csv += ',';
        csv += QByteArray::number(review.grade);
        csv += ',';
        csv += QByteArray::number(int(review.stateBefore));
        csv += ",0\n";
    }
    return csv;
}

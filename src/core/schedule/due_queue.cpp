#include "core/schedule/due_queue.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <vector>

namespace {

// Faces waiting in one group, sorted by due time. Each key packs the due time (in seconds
// from now, which orders any realistic date) above the face's place in `faces`, so one sort of
// plain integers orders by time and then by file order.
class DueGroup
{
public:
    void add(qint64 dueSecs, qsizetype card, qsizetype face)
    {
        constexpr qint64 range = qint64(1) << 31;
        const auto time = quint64(std::clamp(dueSecs, -range, range - 1) + range);
        m_keys.push_back(time << 32 | quint64(m_faces.size()));
        m_faces.push_back({card, face, false});
    }
    void appendSortedTo(QList<QueuedFace> &queue)
    {
        std::sort(m_keys.begin(), m_keys.end());
        for (quint64 key : m_keys)
            queue.append(m_faces[std::size_t(key & 0xffffffffu)]);
    }
    std::size_t size() const { return m_faces.size(); }

private:
    std::vector<quint64> m_keys;
    std::vector<QueuedFace> m_faces;
};

// Keeps the order but moves a face forward past faces of the card shown just before it. Looks
// only a short way into the held-back faces, so a card with very many due faces costs linear
// time; such a card's faces then follow each other, as they must.
QList<QueuedFace> spreadSiblings(const QList<QueuedFace> &ordered,
                                 std::optional<qsizetype> lastCard)
{
    constexpr std::size_t lookAhead = 64;
    QList<QueuedFace> result;
    result.reserve(ordered.size());
    std::deque<QueuedFace> held;
    qsizetype next = 0;
    auto isLast = [&lastCard](const QueuedFace &f) { return lastCard && f.card == *lastCard; };
    while (result.size() < ordered.size()) {
        std::optional<QueuedFace> chosen;
        if (!held.empty() && !isLast(held.front())) {
            chosen = held.front();
            held.pop_front();
        } else {
            while (next < ordered.size() && isLast(ordered.at(next)))
                held.push_back(ordered.at(next++));
            if (next < ordered.size()) {
                chosen = ordered.at(next++);
            } else {
                auto other = std::find_if_not(
                    held.begin(), held.begin() + qsizetype(std::min(held.size(), lookAhead)),
                    isLast);
                if (other == held.begin() + qsizetype(std::min(held.size(), lookAhead)))
                    other = held.begin();
                chosen = *other;
                held.erase(other);
            }
        }
        lastCard = chosen->card;
        result.append(*chosen);
    }
    return result;
}

} // namespace

DueQueue buildDueQueue(const DataFile &deck, const QDateTime &now, const StudyDayClock &clock,
                       qsizetype newLimit, std::optional<qsizetype> afterCard)
{
    constexpr qint64 never = std::numeric_limits<qint64>::max();
    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    const qint64 dayEndMsecs = clock.startOfNextDay(now).toMSecsSinceEpoch();
    DueGroup learning;
    DueGroup review;
    QList<QueuedFace> fresh;
    qint64 nextLearning = never;
    qint64 nextReview = never;

    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        const QList<CardFace> &faces = deck.cards.at(c).faces;
        for (qsizetype f = 0; f < faces.size(); ++f) {
            const CardFace &face = faces.at(f);
            if (face.progress == CardFaceProgress::Archived ||
                face.progress == CardFaceProgress::Abandoned)
                continue;
            if (!face.memory) {
                if (fresh.size() < newLimit)
                    fresh.append({c, f, true});
                continue;
            }
            // A reviewed face without a date is overdue rather than lost.
            const qint64 due = face.nextReview ? face.nextReview->toMSecsSinceEpoch() : nowMsecs;
            if (face.memory->learningStep) {
                if (due <= nowMsecs)
                    learning.add((due - nowMsecs) / 1000, c, f);
                else
                    nextLearning = std::min(nextLearning, due);
            } else if (due < dayEndMsecs) {
                review.add((due - nowMsecs) / 1000, c, f);
            } else {
                nextReview = std::min(nextReview, due);
            }
        }
    }

    QList<QueuedFace> ordered;
    ordered.reserve(qsizetype(learning.size() + review.size()) + fresh.size());
    learning.appendSortedTo(ordered);
    review.appendSortedTo(ordered);
    ordered.append(fresh);

    DueQueue queue;
    queue.faces = spreadSiblings(ordered, afterCard);
    queue.newCount = fresh.size();
    queue.dueCount = ordered.size() - fresh.size();
    if (nextReview != never) {
        const QDateTime reviewDay =
            clock.startOf(clock.studyDay(QDateTime::fromMSecsSinceEpoch(nextReview, Qt::UTC)));
        nextLearning = std::min(nextLearning, reviewDay.toMSecsSinceEpoch());
    }
    if (nextLearning != never)
        queue.nextDue = QDateTime::fromMSecsSinceEpoch(nextLearning, Qt::UTC);
    return queue;
}

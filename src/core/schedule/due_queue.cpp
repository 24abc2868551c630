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
                       qsizetype newLimit, std::optional<qsizetype> afterCard,
                       const std::function<bool()> &stopped)
{
    constexpr qsizetype cardsBetweenLooks = 1024;
    constexpr qint64 never = std::numeric_limits<qint64>::max();
    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    const qint64 dayEndMsecs = clock.startOfNextDay(now).toMSecsSinceEpoch();
    DueGroup learning;
    DueGroup review;
    QList<QueuedFace> fresh;
    qint64 nextLearning = never;
    qint64 nextReview = never;
    bool moreNew = false;

    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        if (stopped && c % cardsBetweenLooks == 0 && stopped())
            return {};
        const QList<CardFace> &faces = deck.cards.at(c).faces;
        for (qsizetype f = 0; f < faces.size(); ++f) {
            const CardFace &face = faces.at(f);
            if (face.progress == CardFaceProgress::Archived ||
                face.progress == CardFaceProgress::Abandoned)
                continue;
            if (!face.memory) {
                if (fresh.size() < newLimit)
                    fresh.append({c, f, true});
                else
                    moreNew = true;
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
    queue.moreNew = moreNew;
    if (nextReview != never) {
        const QDateTime reviewDay =
            clock.startOf(clock.studyDay(QDateTime::fromMSecsSinceEpoch(nextReview, Qt::UTC)));
        nextLearning = std::min(nextLearning, reviewDay.toMSecsSinceEpoch());
    }
    if (nextLearning != never)
        queue.nextDue = QDateTime::fromMSecsSinceEpoch(nextLearning, Qt::UTC);
    return queue;
}

namespace {

bool isWaitingAtAll(const CardFace &face)
{
    return face.progress != CardFaceProgress::Archived &&
           face.progress != CardFaceProgress::Abandoned;
}

// Where a face stands in the order of a full build: learning faces, then learnt ones, each by
// due time and then file order; new faces last in file order.
struct Rank
{
    int group = 0;
    qint64 due = 0;
    qsizetype card = 0;
    qsizetype face = 0;

    friend auto operator<=>(const Rank &, const Rank &) = default;
};

Rank rankOf(const DataFile &deck, const QueuedFace &queued, qint64 nowMsecs)
{
    if (queued.isNew)
        return {2, 0, queued.card, queued.face};
    const CardFace &face = deck.cards.at(queued.card).faces.at(queued.face);
    const qint64 due = face.nextReview ? face.nextReview->toMSecsSinceEpoch() : nowMsecs;
    return {isLearning(face) ? 0 : 1, due, queued.card, queued.face};
}

bool filePosLess(const QueuedFace &a, const QueuedFace &b)
{
    return a.card < b.card || (a.card == b.card && a.face < b.face);
}

} // namespace

void updateDueQueue(DueQueue &queue, const DataFile &deck, qsizetype card, const QDateTime &now,
                    const StudyDayClock &clock, qsizetype newLimit, qsizetype &passedOver)
{
    QList<QueuedFace> &faces = queue.faces;
    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    const qint64 dayEndMsecs = clock.startOfNextDay(now).toMSecsSinceEpoch();

    // The card's faces leave, wherever they wait.
    qsizetype kept = 0;
    const qsizetype tailStart = faces.size() - passedOver;
    for (qsizetype i = 0; i < faces.size(); ++i) {
        const QueuedFace queued = faces.at(i);
        if (queued.card != card) {
            faces[kept++] = queued;
            continue;
        }
        (queued.isNew ? queue.newCount : queue.dueCount) -= 1;
        if (i >= tailStart)
            --passedOver;
    }
    faces.resize(kept);

    // Before every face while no new face is taken.
    QueuedFace lastFresh{-1, -1, true};
    auto findLastFresh = [&] {
        lastFresh = {-1, -1, true};
        for (const QueuedFace &queued : std::as_const(faces)) {
            if (queued.isNew && filePosLess(lastFresh, queued))
                lastFresh = queued;
        }
    };
    findLastFresh();

    auto insertRanked = [&](const QueuedFace &queued) {
        const Rank rank = rankOf(deck, queued, nowMsecs);
        const qsizetype end = faces.size() - passedOver;
        qsizetype at = 0;
        // New faces compare by position alone: no look-up for the faces due before them.
        while (at < end &&
               (faces.at(at).isNew == queued.isNew ? rankOf(deck, faces.at(at), nowMsecs) < rank
                                                   : !faces.at(at).isNew))
            ++at;
        faces.insert(at, queued);
        (queued.isNew ? queue.newCount : queue.dueCount) += 1;
    };

    if (card >= 0 && card < deck.cards.size()) {
        const QList<CardFace> &cardFaces = deck.cards.at(card).faces;
        for (qsizetype f = 0; f < cardFaces.size(); ++f) {
            const CardFace &face = cardFaces.at(f);
            if (!isWaitingAtAll(face))
                continue;
            if (!face.memory) {
                // Beyond the last new face taken, it is taken by the scan below if it fits.
                const QueuedFace fresh{card, f, true};
                if (!queue.moreNew || filePosLess(fresh, lastFresh))
                    insertRanked(fresh);
                continue;
            }
            const qint64 due = face.nextReview ? face.nextReview->toMSecsSinceEpoch() : nowMsecs;
            std::optional<qint64> later;
            if (face.memory->learningStep) {
                if (due <= nowMsecs)
                    insertRanked({card, f, false});
                else
                    later = due;
            } else if (due < dayEndMsecs) {
                insertRanked({card, f, false});
            } else {
                later = clock.startOf(clock.studyDay(QDateTime::fromMSecsSinceEpoch(due, Qt::UTC)))
                            .toMSecsSinceEpoch();
            }
            if (later && (!queue.nextDue || *later < queue.nextDue->toMSecsSinceEpoch()))
                queue.nextDue = QDateTime::fromMSecsSinceEpoch(*later, Qt::UTC);
        }
    }

    // Over the limit: the last new faces in file order wait for another day.
    while (queue.newCount > newLimit) {
        qsizetype last = -1;
        for (qsizetype i = 0; i < faces.size(); ++i) {
            if (faces.at(i).isNew && (last < 0 || filePosLess(faces.at(last), faces.at(i))))
                last = i;
        }
        if (last >= faces.size() - passedOver)
            --passedOver;
        faces.removeAt(last);
        --queue.newCount;
        queue.moreNew = true;
    }

    // Under it: the next new faces after the last one taken, as long as there are more.
    if (queue.newCount < newLimit && queue.moreNew) {
        findLastFresh();
        qsizetype c = std::max<qsizetype>(lastFresh.card, 0);
        qsizetype f = lastFresh.card < 0 ? 0 : lastFresh.face + 1;
        queue.moreNew = false;
        for (; c < deck.cards.size(); ++c, f = 0) {
            const QList<CardFace> &cardFaces = deck.cards.at(c).faces;
            for (; f < cardFaces.size(); ++f) {
                const CardFace &face = cardFaces.at(f);
                if (face.memory || !isWaitingAtAll(face))
                    continue;
                if (queue.newCount >= newLimit) {
                    queue.moreNew = true;
                    break;
                }
                insertRanked({c, f, true});
            }
            if (queue.moreNew)
                break;
        }
    }

    // Another card first, where there is one: the card just studied waits for the others.
    const qsizetype end = faces.size() - passedOver;
    if (end > 1 && faces.first().card == card) {
        for (qsizetype i = 1; i < end; ++i) {
            if (faces.at(i).card != card) {
                faces.move(i, 0);
                break;
            }
        }
    }
}

#pragma once

#include "core/model/records.h"
#include "core/schedule/study_day.h"

#include <QDateTime>
#include <QList>

#include <functional>
#include <optional>

// One face of a deck, by position.
struct QueuedFace
{
    qsizetype card = 0;
    qsizetype face = 0;
    bool isNew = false; // never reviewed: introduced today

    friend bool operator==(const QueuedFace &, const QueuedFace &) = default;
};

// The faces to study now, in the order they are shown: faces in their learning steps whose
// wait is over (soonest first), then learnt faces due this study day (longest due first), then
// new faces in file order, as many as may still be introduced today. Two faces of one card are
// not shown back to back while faces of other cards are waiting. Archived and abandoned faces
// are never due.
struct DueQueue
{
    QList<QueuedFace> faces;
    qsizetype dueCount = 0; // faces that are not new
    qsizetype newCount = 0;
    // When the next face that is not due yet will be: a learning step that ends later today,
    // or the start of the study day on which a learnt face falls due. None when nothing waits.
    std::optional<QDateTime> nextDue;
    // New faces beyond the day's limit wait in the deck.
    bool moreNew = false;
};

// `newLimit`: how many new faces may still be introduced this study day. `afterCard`: the card
// just studied, whose faces wait for others where there are any. `stopped`, if given, is asked
// now and then while the deck is gone through: once it says so, the build stops there and
// gives an empty queue, to be thrown away.
DueQueue buildDueQueue(const DataFile &deck, const QDateTime &now, const StudyDayClock &clock,
                       qsizetype newLimit, std::optional<qsizetype> afterCard = std::nullopt,
                       const std::function<bool()> &stopped = {});

// Brings the queue up to date after the faces of one card changed (a review, an undo, an
// edit), without going through the whole deck: the card's faces leave the queue and each one
// that is waiting goes back to where a full build would put it, new faces are taken up to the
// day's limit, and `nextDue` moves earlier when one of them waits for later. The last
// `passedOver` faces stay last; their count drops for those of the card that leave.
void updateDueQueue(DueQueue &queue, const DataFile &deck, qsizetype card, const QDateTime &now,
                    const StudyDayClock &clock, qsizetype newLimit, qsizetype &passedOver);

// Whether a face is still in its learning steps (reviewed, not yet learnt).
inline bool isLearning(const CardFace &face)
{
    return face.memory && face.memory->learningStep.has_value();
}

#pragma once

#include "core/store/review_journal.h"

#include <QByteArray>
#include <QList>

#include <deque>

// Which reviews of a journal still stand. Undo takes back the newest change of its face that
// stands, redo makes the newest one taken back stand again, and a new change of any face ends
// what could be redone, as the undo history of the window does.
class StandingReviews
{
public:
    // What of a review the statistics count.
    struct Review
    {
        qint64 time = 0;
        quint8 grade = 0;
        SchedulingState stateBefore = SchedulingState::New;
    };
    struct Effect
    {
        int sign = 0;         // +1 a review now counts, -1 one no longer counts, 0 nothing
        qsizetype index = -1; // the review's position in the journal
        Review review;        // that review
    };

    // Feed the journal's records in order, each with its position.
    Effect apply(const JournalRecord &record, qsizetype index);

    // As many changes as the window can undo; older ones can no longer be taken back.
    static constexpr std::size_t undoLimit = 1000;

private:
    // Kept small: a thousand of them are shifted along for every record of a long history.
    struct Change
    {
        qsizetype index = -1;
        FaceDigest face;
        bool isReview = false;
        Review review;
    };
    static bool isReview(const JournalRecord &record)
    {
        return record.kind == JournalChange::Review && record.grade >= 1 && record.grade <= 4;
    }
    static std::optional<Change> takeNewest(std::deque<Change> &changes, const FaceDigest &face);

    std::deque<Change> m_done;
    std::deque<Change> m_undone;
};

// The positions of the reviews that stand, in journal order.
QList<qsizetype> standingReviewIndexes(const QList<JournalRecord> &records);

// A stable number for a face key, as review-log tools expect of a card: the first eight bytes of
// its digest, big-endian, with the top bit cleared so it stays a positive 64-bit integer.
qint64 faceNumber(const FaceDigest &digest);

// The reviews that stand as CSV for the optimizers of the memory model's weights:
// card_id,review_time,review_rating,review_state,review_duration, one line per review, with the
// time in milliseconds since 1970, the grade 1-4, the state the face was in before (0 new,
// 1 learning, 2 review, 3 relearning) and no recorded duration (0).
QByteArray reviewLogCsv(const QList<JournalRecord> &records);

#pragma once

#include "core/model/records.h"
#include "core/model/review_memory.h"
#include "core/schedule/scheduler.h"
#include "core/schedule/study_day.h"
#include "core/stats/review_counts.h"
#include "core/store/progress_table.h"
#include "core/store/review_journal.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>

#include <array>
#include <optional>

// One face of the deck as the statistics see it: where it is, what the user made of it and
// what the scheduler remembers of it. Times are milliseconds since 1970-01-01 UTC.
struct StatsFace
{
    FaceDigest digest;
    qsizetype card = 0;
    qsizetype face = 0;
    qint8 rating = 0;
    CardFaceProgress progress = CardFaceProgress::New;
    std::optional<ReviewMemory> memory;
    std::optional<qint64> lastReview;
    std::optional<qint64> nextReview;
};

inline constexpr int heatmapDays = 365;
inline constexpr int forecastDays = 30;
inline constexpr int retentionMonths = 12;
inline constexpr int hardestFaceCount = 10;

// Upper bounds, in days, of the stability bins; the last bin has none.
inline constexpr std::array<double, 9> stabilityBinEdges = {1, 2, 4, 7, 14, 30, 60, 120, 365};
inline constexpr int stabilityBinCount = int(stabilityBinEdges.size()) + 1;
// Difficulty runs from 1 to 10, one bin per whole step (10 falls into the last).
inline constexpr int difficultyBinCount = 9;

struct HardFace
{
    qsizetype card = 0;
    qsizetype face = 0;
    qint64 lapses = 0;
    friend bool operator==(const HardFace &, const HardFace &) = default;
};

// Every figure of the statistics, as of one instant.
struct StatsFigures
{
    QDate today; // the current study day
    // Reviews per study day over the last heatmapDays days, the oldest first, today last.
    QList<int> reviewsPerDay;
    QList<int> correctPerDay;
    int currentStreak = 0; // days in a row with reviews up to today (or yesterday)
    int longestStreak = 0;
    qint64 totalReviews = 0;
    std::array<qint64, 4> reviewsPerGrade{}; // Again, Hard, Good, Easy

    // Faces falling due per study day from today on; today's also holds the overdue ones.
    QList<int> forecast;
    int dueToday = 0;      // learnt faces due today
    int learningToday = 0; // faces in their learning steps due today
    int newToday = 0;      // new faces still to be introduced today

    // Reviews of learnt faces answered Hard or better, per month, the oldest first.
    QList<MonthRetention> retention;
    double desiredRetention = 0.9;
    // The mean predicted recall now of the faces the scheduler has seen (none: no such face).
    std::optional<double> averageRetention;

    std::array<int, 5> facesPerProgress{}; // in the order of allCardFaceProgresses
    std::array<int, 4> facesPerRating{};   // 0 to 3 dots
    qint64 ratingSum = 0;                  // of every face, as stored
    QList<int> stabilityHistogram;
    QList<int> difficultyHistogram;
    QList<HardFace> hardest; // most lapses first, at most hardestFaceCount

    friend bool operator==(const StatsFigures &, const StatsFigures &) = default;
};

// Where each face of a deck is, by the digest of its text, to follow journal records to their
// faces. Digesting a big deck takes a while, so it can be done on another thread.
using FaceSlots = QMultiHash<FaceDigest, qsizetype>;
FaceSlots faceSlotsByDigest(const DataFile &deck);

// Keeps the figures of one deck up to date. The faces come from the deck, which carries each
// face's schedule; the reviews from the journal. Both are built once, then told of each new
// journal record and each changed face, which costs little however long the history is.
class DeckStatistics
{
public:
    DeckStatistics(const SchedulerParameters &parameters, const StudyDayClock &clock,
                   const QDateTime &now);

    // Everything afresh from the whole journal (in order) and the deck's faces; a face without
    // a schedule in the deck takes the one that the journal last recorded for its text.
    void reset(const QList<JournalRecord> &journal, const DataFile &deck);
    // The faces of a deck, as the deck has them, with the same review counts as before. Journal
    // records are not followed to faces until the faces' slots are given with setCounts.
    void setDeck(const DataFile &deck);
    // The figures of a deck's faces as setDeck gives them, tallied while the deck is read
    // instead of from a copy of its faces: for one look at a deck (a report), at a fraction of
    // the memory and time. The faces are not kept, so their changes are not followed after it,
    // and setNow or setParameters, which tally the kept faces again, clear these figures.
    void tallyDeck(const DataFile &deck);
    // Review counts read apart (see countDeckReviews), and the slots of the faces of the deck
    // last set.
    void setCounts(ReviewCounts counts, FaceSlots slots);
    // A record appended to the journal: its review, and the fields of the faces with its text.
    void addRecord(const JournalRecord &record);
    // A card of the deck changed in place: the fields of its faces.
    void updateCard(qsizetype index, const Card &card);
    // Moves the clock on (a new study day, the retention of faces now).
    void setNow(const QDateTime &now);
    // Other settings of the scheduler (the desired retention, the weights, new faces a day).
    void setParameters(const SchedulerParameters &parameters);

    StatsFigures figures() const;

private:
    void tallyFace(const StatsFace &face, int sign);
    void replaceFace(qsizetype slot, const StatsFace &face);
    void resetFaceFigures();
    void findHardest();
    void keepIfHard(const StatsFace &face);

    SchedulerParameters m_parameters;
    FsrsModel m_model;
    StudyDayClock m_clock;
    qint64 m_now = 0;
    QDate m_today;
    std::array<qint64, forecastDays + 1> m_dayStarts{}; // from today on, ms

    ReviewCounts m_counts;

    QList<StatsFace> m_faces;
    QList<qsizetype> m_cardOffsets; // first slot of each card in m_faces
    FaceSlots m_slotsByDigest;
    QList<int> m_forecast;
    int m_due = 0;
    int m_learning = 0;
    int m_new = 0;
    double m_retentionSum = 0;
    int m_retentionCount = 0;
    std::array<int, 5> m_progress{};
    std::array<int, 4> m_ratings{};
    qint64 m_ratingSum = 0;
    QList<int> m_stability;
    QList<int> m_difficulty;
    QList<HardFace> m_hardest;
};

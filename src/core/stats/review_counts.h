#pragma once

#include "core/schedule/study_day.h"
#include "core/stats/review_log.h"
#include "core/store/review_journal.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QString>

#include <array>

// Reviews and correct answers of one study day.
struct DayBin
{
    int reviews = 0;
    int correct = 0;
    int introduced = 0; // reviews of faces new to the scheduler
    friend bool operator==(const DayBin &, const DayBin &) = default;
};

// Reviews of learnt faces, and how many of them were answered Hard or better, in one month.
struct MonthRetention
{
    QDate month; // its first day
    int reviews = 0;
    int correct = 0;
    friend bool operator==(const MonthRetention &, const MonthRetention &) = default;
};

// What the journal tells of the reviews that stand: counts per study day and per month, and in
// all. Records are taken in one at a time, in journal order, so a history of any length is
// followed at a small, fixed cost per record; an undo takes its review back out of its bins.
class ReviewCounts
{
public:
    explicit ReviewCounts(const StudyDayClock &clock = StudyDayClock());

    void add(const JournalRecord &record);

    // By Julian day of the study day.
    const QMap<qint64, DayBin> &days() const { return m_days; }
    // By year * 12 + month - 1.
    const QMap<qint64, MonthRetention> &months() const { return m_months; }
    qint64 totalReviews() const { return m_totalReviews; }
    const std::array<qint64, 4> &reviewsPerGrade() const { return m_grades; }

private:
    qint64 studyDayOf(qint64 time);

    StudyDayClock m_clock;
    // The study day last found, to spare a time-zone conversion for each record.
    qint64 m_cachedDayStart = 1;
    qint64 m_cachedDayEnd = 0;
    qint64 m_cachedDay = 0;

    StandingReviews m_standing;
    qsizetype m_records = 0;
    QMap<qint64, DayBin> m_days;
    QMap<qint64, MonthRetention> m_months;
    qint64 m_totalReviews = 0;
    std::array<qint64, 4> m_grades{};
};

// A deck's review counts as read from all its journals, and how far each journal was read (the end
// of its last whole record), so that what is appended later can be taken in on its own.
struct JournalCounts
{
    ReviewCounts counts;
    QHash<QString, qint64> readUpTo; // by journal path
};

// Reads every journal of the progress file into review counts, merged in time order as loading the
// deck merges them, without holding the records. Safe to run on a thread of its own.
JournalCounts countDeckReviews(const QString &progressFilePath, const StudyDayClock &clock);

inline qint64 monthKey(QDate day)
{
    return qint64(day.year()) * 12 + day.month() - 1;
}

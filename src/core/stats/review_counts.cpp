#include "core/stats/review_counts.h"

#include "core/store/safe_file.h"

#include <memory>
#include <vector>

namespace {

// Journals are read whole; one this big is no journal of ours.
constexpr qint64 largestJournal = qint64(4) << 30;

} // namespace

ReviewCounts::ReviewCounts(const StudyDayClock &clock) : m_clock(clock)
{
}

qint64 ReviewCounts::studyDayOf(qint64 time)
{
    if (time >= m_cachedDayStart && time < m_cachedDayEnd)
        return m_cachedDay;
    const QDate day = m_clock.studyDay(QDateTime::fromMSecsSinceEpoch(time, Qt::UTC));
    const qint64 start = m_clock.startOf(day).toMSecsSinceEpoch();
    const qint64 end = m_clock.startOf(day.addDays(1)).toMSecsSinceEpoch();
    if (time >= start && time < end) {
        m_cachedDayStart = start;
        m_cachedDayEnd = end;
        m_cachedDay = day.toJulianDay();
    }
    return day.toJulianDay();
}

// A review counts, or an undo takes one back, or a redo puts it back again.
void ReviewCounts::add(const JournalRecord &record)
{
    const StandingReviews::Effect effect = m_standing.apply(record, m_records++);
    if (effect.sign == 0)
        return;
    const StandingReviews::Review &review = effect.review;
    const int sign = effect.sign;
    const bool correct = review.grade >= 2;
    const qint64 day = studyDayOf(review.time);
    DayBin &bin = m_days[day];
    bin.reviews += sign;
    if (correct)
        bin.correct += sign;
    if (review.stateBefore == SchedulingState::New)
        bin.introduced += sign;
    if (review.stateBefore == SchedulingState::Review) {
        MonthRetention &month = m_months[monthKey(QDate::fromJulianDay(day))];
        month.reviews += sign;
        if (correct)
            month.correct += sign;
    }
    m_totalReviews += sign;
    m_grades[std::size_t(review.grade - 1)] += sign;
}

JournalCounts countDeckReviews(const QString &progressFilePath, const StudyDayClock &clock)
{
    JournalCounts read{ReviewCounts(clock), {}};
    if (progressFilePath.isEmpty())
        return read;
    struct Source
    {
        QString path;
        QByteArray bytes;
        std::unique_ptr<JournalReader> reader;
        JournalRecord head;
        bool hasHead = false;
    };
    std::vector<Source> sources;
    const QStringList paths = deckJournalPaths(progressFilePath);
    sources.reserve(std::size_t(paths.size()));
    for (const QString &path : paths) {
        FileRead file = readFileSafely(path, largestJournal, Links::DoNotFollow);
        if (!file.ok())
            continue;
        Source &source = sources.emplace_back();
        source.path = path;
        source.bytes = std::move(file.bytes);
        source.reader = std::make_unique<JournalReader>(source.bytes);
        source.hasHead = source.reader->next(&source.head);
    }
    // Merged by time as readDeckJournal merges them: the earliest head each time, the first
    // journal on a tie, each journal in its own order.
    for (;;) {
        Source *best = nullptr;
        for (Source &source : sources) {
            if (source.hasHead && (!best || source.head.time < best->head.time))
                best = &source;
        }
        if (!best)
            break;
        read.counts.add(best->head);
        best->hasHead = best->reader->next(&best->head);
    }
    for (const Source &source : sources)
        read.readUpTo.insert(source.path, source.reader->soundLength());
    return read;
}

#include "core/schedule/study_day.h"

StudyDayClock::StudyDayClock(QTime dayStart) : m_dayStart(dayStart)
{
}

StudyDayClock::StudyDayClock(QTime dayStart, const QTimeZone &zone)
    : m_dayStart(dayStart), m_zone(zone)
{
}

QDateTime StudyDayClock::inZone(const QDateTime &instant) const
{
    return m_zone ? instant.toTimeZone(*m_zone) : instant.toLocalTime();
}

QDate StudyDayClock::studyDay(const QDateTime &instant) const
{
    const QDateTime local = inZone(instant);
    return local.time() < m_dayStart ? local.date().addDays(-1) : local.date();
}

QDateTime StudyDayClock::startOf(QDate day) const
{
    // Where the start falls into a daylight-saving gap, the day starts at the first wall-clock
    // time after it; half-hour steps find it in every zone's gap.
    for (int step = 0; step <= 6; ++step) {
        const QTime time = m_dayStart.addSecs(step * 1800);
        const QDateTime start = m_zone ? QDateTime(day, time, *m_zone) : QDateTime(day, time);
        if (start.isValid() && inZone(start).time() == time)
            return start.toUTC();
    }
    return QDateTime(day, m_dayStart, Qt::UTC);
}

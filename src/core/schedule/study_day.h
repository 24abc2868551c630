#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <optional>

// A study day runs from one morning to the next (04:00 by default, local time), so a session
// past midnight still counts for the evening it started. Days are found on the wall clock, so a
// daylight-saving change makes one study day 23 or 25 hours long without moving its start.
class StudyDayClock
{
public:
    // Local time, as the system sets it.
    explicit StudyDayClock(QTime dayStart = QTime(4, 0));
    // A given zone, for reports on other machines and for tests.
    StudyDayClock(QTime dayStart, const QTimeZone &zone);

    // The study day an instant belongs to, named by the date on which it starts.
    QDate studyDay(const QDateTime &instant) const;
    // The instant at which a study day starts (in UTC).
    QDateTime startOf(QDate day) const;
    QDateTime startOfNextDay(const QDateTime &instant) const
    {
        return startOf(studyDay(instant).addDays(1));
    }

private:
    QDateTime inZone(const QDateTime &instant) const;

    QTime m_dayStart;
    std::optional<QTimeZone> m_zone;
};

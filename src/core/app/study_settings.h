#pragma once

#include "core/schedule/scheduler.h"

#include <QDate>
#include <QSettings>

// The scheduling preferences, beside "activeFile" and "recentFiles": the user's scheduler
// settings, and per deck title the study mode and how many new faces it introduced on which
// study day (so the daily limit holds across runs and windows).

// The stored settings; defaults for anything missing, and the defaults as a whole when what is
// stored does not validate (a hand-edited file).
SchedulerParameters storedSchedulerParameters(const QSettings &preferences);
void storeSchedulerParameters(QSettings &preferences, const SchedulerParameters &parameters);

enum class StudyMode { InOrder, Due };
// A deck opened for the first time is studied in order.
StudyMode storedStudyMode(const QSettings &preferences, const QString &deckTitle);
void storeStudyMode(QSettings &preferences, const QString &deckTitle, StudyMode mode);

// New faces of the deck first reviewed on the study day.
qsizetype newFacesIntroduced(const QSettings &preferences, const QString &deckTitle,
                             QDate studyDay);
void countNewFaceIntroduced(QSettings &preferences, const QString &deckTitle, QDate studyDay);

// The reviews of the deck on one study day, and how many of them were recalled (any grade but
// Again).
struct DayReviews
{
    qsizetype reviewed = 0;
    qsizetype recalled = 0;

    friend bool operator==(const DayReviews &, const DayReviews &) = default;
};
DayReviews reviewsOfDay(const QSettings &preferences, const QString &deckTitle, QDate studyDay);
void countReview(QSettings &preferences, const QString &deckTitle, QDate studyDay, bool recalled);
// Takes back a review of the study day that was undone; `wasNew`: it was the face's first.
void uncountReview(QSettings &preferences, const QString &deckTitle, QDate studyDay, bool recalled,
                   bool wasNew);

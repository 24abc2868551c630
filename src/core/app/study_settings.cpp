#include "core/app/study_settings.h"

#include "core/app/preferences_writer.h"
#include "core/store/progress_store.h"

#include <QStringList>

#include <algorithm>

namespace {

const QString retentionKey = QStringLiteral("scheduler/desiredRetention");
const QString newPerDayKey = QStringLiteral("scheduler/newFacesPerDay");
const QString weightsKey = QStringLiteral("scheduler/weights");

// One group per deck title; the empty title gets a name no title has, as its progress file.
QString deckKey(const QString &deckTitle, const char *name)
{
    const QString title =
        deckTitle.isEmpty() ? QString::fromUtf16(untitledProgressName) : deckTitle;
    // Keys are paths in the preferences: a title may hold any character but "/".
    return QStringLiteral("decks/") + QString::fromLatin1(title.toUtf8().toPercentEncoding()) +
           u'/' + QLatin1StringView(name);
}

} // namespace

SchedulerParameters storedSchedulerParameters(const QSettings &preferences)
{
    SchedulerParameters parameters;
    bool ok = false;
    const double retention = preferences.value(retentionKey).toDouble(&ok);
    if (ok)
        parameters.desiredRetention = retention;
    const int newPerDay = preferences.value(newPerDayKey).toInt(&ok);
    if (ok)
        parameters.newFacesPerDay = newPerDay;
    const QString weights = preferences.value(weightsKey).toString();
    if (!weights.isEmpty()) {
        if (const std::optional<FsrsWeights> parsed = parseWeights(weights, nullptr))
            parameters.weights = *parsed;
    }
    if (!parameters.validate(nullptr))
        return {};
    return parameters;
}

void storeSchedulerParameters(QSettings &preferences, const SchedulerParameters &parameters)
{
    preferences.setValue(retentionKey, parameters.desiredRetention);
    preferences.setValue(newPerDayKey, parameters.newFacesPerDay);
    if (parameters.weights == defaultFsrsWeights)
        preferences.remove(weightsKey);
    else
        preferences.setValue(weightsKey, weightsText(parameters.weights));
    savePreferences(preferences);
}

StudyMode storedStudyMode(const QSettings &preferences, const QString &deckTitle)
{
    return preferences.value(deckKey(deckTitle, "studyMode")).toString() == u"due"
               ? StudyMode::Due
               : StudyMode::InOrder;
}

void storeStudyMode(QSettings &preferences, const QString &deckTitle, StudyMode mode)
{
    preferences.setValue(deckKey(deckTitle, "studyMode"), mode == StudyMode::Due
                                                              ? QStringLiteral("due")
                                                              : QStringLiteral("inOrder"));
    savePreferences(preferences);
}

qsizetype newFacesIntroduced(const QSettings &preferences, const QString &deckTitle, QDate studyDay)
{
    // Stored as "day count", so a count from another day reads as none.
    const QStringList stored =
        preferences.value(deckKey(deckTitle, "newFaces")).toString().split(u' ');
    if (stored.size() != 2 || QDate::fromString(stored[0], Qt::ISODate) != studyDay)
        return 0;
    return std::max<qsizetype>(stored[1].toLongLong(), 0);
}

void countNewFaceIntroduced(QSettings &preferences, const QString &deckTitle, QDate studyDay)
{
    const qsizetype count = newFacesIntroduced(preferences, deckTitle, studyDay) + 1;
    preferences.setValue(deckKey(deckTitle, "newFaces"),
                         studyDay.toString(Qt::ISODate) + u' ' + QString::number(count));
    savePreferences(preferences);
}

DayReviews reviewsOfDay(const QSettings &preferences, const QString &deckTitle, QDate studyDay)
{
    // Stored as "day reviewed recalled"; a count from another day reads as none.
    const QStringList stored =
        preferences.value(deckKey(deckTitle, "reviews")).toString().split(u' ');
    if (stored.size() != 3 || QDate::fromString(stored[0], Qt::ISODate) != studyDay)
        return {};
    const qsizetype reviewed = std::max<qsizetype>(stored[1].toLongLong(), 0);
    return {reviewed, std::clamp<qsizetype>(stored[2].toLongLong(), 0, reviewed)};
}

void countReview(QSettings &preferences, const QString &deckTitle, QDate studyDay, bool recalled)
{
    DayReviews day = reviewsOfDay(preferences, deckTitle, studyDay);
    ++day.reviewed;
    if (recalled)
        ++day.recalled;
    preferences.setValue(deckKey(deckTitle, "reviews"), studyDay.toString(Qt::ISODate) + u' ' +
                                                            QString::number(day.reviewed) + u' ' +
                                                            QString::number(day.recalled));
    savePreferences(preferences);
}

void uncountReview(QSettings &preferences, const QString &deckTitle, QDate studyDay, bool recalled,
                   bool wasNew)
{
    DayReviews day = reviewsOfDay(preferences, deckTitle, studyDay);
    if (day.reviewed > 0) {
        --day.reviewed;
        if (recalled && day.recalled > 0)
            --day.recalled;
        day.recalled = std::min(day.recalled, day.reviewed);
        preferences.setValue(deckKey(deckTitle, "reviews"),
                             studyDay.toString(Qt::ISODate) + u' ' + QString::number(day.reviewed) +
                                 u' ' + QString::number(day.recalled));
    }
    const qsizetype introduced = newFacesIntroduced(preferences, deckTitle, studyDay);
    if (wasNew && introduced > 0)
        preferences.setValue(deckKey(deckTitle, "newFaces"), studyDay.toString(Qt::ISODate) + u' ' +
                                                                 QString::number(introduced - 1));
    savePreferences(preferences);
}

#pragma once

#include "core/model/records.h"
#include "core/schedule/fsrs.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The user's scheduling settings.
struct SchedulerParameters
{
    FsrsWeights weights = defaultFsrsWeights;
    double desiredRetention = 0.9;
    qint64 maximumInterval = 36500;  // days
    QList<int> learningSteps{1, 10}; // minutes
    QList<int> relearningSteps{10};  // minutes
    bool fuzz = true;
    int newFacesPerDay = 20;

    static constexpr double lowestRetention = 0.70;
    static constexpr double highestRetention = 0.97;

    // On failure `error` names the first bad value.
    [[nodiscard]] bool validate(QString *error) const;
};

enum class SchedulePhase { New, Learning, Review, Relearning };

// The scheduling fields of one face.
struct FaceSchedule
{
    std::optional<ReviewMemory> memory; // none: new to the scheduler
    std::optional<QDateTime> lastReview;
    std::optional<QDateTime> nextReview;

    SchedulePhase phase() const;

    friend bool operator==(const FaceSchedule &, const FaceSchedule &) = default;
};

inline FaceSchedule scheduleOf(const CardFace &face)
{
    return {face.memory, face.lastReview, face.nextReview};
}

inline void setSchedule(CardFace &face, const FaceSchedule &schedule)
{
    face.memory = schedule.memory;
    face.lastReview = schedule.lastReview;
    face.nextReview = schedule.nextReview;
}

// Whether two records agree in everything but their schedule.
inline bool sameBesidesSchedule(const CardFace &a, CardFace b)
{
    setSchedule(b, scheduleOf(a));
    return a == b;
}

// A uniform draw from [0, 1). Injected so that fuzzed intervals can be repeated.
using UniformSource = std::function<double()>;
// The process's random generator.
UniformSource systemUniformSource();

// Spreads an interval of whole days a little, so that faces learnt together do not stay due
// together forever. Intervals under 2.5 days are kept.
qint64 fuzzedInterval(qint64 days, qint64 maximumInterval, const UniformSource &uniform);

// Whole 24-hour periods from one instant to a later one (0 when it is not later).
qint64 elapsedDays(const QDateTime &from, const QDateTime &to);

class Scheduler
{
public:
    // The parameters must be valid.
    explicit Scheduler(const SchedulerParameters &parameters = {});

    const SchedulerParameters &parameters() const { return m_parameters; }
    const FsrsModel &model() const { return m_model; }

    // The face's schedule after a review at `now`. The random source is drawn only when
    // fuzz is on and the interval is long enough for it.
    FaceSchedule review(const FaceSchedule &schedule, Grade grade, const QDateTime &now,
                        const UniformSource &uniform) const;

    // The predicted probability of recalling a face at `now`; none for a new face.
    std::optional<double> retrievability(const FaceSchedule &schedule, const QDateTime &now) const;

private:
    struct Step
    {
        std::optional<qint64> index; // none: the face leaves its steps
        int minutes = 0;
    };
    Step nextStep(const QList<int> &steps, std::optional<qint64> current, Grade grade) const;

    SchedulerParameters m_parameters;
    FsrsModel m_model;
};

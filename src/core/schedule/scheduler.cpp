#include "core/schedule/scheduler.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 msecsPerDay = 24 * 60 * 60 * 1000;

// Counts from a stored record may be anything; they stop at the largest value.
qint64 countOneMore(qint64 count)
{
    return count >= std::numeric_limits<qint64>::max() ? count : std::max<qint64>(count, 0) + 1;
}

bool validSteps(const QList<int> &steps)
{
    return std::all_of(steps.begin(), steps.end(), [](int minutes) { return minutes > 0; });
}

} // namespace

bool SchedulerParameters::validate(QString *error) const
{
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!validateWeights(weights, error))
        return false;
    // Written so that NaN fails too.
    if (!(desiredRetention >= lowestRetention && desiredRetention <= highestRetention)) {
        return fail(QCoreApplication::translate(
                        "Scheduler", "Desired retention is %1; it must lie between %2 and %3.")
                        .arg(QLocale::c().toString(desiredRetention, 'g', 6),
                             QLocale::c().toString(lowestRetention, 'f', 2),
                             QLocale::c().toString(highestRetention, 'f', 2)));
    }
    if (maximumInterval < 1 || double(maximumInterval) > maximumStability) {
        return fail(QCoreApplication::translate(
                        "Scheduler", "Maximum interval is %1 days; it must lie between 1 and %2.")
                        .arg(maximumInterval)
                        .arg(qint64(maximumStability)));
    }
    if (!validSteps(learningSteps) || !validSteps(relearningSteps))
        return fail(QCoreApplication::translate(
            "Scheduler", "Every learning step must last at least one minute."));
    if (newFacesPerDay < 0)
        return fail(QCoreApplication::translate("Scheduler",
                                                "New faces per day is %1; it cannot be negative.")
                        .arg(newFacesPerDay));
    return true;
}

SchedulePhase FaceSchedule::phase() const
{
    if (!memory)
        return SchedulePhase::New;
    if (!memory->learningStep)
        return SchedulePhase::Review;
    // Only a learnt face can lapse, so a face in its steps that has lapsed is relearning.
    return memory->lapses > 0 ? SchedulePhase::Relearning : SchedulePhase::Learning;
}

UniformSource systemUniformSource()
{
    return [] { return QRandomGenerator::global()->generateDouble(); };
}

qint64 fuzzedInterval(qint64 days, qint64 maximumInterval, const UniformSource &uniform)
{
    const double interval = double(days);
    if (interval < 2.5 || !uniform)
        return days;
    // Wider the longer the interval: 15 % of the part from 2.5 to 7 days, 10 % up to 20,
    // 5 % beyond.
    auto part = [interval](double from, double to) {
        return std::max(std::min(interval, to) - from, 0.0);
    };
    const double delta = 1 + 0.15 * part(2.5, 7) + 0.10 * part(7, 20) +
                         0.05 * part(20, std::numeric_limits<double>::infinity());
    const qint64 high = std::min(qint64(std::round(interval + delta)), maximumInterval);
    const qint64 low = std::min(std::max<qint64>(2, qint64(std::round(interval - delta))), high);
    const double u = std::clamp(uniform(), 0.0, 1.0);
    return std::min(low + qint64(u * double(high - low + 1)), high);
}

qint64 elapsedDays(const QDateTime &from, const QDateTime &to)
{
    const qint64 msecs = from.msecsTo(to);
    return msecs > 0 ? msecs / msecsPerDay : 0;
}

Scheduler::Scheduler(const SchedulerParameters &parameters)
    : m_parameters(parameters), m_model(parameters.weights)
{
}

Scheduler::Step Scheduler::nextStep(const QList<int> &steps, std::optional<qint64> current,
                                    Grade grade) const
{
    if (steps.isEmpty())
        return {};
    const qint64 count = steps.size();
    // A face that has not started its steps stands at the first; a step beyond the list (the
    // steps were shortened since) counts as the last.
    const qint64 at = std::clamp<qint64>(current.value_or(0), 0, count - 1);
    switch (grade) {
    case Grade::Again:
        return {0, steps.first()};
    case Grade::Hard:
        // Between Again and Good on the first step; the same step again later on.
        if (at == 0) {
            const double minutes = count > 1 ? (steps[0] + steps[1]) / 2.0 : steps[0] * 1.5;
            return {0, int(std::round(minutes))};
        }
        return {at, steps[at]};
    case Grade::Good:
        if (at + 1 < count)
            return {at + 1, steps[at + 1]};
        return {};
    case Grade::Easy:
        break;
    }
    return {};
}

FaceSchedule Scheduler::review(const FaceSchedule &schedule, Grade grade, const QDateTime &now,
                               const UniformSource &uniform) const
{
    const SchedulePhase phase = schedule.phase();
    ReviewMemory memory = schedule.memory.value_or(ReviewMemory{});
    MemoryState state;
    if (phase == SchedulePhase::New) {
        state = m_model.initialState(grade);
    } else {
        const qint64 days = schedule.lastReview ? elapsedDays(*schedule.lastReview, now) : 0;
        state = m_model.nextState({memory.stability, memory.difficulty}, days, grade);
    }
    memory.stability = state.stability;
    memory.difficulty = state.difficulty;
    memory.reviews = countOneMore(memory.reviews);

    Step step;
    switch (phase) {
    case SchedulePhase::New:
    case SchedulePhase::Learning:
        step = nextStep(m_parameters.learningSteps, memory.learningStep, grade);
        break;
    case SchedulePhase::Relearning:
        step = nextStep(m_parameters.relearningSteps, memory.learningStep, grade);
        break;
    case SchedulePhase::Review:
        if (grade == Grade::Again) {
            memory.lapses = countOneMore(memory.lapses);
            step = nextStep(m_parameters.relearningSteps, std::nullopt, grade);
        }
        break;
    }

    FaceSchedule next;
    next.lastReview = now.toUTC();
    memory.learningStep = step.index;
    if (step.index) {
        next.nextReview = next.lastReview->addSecs(qint64(step.minutes) * 60);
    } else {
        qint64 days = m_model.roundedInterval(state.stability, m_parameters.desiredRetention,
                                              m_parameters.maximumInterval);
        if (m_parameters.fuzz)
            days = fuzzedInterval(days, m_parameters.maximumInterval, uniform);
        // Whole 24-hour periods, so that reviewing exactly when due counts those days.
        next.nextReview = next.lastReview->addMSecs(days * msecsPerDay);
    }
    next.memory = memory;
    return next;
}

std::optional<double> Scheduler::retrievability(const FaceSchedule &schedule,
                                                const QDateTime &now) const
{
    if (!schedule.memory)
        return std::nullopt;
    const qint64 days = schedule.lastReview ? elapsedDays(*schedule.lastReview, now) : 0;
    return m_model.retrievability(double(days), schedule.memory->stability);
}

#include "core/schedule/fsrs.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

struct WeightRange
{
    double low;
    double high;
};

// The ranges the model is fitted within; outside them stability or difficulty can run away
// (a decay of 0 divides by zero, a negative growth factor shrinks a recalled memory).
constexpr std::array<WeightRange, fsrsWeightCount> weightRanges = {{
    {0.001, 100},  {0.001, 100},  {0.001, 100}, {0.001, 100}, // initial stability by grade
    {1, 10},                                                  // initial difficulty
    {0.001, 4},                                               // difficulty by grade
    {0.001, 4},                                               // difficulty change
    {0.001, 0.75},                                            // mean reversion
    {0, 4.5},      {0, 0.8},      {0.001, 3.5},               // growth on recall
    {0.001, 5},    {0.001, 0.25}, {0.001, 0.9}, {0, 4},       // stability after a lapse
    {0, 1},                                                   // Hard penalty
    {1, 6},                                                   // Easy bonus
    {0, 2},        {0, 2},        {0, 0.8},                   // same-day reviews
    {0.1, 0.8},                                               // decay of the forgetting curve
}};

QString number(double value)
{
    return QLocale::c().toString(value, 'g', 10);
}

double clampDifficulty(double d)
{
    return std::clamp(d, 1.0, 10.0);
}

double clampStability(double s)
{
    return std::clamp(s, minimumStability, maximumStability);
}

int gradeValue(Grade grade)
{
    return static_cast<int>(grade);
}

} // namespace

bool validateWeights(const FsrsWeights &weights, QString *error)
{
    for (int i = 0; i < fsrsWeightCount; ++i) {
        const double w = weights[std::size_t(i)];
        const WeightRange range = weightRanges[std::size_t(i)];
        // Written so that NaN fails too.
        if (!(w >= range.low && w <= range.high)) {
            if (error) {
                *error = QCoreApplication::translate(
                             "Scheduler", "Weight w%1 is %2; it must lie between %3 and %4.")
                             .arg(i)
                             .arg(number(w), number(range.low), number(range.high));
            }
            return false;
        }
    }
    return true;
}

std::optional<FsrsWeights> parseWeights(QStringView text, QString *error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList parts = text.toString().split(separators, Qt::SkipEmptyParts);
    if (parts.size() != fsrsWeightCount) {
        if (error)
            *error = QCoreApplication::translate("Scheduler", "Expected %1 weights, found %2.")
                         .arg(fsrsWeightCount)
                         .arg(parts.size());
        return std::nullopt;
    }
    FsrsWeights weights{};
    for (int i = 0; i < fsrsWeightCount; ++i) {
        bool ok = false;
        const double value = QLocale::c().toDouble(parts[i], &ok);
        if (!ok) {
            if (error)
                *error =
                    QCoreApplication::translate("Scheduler", "Weight w%1, \"%2\", is not a number.")
                        .arg(i)
                        .arg(parts[i]);
            return std::nullopt;
        }
        weights[std::size_t(i)] = value;
    }
    if (!validateWeights(weights, error))
        return std::nullopt;
    return weights;
}

QString weightsText(const FsrsWeights &weights)
{
    QStringList parts;
    for (double w : weights)
        parts << number(w);
    return parts.join(QStringLiteral(", "));
}

FsrsModel::FsrsModel(const FsrsWeights &weights)
    : m_w(weights), m_decay(weights[20]), m_factor(std::pow(0.9, -1.0 / weights[20]) - 1)
{
}

double FsrsModel::retrievability(double elapsedDays, double stability) const
{
    return std::pow(1 + m_factor * std::max(elapsedDays, 0.0) / stability, -m_decay);
}

double FsrsModel::interval(double stability, double desiredRetention) const
{
    return stability / m_factor * (std::pow(desiredRetention, -1 / m_decay) - 1);
}

qint64 FsrsModel::roundedInterval(double stability, double desiredRetention,
                                  qint64 maximumInterval) const
{
    const double days = std::round(interval(stability, desiredRetention));
    // Compared as doubles first: a tiny retention gives more days than an integer holds.
    if (!(days < double(maximumInterval)))
        return std::max<qint64>(maximumInterval, 1);
    return std::max<qint64>(qint64(days), 1);
}

MemoryState FsrsModel::initialState(Grade grade) const
{
    return {clampStability(m_w[std::size_t(gradeValue(grade) - 1)]),
            clampDifficulty(initialDifficulty(grade))};
}

MemoryState FsrsModel::nextState(MemoryState state, qint64 elapsedDays, Grade grade) const
{
    state.stability = clampStability(state.stability);
    state.difficulty = clampDifficulty(state.difficulty);
    double stability = 0;
    if (elapsedDays <= 0) {
        stability = sameDayStability(state.stability, grade);
    } else {
        const double r = retrievability(double(elapsedDays), state.stability);
        stability =
            grade == Grade::Again ? lapseStability(state, r) : recallStability(state, r, grade);
    }
    // Both from the old state: the new difficulty does not feed the new stability.
    return {clampStability(stability), nextDifficulty(state.difficulty, grade)};
}

double FsrsModel::initialDifficulty(Grade grade) const
{
    return m_w[4] - std::exp(m_w[5] * (gradeValue(grade) - 1)) + 1;
}

double FsrsModel::nextDifficulty(double difficulty, Grade grade) const
{
    const double change = -m_w[6] * (gradeValue(grade) - 3);
    // Damped: the nearer to 10, the smaller the step up.
    const double damped = difficulty + change * (10 - difficulty) / 9;
    // Reverts towards the difficulty of a first Easy. That target is deliberately left
    // unclamped (below 1 with the default weights); clamping it would change every state.
    const double reverted = m_w[7] * initialDifficulty(Grade::Easy) + (1 - m_w[7]) * damped;
    return clampDifficulty(reverted);
}

double FsrsModel::recallStability(MemoryState state, double retrievability, Grade grade) const
{
    const double hardPenalty = grade == Grade::Hard ? m_w[15] : 1;
    const double easyBonus = grade == Grade::Easy ? m_w[16] : 1;
    const double s = state.stability;
    return s * (1 + std::exp(m_w[8]) * (11 - state.difficulty) * std::pow(s, -m_w[9]) *
                        (std::exp(m_w[10] * (1 - retrievability)) - 1) * hardPenalty * easyBonus);
}

double FsrsModel::lapseStability(MemoryState state, double retrievability) const
{
    const double s = state.stability;
    const double forgotten = m_w[11] * std::pow(state.difficulty, -m_w[12]) *
                             (std::pow(s + 1, m_w[13]) - 1) *
                             std::exp(m_w[14] * (1 - retrievability));
    // A lapse never leaves the memory stronger than a same-day Again would.
    return std::min(forgotten, s / std::exp(m_w[17] * m_w[18]));
}

double FsrsModel::sameDayStability(double stability, Grade grade) const
{
    double factor =
        std::exp(m_w[17] * (gradeValue(grade) - 3 + m_w[18])) * std::pow(stability, -m_w[19]);
    // Recalling a face again the same day never weakens it.
    if (grade != Grade::Again)
        factor = std::max(factor, 1.0);
    return stability * factor;
}

#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The FSRS-6 memory model: how stability and difficulty of a memory change with each review,
// and how likely recall is after a number of days.

inline constexpr int fsrsWeightCount = 21;
using FsrsWeights = std::array<double, fsrsWeightCount>;

// Fitted on a large public set of review histories; users may fit their own.
inline constexpr FsrsWeights defaultFsrsWeights = {
    0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001,  1.8722, 0.1666, 0.796,
    1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};

// How well a face was recalled.
enum class Grade : int { Again = 1, Hard = 2, Good = 3, Easy = 4 };

inline constexpr double minimumStability = 0.001;
inline constexpr double maximumStability = 36500;

struct MemoryState
{
    double stability = 0;
    double difficulty = 0;
};

// Checks every weight against the range the model is defined on. On failure `error` names the
// first bad weight and its value.
[[nodiscard]] bool validateWeights(const FsrsWeights &weights, QString *error);

// Reads 21 numbers separated by commas or white space, as a user writes them; the weights are
// validated too. On failure `error` names the bad value.
std::optional<FsrsWeights> parseWeights(QStringView text, QString *error);
// The weights as parseWeights reads them back.
QString weightsText(const FsrsWeights &weights);

class FsrsModel
{
public:
    // The weights must be valid (validateWeights).
    explicit FsrsModel(const FsrsWeights &weights = defaultFsrsWeights);

    const FsrsWeights &weights() const { return m_w; }

    // The probability of recall `elapsedDays` after a review that left `stability`.
    double retrievability(double elapsedDays, double stability) const;
    // Days until recall falls to `desiredRetention`, before any rounding.
    double interval(double stability, double desiredRetention) const;
    // The same in whole days, at least one and at most `maximumInterval`.
    qint64 roundedInterval(double stability, double desiredRetention, qint64 maximumInterval) const;

    MemoryState initialState(Grade grade) const;
    // The state after a review `elapsedDays` whole days after the previous one (0: same day).
    MemoryState nextState(MemoryState state, qint64 elapsedDays, Grade grade) const;

private:
    double initialDifficulty(Grade grade) const; // not clamped
    double nextDifficulty(double difficulty, Grade grade) const;
    double recallStability(MemoryState state, double retrievability, Grade grade) const;
    double lapseStability(MemoryState state, double retrievability) const;
    double sameDayStability(double stability, Grade grade) const;

    FsrsWeights m_w;
    double m_decay;
    double m_factor;
};

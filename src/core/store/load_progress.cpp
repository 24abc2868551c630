#include "core/store/load_progress.h"

#include <algorithm>

namespace {

// What each step costs per byte, relative to one another, as timed on a deck of a million
// cards: cutting the text costs most per byte; the progress file is mapped and its records
// walked (beside the deck, on a thread of their own); the merge hashes every face (by the
// deck's size) and gives each face the record walked beside it (by the file's size).
constexpr double deckCost = 1.0;
constexpr double progressFileCost = 0.4;
constexpr double mergeDeckCost = 0.2;
constexpr double mergeProgressFileCost = 0.03;

} // namespace

LoadProgress::LoadProgress(std::function<void(double)> told, std::function<bool()> cancelled)
    : m_told(std::move(told)), m_cancelled(std::move(cancelled))
{
    setSizes(1, 2);
}

void LoadProgress::setSizes(qint64 deckBytes, qint64 progressBytes)
{
    const double deck = double(std::max<qint64>(deckBytes, 0));
    const double progress = double(std::max<qint64>(progressBytes, 0));
    std::array<double, stepCount> costs{deck * deckCost, progress * progressFileCost,
                                        deck * mergeDeckCost + progress * mergeProgressFileCost};
    double total = 0;
    for (double cost : costs)
        total += cost;
    std::lock_guard lock(m_mutex);
    for (int i = 0; i < stepCount; ++i)
        m_weights[i] = total > 0 ? costs[i] / total : 1.0 / stepCount;
}

void LoadProgress::advance(Step step, double fraction)
{
    const int index = int(step);
    std::lock_guard lock(m_mutex);
    m_done[index] = std::max(m_done[index], std::clamp(fraction, 0.0, 1.0));
    double whole = 0;
    bool finished = true;
    for (int i = 0; i < stepCount; ++i) {
        whole += m_weights[i] * m_done[i];
        finished = finished && m_done[i] == 1.0;
    }
    // The whole only once every step is done, whatever the rounding. Weights changed by
    // setSizes after a step began may make the sum dip: that is never told.
    const int thousandths = finished ? 1000 : std::clamp(int(whole * 1000), 0, 999);
    if (thousandths <= m_toldThousandths)
        return;
    m_toldThousandths = thousandths;
    // Told under the lock, so that two threads never tell their shares out of order.
    if (m_told)
        m_told(thousandths / 1000.0);
}

double LoadProgress::fraction() const
{
    std::lock_guard lock(m_mutex);
    return m_toldThousandths / 1000.0;
}

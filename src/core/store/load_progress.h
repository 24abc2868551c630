#pragma once

#include <QtGlobal>

#include <array>
#include <functional>
#include <mutex>

// How far one reading of a deck has got, and whether it is still wanted. The reading's steps
// tell their own share done; the share of the whole reading is theirs weighted by what each
// usually costs for files of the sizes given, so that it moves at an even pace from the first
// step to the last. The deck and the progress file are read on two threads at once: every
// member may be called from any thread.
class LoadProgress
{
public:
    enum class Step {
        Deck,         // reading the deck's file and cutting it into cards
        ProgressFile, // reading the progress file and the journals
        Merge,        // hashing the faces' texts, walking the progress file beside them
    };

    // Tells nobody and is never cancelled.
    LoadProgress() = default;
    // told: the share of the whole reading, from 0 to 1, each time it grows by a thousandth
    // (never less than the time before). cancelled, if given, says whether the reading is still
    // wanted; it is asked between the reading's steps and pieces, from their threads.
    explicit LoadProgress(std::function<void(double)> told, std::function<bool()> cancelled = {});
    LoadProgress(const LoadProgress &) = delete;
    LoadProgress &operator=(const LoadProgress &) = delete;

    // The sizes of the files read, which weigh the steps. Without them the steps weigh as for
    // a deck whose progress file is twice its size, the usual proportion.
    void setSizes(qint64 deckBytes, qint64 progressBytes);
    // The share of the step done so far, from 0 to 1.
    void advance(Step step, double fraction);
    // Whether the reading should stop where it is: whatever it gives is thrown away.
    bool isCancelled() const { return m_cancelled && m_cancelled(); }
    // The share of the whole reading told so far.
    double fraction() const;

private:
    static constexpr int stepCount = 3;
    mutable std::mutex m_mutex;
    std::function<void(double)> m_told;
    std::function<bool()> m_cancelled;
    std::array<double, stepCount> m_weights{};
    std::array<double, stepCount> m_done{};
    int m_toldThousandths = 0;
};

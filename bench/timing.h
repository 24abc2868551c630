#pragma once

#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <ctime>

// The best wall time of `runs` calls of f, in milliseconds.
template <typename F> double bestOf(int runs, F &&f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Processor time of the calling thread, in milliseconds: the main thread's own work, without
// the time it spends waiting, e.g. for the window system's next frame or for other processes.
inline double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

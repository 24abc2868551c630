#pragma once

#include <QtGlobal>

#include <optional>

// What the scheduler remembers of a face between reviews. A face the scheduler has never seen
// has none; the dates of its last and next review live beside it in the face record.
struct ReviewMemory
{
    double stability = 0;  // days until recall falls to 90 %
    double difficulty = 0; // 1 (easy) to 10 (hard)
    qint64 reviews = 0;
    qint64 lapses = 0; // times a learnt face was forgotten
    // The step the face waits out while it is being learnt or relearnt; none once learnt.
    std::optional<qint64> learningStep;

    friend bool operator==(const ReviewMemory &, const ReviewMemory &) = default;
};

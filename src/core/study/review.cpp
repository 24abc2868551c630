#include "core/study/review.h"

#include <QCoreApplication>

#include <iterator>
#include <utility>

namespace {

ReviewOutcome written(const CardFace &before, CardFace after, bool hidden)
{
    const bool changed = !(after == before);
    return {std::move(after), hidden, true, changed, false, std::nullopt};
}

} // namespace

ReviewOutcome markCorrect(const CardFace &face)
{
    CardFace f = face;
    // Compared before adding, so a stored 127 cannot overflow.
    f.rating = f.rating >= maximumRating ? maximumRating : qint8(f.rating + 1);
    if (f.progress == CardFaceProgress::New)
        f.progress = CardFaceProgress::Learning;
    ReviewOutcome outcome = written(face, std::move(f), false);
    outcome.grade = Grade::Good;
    return outcome;
}

ReviewOutcome markIncorrect(const CardFace &face)
{
    CardFace f = face;
    // Compared before subtracting, so a stored -128 cannot overflow.
    f.rating = f.rating <= 0 ? qint8(0) : qint8(f.rating - 1);
    ReviewOutcome outcome = written(face, std::move(f), false);
    outcome.grade = Grade::Again;
    return outcome;
}

ReviewOutcome gradeFace(const CardFace &face, Grade grade)
{
    if (grade == Grade::Again)
        return markIncorrect(face);
    ReviewOutcome outcome = markCorrect(face);
    outcome.grade = grade;
    return outcome;
}

ReviewOutcome passFace(const CardFace &face)
{
    return {face, true, false, false, true, std::nullopt};
}

ReviewOutcome toggleHidden(const CardFace &face, bool hidden)
{
    return {face, !hidden, false, false, false, std::nullopt};
}

ReviewOutcome chooseProgress(const CardFace &face, bool hidden, CardFaceProgress progress)
{
    CardFace f = face;
    f.progress = progress;
    return written(face, std::move(f), hidden);
}

QString progressLabel(CardFaceProgress progress)
{
    // In the order of the cases.
    static const char *const labels[] = {
        QT_TRANSLATE_NOOP("Progress", "New"),       QT_TRANSLATE_NOOP("Progress", "Learning"),
        QT_TRANSLATE_NOOP("Progress", "Mastered"),  QT_TRANSLATE_NOOP("Progress", "Archived"),
        QT_TRANSLATE_NOOP("Progress", "Abandoned"),
    };
    const auto index = static_cast<std::size_t>(progress);
    if (index >= std::size(labels))
        return {};
    return QCoreApplication::translate("Progress", labels[index]);
}

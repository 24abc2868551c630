#include "ui/study/spring_easing.h"

#include <cmath>
#include <numbers>

namespace StudyAnimation {

namespace {

constexpr qreal response = 0.55;
constexpr qreal dampingFraction = 0.825;

// The easing curve runs on progress 0..1 of springDuration; it must end exactly at 1.
qreal springCurve(qreal progress)
{
    if (progress >= 1)
        return 1;
    return springPosition(progress * springDuration / 1000.0);
}

} // namespace

qreal springPosition(qreal seconds)
{
    if (seconds <= 0)
        return 0;
    // Underdamped oscillator: stiffness from the response (the undamped period), damping
    // from the fraction of critical damping.
    const qreal omega = 2 * std::numbers::pi / response;
    const qreal decay = dampingFraction * omega;
    const qreal dampedOmega = omega * std::sqrt(1 - dampingFraction * dampingFraction);
    return 1 - std::exp(-decay * seconds) * (std::cos(dampedOmega * seconds) +
                                             decay / dampedOmega * std::sin(dampedOmega * seconds));
}

QEasingCurve spring()
{
    QEasingCurve curve;
    curve.setCustomType(springCurve);
    return curve;
}

QEasingCurve easeInOut()
{
    return QEasingCurve(QEasingCurve::InOutQuad);
}

QEasingCurve standard()
{
    return QEasingCurve(QEasingCurve::InOutQuad);
}

} // namespace StudyAnimation

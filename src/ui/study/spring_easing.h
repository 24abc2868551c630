#pragma once

#include <QEasingCurve>

// The animations of the study view.
namespace StudyAnimation {

// A damped spring of response 0.55 s and damping fraction 0.825, as an easing curve over
// springDuration: it overshoots by about 1 % and has settled within 0.1 % at the end.
QEasingCurve spring();
inline constexpr int springDuration = 750;

// The spring's position at `seconds` after release, from 0 toward 1.
qreal springPosition(qreal seconds);

// Ease-in-out, for the review buttons.
QEasingCurve easeInOut();
inline constexpr int easeInOutDuration = 350;

// The default animation, for scrolling the current face to the middle.
QEasingCurve standard();
inline constexpr int standardDuration = 350;

} // namespace StudyAnimation

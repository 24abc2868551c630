#pragma once

#include <QColor>
#include <QPalette>

// The named colours of the study view, taken from the palette where it has a matching role.
namespace StudyColours {

// Dark when the window colour is dark: Qt has no colour-scheme query of its own.
bool isDark(const QPalette &palette);

// The system green of the appearance.
QColor systemGreen(bool dark);
// Gray: 50 % white. Dark gray: 33 % white.
QColor gray();
QColor darkGray();

// Moves `from` toward `to` by `fraction` over all four channels, as the platform's colour
// blending does. The fraction is used as given: past 1 the result is clamped to valid channels.
QColor blended(const QColor &from, const QColor &to, qreal fraction);

} // namespace StudyColours

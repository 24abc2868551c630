#pragma once

#include <QColor>
#include <QPalette>

// What every view derives from the palette, so that it follows a light or dark appearance.

// Whether the palette is a dark one: Qt 6.4 has no colour-scheme query, so the window colour
// tells.
bool isDarkPalette(const QPalette &palette);

// The system green of a light or a dark appearance.
QColor systemGreen(bool dark);
QColor systemGreen(const QPalette &palette);

// Moves `from` toward `to` by `fraction` over all four channels, as the platform's colour
// blending does. The fraction is used as given: past 1 the result is clamped to valid channels.
QColor blendedColour(const QColor &from, const QColor &to, qreal fraction);

#pragma once

#include "ui/look/palette_look.h"

#include <QColor>
#include <QIcon>
#include <QPalette>

// Colours and small pictures shared by the sidebar's views, derived from the palette so that
// they follow a light or dark appearance.

// The colour of secondary text and marks.
QColor secondaryLabelColor(const QPalette &palette);

// Fully transparent blended towards the system green by fraction (clamped to 0..1); every
// channel, alpha included, is interpolated.
QColor ratingDotColor(double fraction, const QPalette &palette);

// The remove mark: a filled circle in the secondary label colour with a cross cut out of it.
QIcon removeMarkIcon(const QPalette &palette);

#pragma once

#include <QColor>

// The named colours of the study view, taken from the palette where it has a matching role.
namespace StudyColours {

// Gray: 50 % white. Dark gray: 33 % white.
QColor gray();
QColor darkGray();

} // namespace StudyColours

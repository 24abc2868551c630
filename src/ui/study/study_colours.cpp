#include "ui/study/study_colours.h"

namespace StudyColours {

QColor gray()
{
    return QColor::fromRgbF(0.5f, 0.5f, 0.5f);
}

QColor darkGray()
{
    return QColor::fromRgbF(1.f / 3.f, 1.f / 3.f, 1.f / 3.f);
}

} // namespace StudyColours

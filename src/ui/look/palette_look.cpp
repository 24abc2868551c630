#include "ui/look/palette_look.h"

#include <algorithm>

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor systemGreen(bool dark)
{
    return dark ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);
}

QColor systemGreen(const QPalette &palette)
{
    return systemGreen(isDarkPalette(palette));
}

QColor blendedColour(const QColor &from, const QColor &to, qreal fraction)
{
    const auto mix = [fraction](float a, float b) {
        return std::clamp(float(a + (b - a) * fraction), 0.f, 1.f);
    };
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()),
                            mix(a.blueF(), b.blueF()), mix(a.alphaF(), b.alphaF()));
}

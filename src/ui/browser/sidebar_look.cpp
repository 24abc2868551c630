#include "ui/browser/sidebar_look.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>

QColor secondaryLabelColor(const QPalette &palette)
{
    return palette.color(QPalette::PlaceholderText);
}

QColor ratingDotColor(double fraction, const QPalette &palette)
{
    // NaN (a card without faces, should it ever get here) falls to 0: transparent.
    const double f = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    const QColor green = systemGreen(palette);
    return QColor::fromRgbF(float(f * green.redF()), float(f * green.greenF()),
                            float(f * green.blueF()), float(f * green.alphaF()));
}

namespace {

QPixmap removeMarkPixmap(int size, const QColor &color)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const qreal inset = size / 16.0;
    painter.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));

    // The cross is cut out of the disc so that whatever lies beneath shows through it.
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    QPen cross(Qt::black, size / 9.0, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(cross);
    const qreal a = size * 0.34;
    const qreal b = size - a;
    painter.drawLine(QPointF(a, a), QPointF(b, b));
    painter.drawLine(QPointF(a, b), QPointF(b, a));
    return pixmap;
}

} // namespace

QIcon removeMarkIcon(const QPalette &palette)
{
    const QColor color = secondaryLabelColor(palette);
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(removeMarkPixmap(size, color));
    return icon;
}

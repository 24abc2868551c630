#include "ui/stats/stats_chart.h"

#include <QEvent>

StatsChart::StatsChart(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QColor StatsChart::blend(const QColor &from, const QColor &to, double amount)
{
    const auto mix = [amount](float a, float b) { return a + (b - a) * float(amount); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
}

bool StatsChart::isDark() const
{
    return palette().color(QPalette::Window).lightnessF() < 0.5;
}

QColor StatsChart::accent() const
{
    // The system green of the rest of the program.
    return isDark() ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59);
}

QColor StatsChart::emptyColour() const
{
    return blend(palette().color(QPalette::Base), palette().color(QPalette::Text), 0.1);
}

QColor StatsChart::textColour() const
{
    return palette().color(QPalette::Text);
}

QColor StatsChart::secondaryTextColour() const
{
    return palette().color(QPalette::PlaceholderText);
}

void StatsChart::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

#include "ui/stats/stats_chart.h"

#include "ui/look/palette_look.h"

#include <QEvent>

StatsChart::StatsChart(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QColor StatsChart::accent() const
{
    // The system green of the rest of the program.
    return systemGreen(palette());
}

QColor StatsChart::emptyColour() const
{
    return blendedColour(palette().color(QPalette::Base), palette().color(QPalette::Text), 0.1);
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

#pragma once

#include <QColor>
#include <QWidget>

// What the charts of the statistics window share: colours taken from the palette, so that they
// follow a light or dark appearance, and a repaint when the palette changes. Sizes are in
// device-independent pixels; Qt scales the painter on high-density screens.
class StatsChart : public QWidget
{
    Q_OBJECT

public:
    explicit StatsChart(QWidget *parent = nullptr);

protected:
    QColor accent() const;      // the bars and the busiest days
    QColor emptyColour() const; // a day without reviews, the track behind a bar
    QColor textColour() const;
    QColor secondaryTextColour() const;

    void changeEvent(QEvent *event) override;
};

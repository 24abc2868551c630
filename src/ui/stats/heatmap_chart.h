#pragma once

#include "ui/stats/stats_chart.h"

#include <QDate>
#include <QList>

#include <optional>

// Reviews per day as a calendar: one column a week, Monday on top, the darker the more reviews.
// Today is outlined; each day's tooltip tells its date and counts.
class HeatmapChart final : public StatsChart
{
    Q_OBJECT

public:
    explicit HeatmapChart(QWidget *parent = nullptr);

    // Counts per day, the last one being `today`.
    void setDays(QDate today, const QList<int> &reviews, const QList<int> &correct);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The day drawn under a point of the widget, if any.
    std::optional<QDate> dayAt(QPoint point) const;
    // Where a day is drawn (an empty rectangle for a day not shown).
    QRectF cellRect(QDate day) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QDate firstDay() const;
    int weekCount() const;
    qreal cellSize() const;
    QColor colourFor(int reviews, int most) const;

    QDate m_today;
    QList<int> m_reviews;
    QList<int> m_correct;
};

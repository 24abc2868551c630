#pragma once

#include "core/stats/deck_statistics.h"
#include "ui/stats/stats_chart.h"

#include <QList>

#include <optional>

// True retention per month as bars, against a dashed line at the desired retention. A month
// without reviews of learnt faces has no bar.
class RetentionChart final : public StatsChart
{
    Q_OBJECT

public:
    explicit RetentionChart(QWidget *parent = nullptr);

    void setMonths(const QList<MonthRetention> &months, double desired);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The height at which a share (0 to 1) is drawn.
    qreal yOf(double share) const;
    // The horizontal middle of a month's bar.
    qreal xOf(qsizetype month) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRectF plotArea() const;
    double lowest() const; // the share at the bottom of the plot

    QList<MonthRetention> m_months;
    double m_desired = 0.9;
};

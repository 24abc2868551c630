#pragma once

#include "ui/stats/stats_chart.h"

#include <QList>
#include <QStringList>

#include <optional>

// Vertical bars over labels: the due forecast and the histograms. Every bar has a tooltip with
// its label and value; the accessible description lists them all.
class BarChart final : public StatsChart
{
    Q_OBJECT

public:
    explicit BarChart(QWidget *parent = nullptr);

    // `title` opens the accessible description. Labels under the bars are thinned out when
    // they do not fit; `highlighted` stands out (today, for the forecast).
    void setBars(const QString &title, const QList<int> &values, const QStringList &labels,
                 std::optional<int> highlighted = std::nullopt);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The bar under a point of the widget, if any.
    std::optional<int> barAt(QPoint point) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRectF plotArea() const;

    QList<int> m_values;
    QStringList m_labels;
    std::optional<int> m_highlighted;
};

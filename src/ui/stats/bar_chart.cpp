#include "ui/stats/bar_chart.h"
#include "ui/look/palette_look.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

BarChart::BarChart(QWidget *parent) : StatsChart(parent)
{
}

void BarChart::setBars(const QString &title, const QList<int> &values, const QStringList &labels,
                       std::optional<int> highlighted)
{
    if (values == m_values && labels == m_labels && highlighted == m_highlighted &&
        title == accessibleName())
        return;
    m_values = values;
    m_labels = labels;
    m_highlighted = highlighted;
    QStringList parts;
    for (qsizetype i = 0; i < values.size(); ++i)
        parts.append(tr("%1: %2").arg(labels.value(i)).arg(values[i]));
    setAccessibleName(title);
    setAccessibleDescription(title + u". "_qs + parts.join(u"; "));
    update();
}

QSize BarChart::sizeHint() const
{
    return {360, 150};
}

QSize BarChart::minimumSizeHint() const
{
    return {160, 90};
}

QRectF BarChart::plotArea() const
{
    const qreal line = fontMetrics().height();
    return QRectF(rect()).adjusted(2, line + 2, -2, -(line + 4));
}

std::optional<int> BarChart::barAt(QPoint point) const
{
    const QRectF plot = plotArea();
    if (m_values.isEmpty() || point.x() < plot.left() || point.x() >= plot.right())
        return std::nullopt;
    const int bar = int((point.x() - plot.left()) / (plot.width() / m_values.size()));
    return std::clamp(bar, 0, int(m_values.size()) - 1);
}

void BarChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot = plotArea();
    if (m_values.isEmpty() || plot.width() <= 0 || plot.height() <= 0)
        return;
    const int highest = std::max(1, *std::max_element(m_values.cbegin(), m_values.cend()));
    const qreal slot = plot.width() / m_values.size();
    const qreal gap = std::min<qreal>(slot * 0.2, 4);
    const QFontMetricsF metrics(font());

    // Labels are spaced so that none overlaps the next one shown.
    qreal widest = 0;
    for (const QString &label : std::as_const(m_labels))
        widest = std::max(widest, metrics.horizontalAdvance(label));
    const int labelStep = std::max(1, int(std::ceil((widest + 6) / slot)));

    painter.setPen(Qt::NoPen);
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        const QRectF track(plot.left() + i * slot + gap / 2, plot.top(), slot - gap, plot.height());
        painter.setBrush(emptyColour());
        painter.drawRect(track);
        const qreal height = plot.height() * m_values[i] / highest;
        const QColor colour =
            m_highlighted == i ? accent().darker(isDarkPalette(palette()) ? 80 : 130) : accent();
        painter.setBrush(colour);
        painter.drawRect(QRectF(track.left(), track.bottom() - height, track.width(), height));
    }
    painter.setPen(secondaryTextColour());
    for (qsizetype i = 0; i < m_labels.size() && i < m_values.size(); i += labelStep) {
        // Centred under the bar, but never cut off at the edges.
        const qreal textWidth = metrics.horizontalAdvance(m_labels[i]) + 1;
        const qreal centre = plot.left() + (qreal(i) + 0.5) * slot;
        const qreal left =
            std::clamp(centre - textWidth / 2, 0.0, std::max(0.0, qreal(width()) - textWidth));
        painter.drawText(QRectF(left, plot.bottom() + 2, textWidth, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, m_labels[i]);
    }
    painter.setPen(textColour());
    painter.drawText(QRectF(rect()).adjusted(2, 0, -2, 0), Qt::AlignRight | Qt::AlignTop,
                     tr("max %1").arg(highest));
}

bool BarChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<int> bar = barAt(help->pos()))
            QToolTip::showText(help->globalPos(),
                               tr("%1: %2").arg(m_labels.value(*bar)).arg(m_values[*bar]), this);
        else
            QToolTip::hideText();
        return true;
    }
    return StatsChart::event(event);
}

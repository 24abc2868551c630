#include "ui/stats/retention_chart.h"

#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace {

std::optional<double> rate(const MonthRetention &month)
{
    if (month.reviews <= 0)
        return std::nullopt;
    return double(month.correct) / month.reviews;
}

QString percent(double share)
{
    return QLocale().toString(share * 100, 'f', 1) + u'\u00a0' + u'%';
}

QString monthName(QDate month)
{
    return QLocale().standaloneMonthName(month.month(), QLocale::ShortFormat);
}

} // namespace

RetentionChart::RetentionChart(QWidget *parent) : StatsChart(parent)
{
}

void RetentionChart::setMonths(const QList<MonthRetention> &months, double desired)
{
    if (months == m_months && desired == m_desired && !accessibleDescription().isEmpty())
        return;
    m_months = months;
    m_desired = desired;
    QStringList parts;
    for (const MonthRetention &month : months) {
        if (const std::optional<double> share = rate(month))
            parts.append(tr("%1 %2: %3 (reviews: %4)")
                             .arg(monthName(month.month))
                             .arg(month.month.year())
                             .arg(percent(*share))
                             .arg(month.reviews));
    }
    setAccessibleName(tr("True retention per month"));
    QString description =
        tr("True retention per month against the desired %1.").arg(percent(desired));
    description +=
        u' ' + (parts.isEmpty() ? tr("No reviews of learnt faces yet.") : parts.join(u"; ") + u'.');
    setAccessibleDescription(description);
    update();
}

QSize RetentionChart::sizeHint() const
{
    return {360, 150};
}

QSize RetentionChart::minimumSizeHint() const
{
    return {160, 90};
}

QRectF RetentionChart::plotArea() const
{
    const qreal line = fontMetrics().height();
    const qreal axis = fontMetrics().horizontalAdvance(percent(1.0)) + 4;
    return QRectF(rect()).adjusted(axis, line / 2 + 2, -2, -(line + 4));
}

double RetentionChart::lowest() const
{
    // Retention lives near the top: start the scale at one half unless a month fell below.
    double lowest = std::min(0.5, m_desired);
    for (const MonthRetention &month : m_months) {
        if (const std::optional<double> share = rate(month); share && *share < lowest)
            lowest = 0;
    }
    return lowest;
}

qreal RetentionChart::yOf(double share) const
{
    const QRectF plot = plotArea();
    const double bottom = lowest();
    return plot.bottom() - plot.height() * (share - bottom) / (1.0 - bottom);
}

qreal RetentionChart::xOf(qsizetype month) const
{
    const QRectF plot = plotArea();
    return plot.left() + (month + 0.5) * plot.width() / std::max<qsizetype>(1, m_months.size());
}

void RetentionChart::paintEvent(QPaintEvent *)
{
    const QRectF plot = plotArea();
    if (m_months.isEmpty() || plot.width() <= 0 || plot.height() <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal slot = plot.width() / m_months.size();
    const qreal barWidth = std::max<qreal>(1, slot - std::min<qreal>(slot * 0.3, 8));

    painter.setPen(secondaryTextColour());
    for (const double share : {lowest(), 1.0})
        painter.drawText(QRectF(0, yOf(share) - 10, plot.left() - 4, 20),
                         Qt::AlignRight | Qt::AlignVCenter, percent(share));
    painter.setPen(Qt::NoPen);
    painter.setBrush(emptyColour());
    painter.drawRect(plot);
    for (qsizetype i = 0; i < m_months.size(); ++i) {
        const std::optional<double> share = rate(m_months[i]);
        if (!share)
            continue;
        // A month below the desired retention is drawn in the warning colour.
        painter.setBrush(*share + 1e-9 >= m_desired ? accent() : QColor(0xFF, 0x95, 0x00));
        const qreal top = yOf(*share);
        painter.drawRect(QRectF(xOf(i) - barWidth / 2, top, barWidth, plot.bottom() - top));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(textColour(), 2, Qt::DashLine, Qt::FlatCap));
    const qreal desired = std::round(yOf(m_desired));
    painter.drawLine(QPointF(plot.left(), desired), QPointF(plot.right(), desired));
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(secondaryTextColour());
    const QFontMetricsF metrics(font());
    const int step = std::max(1, int(std::ceil((metrics.horizontalAdvance(u"MMMM"_qs)) / slot)));
    for (qsizetype i = m_months.size() - 1; i >= 0; i -= step)
        painter.drawText(QRectF(xOf(i) - slot, plot.bottom() + 2, 2 * slot, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, monthName(m_months[i].month));
}

bool RetentionChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QRectF plot = plotArea();
        const auto month = qsizetype((help->pos().x() - plot.left()) /
                                     (plot.width() / std::max<qsizetype>(1, m_months.size())));
        if (help->pos().x() >= plot.left() && month >= 0 && month < m_months.size()) {
            const MonthRetention &entry = m_months[month];
            const std::optional<double> share = rate(entry);
            const QString name =
                monthName(entry.month) + u' ' + QString::number(entry.month.year());
            QToolTip::showText(
                help->globalPos(),
                share ? tr("%1: %2 (reviews: %3)").arg(name, percent(*share)).arg(entry.reviews)
                      : tr("%1: no reviews").arg(name),
                this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return StatsChart::event(event);
}

#include "ui/stats/heatmap_chart.h"
#include "ui/look/palette_look.h"

#include <QHelpEvent>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal spacing = 2;

} // namespace

HeatmapChart::HeatmapChart(QWidget *parent) : StatsChart(parent)
{
}

void HeatmapChart::setDays(QDate today, const QList<int> &reviews, const QList<int> &correct)
{
    if (today == m_today && reviews == m_reviews && correct == m_correct)
        return;
    // After a review only today's cell changes: repaint that alone unless the colour scale
    // moved with it.
    const auto most = [](const QList<int> &counts) {
        return counts.isEmpty() ? 0 : *std::max_element(counts.cbegin(), counts.cend());
    };
    QRegion changed;
    const bool sameScale =
        today == m_today && reviews.size() == m_reviews.size() && most(reviews) == most(m_reviews);
    if (sameScale) {
        for (qsizetype i = 0; i < reviews.size(); ++i) {
            if (reviews[i] != m_reviews[i])
                changed += cellRect(firstDay().addDays(i)).toAlignedRect().adjusted(-1, -1, 1, 1);
        }
    }
    m_today = today;
    m_reviews = reviews;
    m_correct = correct;
    qint64 total = 0;
    int active = 0;
    qsizetype busiest = -1;
    for (qsizetype i = 0; i < reviews.size(); ++i) {
        total += reviews[i];
        active += reviews[i] > 0 ? 1 : 0;
        if (reviews[i] > 0 && (busiest < 0 || reviews[i] > reviews[busiest]))
            busiest = i;
    }
    setAccessibleName(tr("Reviews per day"));
    QString description = tr("Reviews per day over the last 12 months: %1 reviews on %2 days.")
                              .arg(total)
                              .arg(active);
    if (busiest >= 0)
        description +=
            u' ' + tr("Most on %1: %2.")
                       .arg(QLocale().toString(firstDay().addDays(busiest), QLocale::ShortFormat))
                       .arg(reviews[busiest]);
    setAccessibleDescription(description);
    if (sameScale)
        update(changed);
    else
        update();
}

QSize HeatmapChart::sizeHint() const
{
    return {int(weekCount() * 13), int(7 * 13 + fontMetrics().height() + 4)};
}

QSize HeatmapChart::minimumSizeHint() const
{
    return {int(weekCount() * 5), int(7 * 5 + fontMetrics().height() + 4)};
}

QDate HeatmapChart::firstDay() const
{
    return m_today.addDays(-qMax<qsizetype>(0, m_reviews.size() - 1));
}

int HeatmapChart::weekCount() const
{
    if (!m_today.isValid())
        return 53;
    const int lead = firstDay().dayOfWeek() - 1; // days of the first week before the first day
    return int((lead + m_reviews.size() + 6) / 7);
}

qreal HeatmapChart::cellSize() const
{
    const qreal top = fontMetrics().height() + 4;
    const qreal byWidth = width() / qreal(weekCount());
    const qreal byHeight = (height() - top) / 7.0;
    // Whole pixels keep the grid crisp.
    return std::max<qreal>(3, std::floor(std::min(byWidth, byHeight)));
}

QRectF HeatmapChart::cellRect(QDate day) const
{
    if (!m_today.isValid() || day < firstDay() || day > m_today)
        return {};
    const qreal cell = cellSize();
    const qint64 index = firstDay().daysTo(day) + firstDay().dayOfWeek() - 1;
    const qreal top = fontMetrics().height() + 4;
    return QRectF(qreal(index / 7) * cell, top + qreal(index % 7) * cell, cell - spacing,
                  cell - spacing);
}

std::optional<QDate> HeatmapChart::dayAt(QPoint point) const
{
    if (!m_today.isValid())
        return std::nullopt;
    const qreal cell = cellSize();
    const qreal top = fontMetrics().height() + 4;
    if (point.x() < 0 || point.y() < top)
        return std::nullopt;
    const auto column = qint64(point.x() / cell);
    const auto row = qint64((point.y() - top) / cell);
    if (row > 6)
        return std::nullopt;
    const QDate day = firstDay().addDays(column * 7 + row - (firstDay().dayOfWeek() - 1));
    if (day < firstDay() || day > m_today)
        return std::nullopt;
    return day;
}

QColor HeatmapChart::colourFor(int reviews, int most) const
{
    if (reviews <= 0)
        return emptyColour();
    // Four steps, so that one very busy day does not wash out all the others.
    const int level = std::clamp(int(std::ceil(4.0 * reviews / std::max(1, most))), 1, 4);
    return blendedColour(emptyColour(), accent(), level / 4.0);
}

void HeatmapChart::paintEvent(QPaintEvent *event)
{
    if (!m_today.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int most =
        m_reviews.isEmpty() ? 0 : *std::max_element(m_reviews.cbegin(), m_reviews.cend());
    painter.setPen(Qt::NoPen);
    const QRectF dirty(event->rect());
    for (qsizetype i = 0; i < m_reviews.size(); ++i) {
        const QRectF cell = cellRect(firstDay().addDays(i));
        if (!cell.intersects(dirty))
            continue;
        painter.setBrush(colourFor(m_reviews[i], most));
        painter.drawRoundedRect(cell, 2, 2);
    }
    // Month names above the week in which each month begins.
    painter.setPen(secondaryTextColour());
    const QLocale locale;
    qreal lastLabelEnd = -1;
    for (qsizetype i = 0; i < m_reviews.size(); ++i) {
        const QDate day = firstDay().addDays(i);
        if (day.day() != 1)
            continue;
        const QRectF cell = cellRect(day);
        const QString name = locale.standaloneMonthName(day.month(), QLocale::ShortFormat);
        if (cell.left() <= lastLabelEnd)
            continue;
        painter.drawText(QPointF(cell.left(), fontMetrics().ascent()), name);
        lastLabelEnd = cell.left() + fontMetrics().horizontalAdvance(name) + 4;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(textColour(), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cellRect(m_today).adjusted(1, 1, -1, -1));
}

bool HeatmapChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const std::optional<QDate> day = dayAt(help->pos())) {
            const qsizetype i = firstDay().daysTo(*day);
            QToolTip::showText(help->globalPos(),
                               tr("%1: reviews: %2, correct: %3")
                                   .arg(QLocale().toString(*day, QLocale::LongFormat))
                                   .arg(m_reviews[i])
                                   .arg(m_correct.value(i)),
                               this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return StatsChart::event(event);
}

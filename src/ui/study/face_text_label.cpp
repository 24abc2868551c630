#include "ui/study/face_text_label.h"

#include <QPainter>
#include <QStyle>
#include <QTextOption>

#include <cmath>

FaceTextLabel::FaceTextLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

const QTextLayout &FaceTextLabel::layoutFor(int width) const
{
    const QString shown = text();
    if (width == m_laidOutWidth && shown == m_laidOutText && m_layout.font() == font())
        return m_layout;
    m_laidOutText = shown;
    m_laidOutWidth = width;

    // Line feeds end lines; the text layout only breaks at line separators.
    QString laidOut = shown;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_layout.setText(laidOut);
    m_layout.setFont(font());
    QTextOption option(QStyle::visualAlignment(layoutDirection(), alignment()));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(layoutDirection());
    m_layout.setTextOption(option);

    const qreal leading = QFontMetricsF(font()).leading();
    qreal y = 0;
    qreal natural = 0;
    m_layout.beginLayout();
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        if (y > 0)
            y += leading;
        line.setPosition(QPointF(0, y));
        y += line.height();
        natural = std::max(natural, line.naturalTextWidth());
    }
    m_layout.endLayout();
    m_height = y;
    m_naturalWidth = natural;
    return m_layout;
}

int FaceTextLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    layoutFor(inner);
    return int(std::ceil(m_height)) + margins.top() + margins.bottom();
}

int FaceTextLabel::laidOutWidth(int width) const
{
    layoutFor(width);
    return std::min(width, int(std::ceil(m_naturalWidth)));
}

QSize FaceTextLabel::sizeHint() const
{
    // The label is given its width; the height follows from it.
    const int width =
        minimumWidth() == maximumWidth() ? minimumWidth() : QLabel::sizeHint().width();
    return {width, heightForWidth(width)};
}

QSize FaceTextLabel::minimumSizeHint() const
{
    return sizeHint();
}

void FaceTextLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        m_laidOutWidth = -1;
    QLabel::changeEvent(event);
}

void FaceTextLabel::paintEvent(QPaintEvent *)
{
    const QRect area = contentsRect();
    const QTextLayout &layout = layoutFor(area.width());
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    layout.draw(&painter, area.topLeft());
}

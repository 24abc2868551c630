#include "ui/browser/drop_zone.h"

#include "ui/browser/sidebar_look.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

DropZone::DropZone(QWidget *parent)
    : QWidget(parent), m_frame(new QWidget(this)), m_label(new QLabel(m_frame))
{
    auto *outer = new QVBoxLayout(this);
    m_frame->setFixedHeight(zoneHeight);
    outer->addWidget(m_frame);

    auto *inner = new QVBoxLayout(m_frame);
    m_label->setText(tr("Drop another flashcard file here"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    inner->addWidget(m_label);
}

QString DropZone::text() const
{
    return m_label->text();
}

QRect DropZone::frameRect() const
{
    return m_frame->geometry();
}

QPen DropZone::framePen(const QColor &color)
{
    QPen pen(color, lineWidth, Qt::CustomDashLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setMiterLimit(2);
    // Qt measures dashes and their offset in line widths.
    pen.setDashPattern({28 / lineWidth, 8 / lineWidth});
    pen.setDashOffset(6 / lineWidth);
    return pen;
}

void DropZone::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(framePen(secondaryLabelColor(palette())));
    painter.setBrush(Qt::NoBrush);
    // Stroked inside the frame: the rectangle is inset by half the line width.
    const qreal inset = lineWidth / 2;
    painter.drawRect(QRectF(frameRect()).adjusted(inset, inset, -inset, -inset));
}

#include "ui/study/selection_bar_item.h"

#include "ui/look/palette_look.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_colours.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace {

// Body and footnote text keep the proportions of the desktop's type scale (13 and 10 points).
constexpr qreal footnoteScale = 10.0 / 13.0;

QVariantAnimation *makeAnimation(QObject *parent, const QEasingCurve &curve, int duration)
{
    auto *animation = new QVariantAnimation(parent);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(curve);
    animation->setDuration(duration);
    return animation;
}

} // namespace

SelectionBarItem::SelectionBarItem(Kind kind, QWidget *parent)
    : QAbstractButton(parent), m_kind(kind),
      m_emphasisAnimation(
          makeAnimation(this, StudyAnimation::spring(), StudyAnimation::springDuration)),
      m_tintAnimation(
          makeAnimation(this, StudyAnimation::easeInOut(), StudyAnimation::easeInOutDuration))
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (isPlaceholder()) {
        // Never seen and never reacting: it keeps a selected item's room at each end.
        setText(QStringLiteral("l"));
        setEnabled(false);
        m_selected = true;
        m_emphasis = 1;
    }
    setFont(m_selected ? bodyFont(QFont()) : footnoteFont(QFont()));

    connect(m_emphasisAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        const qreal target = m_selected ? 1 : 0;
        m_emphasis = m_emphasisStart + (target - m_emphasisStart) * v.toReal();
        updateGeometry();
        update();
    });
    connect(m_tintAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        m_drawnRating = m_ratingStart + (m_rating - m_ratingStart) * v.toReal();
        update();
    });
}

QFont SelectionBarItem::bodyFont(const QFont &base)
{
    return base;
}

QFont SelectionBarItem::footnoteFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * footnoteScale);
    return font;
}

void SelectionBarItem::setSelected(bool selected, bool animated)
{
    if (isPlaceholder())
        return;
    m_selected = selected;
    // The font is the settled state; drawing and size follow m_emphasis.
    setFont(selected ? bodyFont(QFont()) : footnoteFont(QFont()));
    m_emphasisAnimation->stop();
    if (animated) {
        m_emphasisStart = m_emphasis;
        m_emphasisAnimation->start();
    } else {
        m_emphasis = selected ? 1 : 0;
    }
    updateGeometry();
    update();
}

void SelectionBarItem::setRating(int rating, bool animated)
{
    m_rating = rating;
    m_tintAnimation->stop();
    if (animated) {
        m_ratingStart = m_drawnRating;
        m_tintAnimation->start();
    } else {
        m_drawnRating = rating;
    }
    update();
}

QColor SelectionBarItem::tint(qreal rating) const
{
    const bool dark = isDarkPalette(palette());
    if (dark)
        return Qt::white;
    return blendedColour(StudyColours::gray(), systemGreen(false), rating / 5);
}

QColor SelectionBarItem::backgroundColour() const
{
    return tint(m_rating);
}

QColor SelectionBarItem::textColour() const
{
    return isDarkPalette(palette()) ? StudyColours::darkGray() : QColor(Qt::white);
}

QFont SelectionBarItem::drawnFont() const
{
    const QFont body = bodyFont(QFont());
    const qreal small = body.pointSizeF() * footnoteScale;
    QFont font = body;
    font.setPointSizeF(std::max(1.0, small + (body.pointSizeF() - small) * m_emphasis));
    return font;
}

QSize SelectionBarItem::sizeHint() const
{
    const QFontMetricsF metrics(drawnFont());
    const qreal pad = unselectedPadding + (selectedPadding - unselectedPadding) * m_emphasis;
    const qreal height = metrics.height() + 2 * pad;
    // Never narrower than tall: a one-digit label sits in a circle rather than an upright pill.
    const qreal width = std::max(metrics.horizontalAdvance(text()) + 2 * pad, height);
    return {int(std::ceil(width)), int(std::ceil(height))};
}

void SelectionBarItem::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QAbstractButton::changeEvent(event);
}

void SelectionBarItem::paintEvent(QPaintEvent *)
{
    if (isPlaceholder())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    // Corner radius 120 clipped to the item: a capsule, or a circle when it is square.
    const qreal radius = std::min({120.0, box.width() / 2, box.height() / 2});
    QPainterPath capsule;
    capsule.addRoundedRect(box, radius, radius);
    QColor background = tint(m_drawnRating);
    if (isDown())
        background = background.darker(115);
    painter.fillPath(capsule, background);
    painter.setPen(textColour());
    painter.setFont(drawnFont());
    painter.drawText(box, Qt::AlignCenter, text());
}

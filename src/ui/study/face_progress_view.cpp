#include "ui/study/face_progress_view.h"

#include "ui/look/palette_look.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_colours.h"

#include <QPainter>
#include <QStyle>
#include <QVariantAnimation>

FaceProgressView::FaceProgressView(QWidget *parent)
    : QWidget(parent), m_animation(new QVariantAnimation(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(StudyAnimation::easeInOutDuration);
    m_animation->setEasingCurve(StudyAnimation::easeInOut());
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const qreal t = value.toReal();
        for (int i = 0; i < dotCount; ++i) {
            const qreal target = isDotGreen(i) ? 1 : 0;
            m_green[i] = m_startGreen[i] + (target - m_startGreen[i]) * t;
        }
        update();
    });
}

void FaceProgressView::setState(qint8 state, bool animated)
{
    m_state = state;
    setAccessibleName(tr("Rating %1 of %2").arg(state).arg(dotCount));
    m_animation->stop();
    if (animated) {
        // Starts from what is drawn now, so a change during an animation never jumps.
        m_startGreen = m_green;
        m_animation->start();
    } else {
        for (int i = 0; i < dotCount; ++i)
            m_green[i] = isDotGreen(i) ? 1 : 0;
    }
    update();
}

QColor FaceProgressView::dotColour(int i) const
{
    const bool dark = isDarkPalette(palette());
    return blendedColour(StudyColours::gray(), systemGreen(dark), m_green[std::size_t(i)]);
}

int FaceProgressView::spacing() const
{
    return style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, this);
}

QSize FaceProgressView::sizeHint() const
{
    return {dotCount * dotSize + (dotCount - 1) * spacing(), dotSize};
}

void FaceProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int top = (height() - dotSize) / 2;
    for (int i = 0; i < dotCount; ++i) {
        painter.setBrush(dotColour(i));
        painter.drawEllipse(QRectF(i * (dotSize + spacing()), top, dotSize, dotSize));
    }
}

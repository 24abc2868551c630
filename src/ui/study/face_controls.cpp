#include "ui/study/face_controls.h"

#include "ui/study/selection_bar.h"
#include "ui/study/study_actions.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

constexpr int iconSize = 16;

// A plain arrow in the text colour, drawn rather than taken from an icon theme, which the
// desktop may not have.
QIcon arrowIcon(bool pointsLeft, const QColor &colour, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(iconSize, iconSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!pointsLeft) {
        painter.translate(iconSize, 0);
        painter.scale(-1, 1);
    }
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const qreal mid = iconSize / 2.0;
    painter.drawLine(QPointF(2.5, mid), QPointF(iconSize - 2.5, mid));
    QPainterPath head;
    head.moveTo(7.5, mid - 5);
    head.lineTo(2.5, mid);
    head.lineTo(7.5, mid + 5);
    painter.drawPath(head);
    return QIcon(pixmap);
}

QToolButton *makeArrowButton(const QString &toolTip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setToolTip(toolTip);
    button->setAutoRaise(true); // borderless
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(iconSize, iconSize));
    return button;
}

} // namespace

FaceControls::FaceControls(QWidget *parent)
    : QWidget(parent),
      m_previous(makeArrowButton(studyActionToolTip(StudyAction::PreviousFace), this)),
      m_bar(new SelectionBar(this)),
      m_next(makeArrowButton(studyActionToolTip(StudyAction::NextFace), this))
{
    m_previous->setAccessibleName(studyActionLabel(studyAction(StudyAction::PreviousFace)));
    m_next->setAccessibleName(studyActionLabel(studyAction(StudyAction::NextFace)));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_previous, 0, Qt::AlignVCenter);
    // The bar is padded on all edges.
    auto *barFrame = new QHBoxLayout;
    barFrame->setContentsMargins(16, 16, 16, 16);
    barFrame->addWidget(m_bar);
    layout->addLayout(barFrame);
    layout->addWidget(m_next, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateIcons();

    connect(m_previous, &QToolButton::clicked, this, &FaceControls::previousFaceRequested);
    connect(m_next, &QToolButton::clicked, this, &FaceControls::nextFaceRequested);
    connect(m_bar, &SelectionBar::indexChosen, this, &FaceControls::faceChosen);
}

void FaceControls::updateIcons()
{
    const QColor colour = palette().color(QPalette::ButtonText);
    const qreal ratio = devicePixelRatioF();
    m_previous->setIcon(arrowIcon(true, colour, ratio));
    m_next->setIcon(arrowIcon(false, colour, ratio));
}

void FaceControls::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateIcons();
    QWidget::changeEvent(event);
}

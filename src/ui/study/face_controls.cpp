#include "ui/study/face_controls.h"

#include "ui/study/selection_bar.h"
#include "ui/study/selection_bar_item.h"
#include "ui/study/study_actions.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

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

// Fades the ends of a scrolled bar into the background where more items lie beyond them, so
// that a cut-off item reads as "more this way" rather than as a fault.
class EdgeFades final : public QWidget
{
public:
    EdgeFades(QScrollBar *bar, QWidget *parent) : QWidget(parent), m_bar(bar)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(bar, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
        connect(bar, &QScrollBar::rangeChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        constexpr int width = 24;
        QPainter painter(this);
        const QColor opaque = palette().color(QPalette::Window);
        QColor clear = opaque;
        clear.setAlpha(0);
        const auto fade = [&](int from, int to) {
            QLinearGradient gradient(from, 0, to, 0);
            gradient.setColorAt(0, opaque);
            gradient.setColorAt(1, clear);
            painter.fillRect(QRect(std::min(from, to), 0, width, height()), gradient);
        };
        if (m_bar->value() > m_bar->minimum())
            fade(0, width);
        if (m_bar->value() < m_bar->maximum())
            fade(rect().right() + 1, rect().right() + 1 - width);
    }

private:
    QScrollBar *m_bar;
};

// The faces bar inside the room the study view has for it. A card of many faces would make
// the bar wider than the study view and so push the sidebar aside; instead the bar scrolls
// sideways and keeps the selected item in view.
class FacesBarScroller final : public QScrollArea
{
public:
    explicit FacesBarScroller(SelectionBar *bar, QWidget *parent) : QScrollArea(parent)
    {
        setObjectName(QStringLiteral("facesBarScroller"));
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setAlignment(Qt::AlignCenter);
        setWidgetResizable(false);
        setWidget(bar);
        viewport()->setAutoFillBackground(false);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        bar->installEventFilter(this);
        m_fades = new EdgeFades(horizontalScrollBar(), this);
    }

    QSize sizeHint() const override { return widget()->sizeHint(); }
    QSize minimumSizeHint() const override
    {
        // Room for the selected item and a neighbour on each side.
        const auto *bar = static_cast<const SelectionBar *>(widget());
        const int room = 3 * bar->leadingPlaceholder()->sizeHint().width();
        const QSize whole = bar->sizeHint();
        return {std::min(whole.width(), room), whole.height()};
    }

    // Scrolls just enough to show the selected item with a neighbour on either side.
    void showSelected()
    {
        auto *bar = static_cast<SelectionBar *>(widget());
        SelectionBarItem *item = bar->item(bar->index());
        if (!item)
            return;
        bar->layout()->activate();
        ensureWidgetVisible(item, bar->leadingPlaceholder()->sizeHint().width(), 0);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A bar of more or fewer items asks for another width.
        if (watched == widget() && event->type() == QEvent::Resize)
            updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }

    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        m_fades->setGeometry(viewport()->geometry());
        m_fades->raise();
        showSelected();
    }

    void wheelEvent(QWheelEvent *event) override
    {
        // The bar only scrolls sideways: an ordinary wheel turns it too.
        const QPoint delta = event->angleDelta();
        const int steps = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
        QScrollBar *bar = horizontalScrollBar();
        if (steps == 0 || bar->maximum() == 0) {
            event->ignore();
            return;
        }
        bar->setValue(bar->value() - steps * bar->singleStep() / 40);
        event->accept();
    }

private:
    EdgeFades *m_fades;
};

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
    auto *scroller = new FacesBarScroller(m_bar, this);
    auto *barFrame = new QHBoxLayout;
    barFrame->setContentsMargins(16, 16, 16, 16);
    barFrame->addWidget(scroller);
    layout->addLayout(barFrame, 1);
    layout->addWidget(m_next, 0, Qt::AlignVCenter);
    // As wide as the bar where there is room, narrower (the bar scrolling) where there is not.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    updateIcons();

    connect(m_previous, &QToolButton::clicked, this, &FaceControls::previousFaceRequested);
    connect(m_next, &QToolButton::clicked, this, &FaceControls::nextFaceRequested);
    connect(m_bar, &SelectionBar::indexChosen, this, &FaceControls::faceChosen);
    connect(m_bar, &SelectionBar::indexChanged, scroller, &FacesBarScroller::showSelected);
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

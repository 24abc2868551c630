#include "ui/study/card_view.h"

#include "core/app/commands_coordinator.h"
#include "core/study/navigation.h"
#include "ui/study/card_view_controls.h"
#include "ui/study/face_controls.h"
#include "ui/study/face_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_key_filter.h"

#include <QApplication>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

CardView::CardView(CommandsCoordinator &coordinator, QWidget *parent)
    : QWidget(parent), m_coordinator(coordinator), m_faceControls(new FaceControls(this)),
      m_scrollArea(new QScrollArea(this)), m_facesContent(new QWidget),
      m_facesLayout(new QVBoxLayout(m_facesContent)), m_cardControls(new CardViewControls(this)),
      m_scrollAnimation(new QVariantAnimation(this)), m_centreTimer(new QTimer(this))
{
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    m_facesLayout->setContentsMargins(0, facesPadding, 0, facesPadding);
    m_facesLayout->addStretch(1);
    m_facesContent->setBackgroundRole(QPalette::Window);
    m_scrollArea->setWidget(m_facesContent);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->viewport()->setBackgroundRole(QPalette::Window);
    m_scrollArea->viewport()->installEventFilter(this);

    // Never drawn, yet it keeps its place at the bottom and its keys stay in force.
    QSizePolicy hiddenPolicy = m_cardControls->sizePolicy();
    hiddenPolicy.setRetainSizeWhenHidden(true);
    m_cardControls->setSizePolicy(hiddenPolicy);
    m_cardControls->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_faceControls, 0, Qt::AlignHCenter);
    layout->addWidget(m_scrollArea, 1);
    layout->addWidget(m_cardControls, 0, Qt::AlignHCenter);

    m_scrollAnimation->setDuration(StudyAnimation::standardDuration);
    m_scrollAnimation->setEasingCurve(StudyAnimation::standard());
    connect(m_scrollAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) {
                m_scrollArea->verticalScrollBar()->setValue(value.toInt());
            });
    // Centring waits for the layout of new panels; several requests in a row become one.
    m_centreTimer->setSingleShot(true);
    m_centreTimer->setInterval(0);
    connect(m_centreTimer, &QTimer::timeout, this, [this] {
        const bool animated = m_centreAnimated;
        m_centreAnimated = false;
        centreCurrentFace(animated);
    });

    connect(m_faceControls, &FaceControls::previousFaceRequested, this, &CardView::previousFace);
    connect(m_faceControls, &FaceControls::nextFaceRequested, this, &CardView::nextFace);
    connect(m_faceControls, &FaceControls::faceChosen, this, &CardView::setCurrentFace);
    connect(m_cardControls, &CardViewControls::selectedCardChangeRequested, this,
            &CardView::selectedCardChangeRequested);

    for (const StudyActionInfo &info : studyActions()) {
        for (const Qt::Key key : info.keys)
            addShortcut(key, info.handler);
    }
    new StudyKeyFilter(this);

    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, [this] {
        // The file read again after an edit keeps the face under study where it still exists.
        if (!m_coordinator.isReloading())
            m_currentFace = 0;
        rebuild();
    });
    connect(&m_coordinator, &CommandsCoordinator::cardChanged, this, &CardView::updateCard);
    rebuild();
}

CardView::~CardView() = default;

void CardView::addShortcut(Qt::Key key, void (StudyActionTarget::*handler)())
{
    auto *shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, handler] {
        // An open pop-up (the progress picker's list) has the keyboard to itself.
        if (QApplication::activePopupWidget())
            return;
        (static_cast<StudyActionTarget *>(this)->*handler)();
    });
}

void CardView::toggleActiveFaceHidden()
{
    onActiveFace(&FaceView::toggleHidden);
}

void CardView::markActiveFaceCorrect()
{
    onActiveFace(&FaceView::markCorrect);
}

void CardView::markActiveFaceIncorrect()
{
    onActiveFace(&FaceView::markIncorrect);
}

void CardView::passActiveFace()
{
    onActiveFace(&FaceView::pass);
}

void CardView::chooseActiveFaceProgress()
{
    if (FaceView *view = activeFaceView())
        view->openProgressPicker();
}

void CardView::previousCard()
{
    m_cardControls->previousCard();
}

void CardView::nextCard()
{
    m_cardControls->nextCard();
}

void CardView::onActiveFace(void (FaceView::*action)())
{
    if (FaceView *view = activeFaceView())
        (view->*action)();
}

void CardView::setSelectedCard(std::optional<qsizetype> index)
{
    const bool sameCard = index == m_selectedCard;
    m_selectedCard = index;
    m_cardControls->setSelection(m_selectedCard, m_cardCount);
    // Selecting the shown card again keeps the view as it is.
    if (sameCard && !m_faceViews.isEmpty())
        return;
    m_currentFace = 0;
    rebuild();
}

void CardView::setCardCount(qsizetype count)
{
    m_cardCount = count;
    m_cardControls->setSelection(m_selectedCard, m_cardCount);
}

const Card *CardView::shownCard() const
{
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    if (!deck || !m_selectedCard || *m_selectedCard < 0 || *m_selectedCard >= deck->cards.size())
        return nullptr;
    return &deck->cards.at(*m_selectedCard);
}

FaceView *CardView::activeFaceView() const
{
    return m_faceViews.value(m_currentFace);
}

FaceView *CardView::makeFaceView(const CardFace &face, bool active)
{
    auto *view = new FaceView(face, active, m_facesContent);
    view->fitWidth(m_scrollArea->viewport()->width());
    connect(view, &FaceView::faceWriteRequested, this,
            [this, view](const CardFace &record) { writeFace(view, record); });
    connect(view, &FaceView::faceReviewRequested, this,
            [this, view](const CardFace &record, Grade grade) {
                const qsizetype position = m_faceViews.indexOf(view);
                if (position >= 0 && m_selectedCard)
                    m_coordinator.reviewFace(*m_selectedCard, position, record, grade);
            });
    connect(view, &FaceView::nextFaceRequested, this, &CardView::nextFace);
    return view;
}

void CardView::rebuild()
{
    m_scrollAnimation->stop();
    for (FaceView *view : std::as_const(m_faceViews)) {
        m_facesLayout->removeWidget(view);
        view->hide();
        // Later: the panel may be the one whose action led here.
        view->deleteLater();
    }
    m_faceViews.clear();

    const Card *card = shownCard();
    const qsizetype count = card ? card->faces.size() : 0;
    if (m_currentFace >= count)
        m_currentFace = 0;
    for (qsizetype i = 0; i < count; ++i) {
        FaceView *view = makeFaceView(card->faces.at(i), i == m_currentFace);
        m_facesLayout->insertWidget(int(i), view, 0, Qt::AlignHCenter);
        m_faceViews.append(view);
    }
    m_faceControls->setVisible(card != nullptr);
    // The window's minimum size leaves the study view room for a whole panel.
    if (!m_faceViews.isEmpty()) {
        const QMargins margins = layout()->contentsMargins();
        setMinimumWidth(m_faceViews.first()->minimumPanelWidth() + margins.left() +
                        margins.right());
    }
    m_cardControls->setSelection(m_selectedCard, m_cardCount);
    updateFacesBar(false);
    m_scrollArea->verticalScrollBar()->setValue(0);
    m_centreAnimated = true;
    m_centreTimer->start();
}

void CardView::updateCard(qsizetype card)
{
    if (card != m_selectedCard)
        return;
    const Card *shown = shownCard();
    if (!shown || shown->faces.size() != m_faceViews.size()) {
        rebuild();
        return;
    }
    // A panel stands for one exact record: a changed face gets a fresh, masked panel in the
    // same place, and an unchanged one stays as it is.
    for (qsizetype i = 0; i < m_faceViews.size(); ++i) {
        FaceView *old = m_faceViews.at(i);
        const CardFace &face = shown->faces.at(i);
        if (old->face() == face)
            continue;
        if (sameBesidesSchedule(old->face(), face)) {
            old->takeSchedule(face);
            continue;
        }
        FaceView *view = makeFaceView(face, i == m_currentFace);
        view->animateRatingFrom(old->face().rating);
        m_facesLayout->replaceWidget(old, view);
        m_faceViews[i] = view;
        old->hide();
        old->deleteLater();
    }
    updateFacesBar(true);
}

void CardView::writeFace(const FaceView *view, const CardFace &face)
{
    const qsizetype position = m_faceViews.indexOf(view);
    if (position < 0 || !m_selectedCard)
        return;
    m_coordinator.setFace(*m_selectedCard, position, face);
}

void CardView::updateFacesBar(bool animated)
{
    QList<int> ratings;
    ratings.reserve(m_faceViews.size());
    for (const FaceView *view : std::as_const(m_faceViews))
        ratings.append(view->face().rating);
    m_faceControls->selectionBar()->setItems(ratings, m_currentFace, animated);
}

void CardView::setCurrentFace(qsizetype face)
{
    if (face < 0 || face >= m_faceViews.size())
        return;
    if (face != m_currentFace) {
        if (FaceView *old = activeFaceView())
            old->setActive(false, true);
        m_currentFace = face;
        m_faceViews.at(face)->setActive(true, true);
        m_faceControls->selectionBar()->setIndex(face, true);
    }
    m_centreAnimated = true;
    m_centreTimer->start();
}

void CardView::moveTo(qsizetype face, std::optional<qsizetype> selectedCard)
{
    if (selectedCard == m_selectedCard) {
        setCurrentFace(face);
        return;
    }
    // Another card: it is shown from its first face once the browser has selected it.
    if (FaceView *old = activeFaceView())
        old->setActive(false);
    m_currentFace = face;
    if (FaceView *view = activeFaceView())
        view->setActive(true);
    Q_EMIT selectedCardChangeRequested(selectedCard);
}

void CardView::nextFace()
{
    const NavigationState next =
        ::nextFace({m_currentFace, m_selectedCard}, m_faceViews.size(), m_cardCount);
    moveTo(next.currentFace, next.selectedCard);
}

void CardView::previousFace()
{
    const NavigationState previous =
        ::previousFace({m_currentFace, m_selectedCard}, m_faceViews.size(), m_cardCount);
    moveTo(previous.currentFace, previous.selectedCard);
}

int CardView::centredScrollPosition() const
{
    const FaceView *view = activeFaceView();
    if (!view)
        return 0;
    const QScrollBar *bar = m_scrollArea->verticalScrollBar();
    const int target = view->geometry().center().y() - m_scrollArea->viewport()->height() / 2;
    return std::clamp(target, bar->minimum(), bar->maximum());
}

void CardView::centreCurrentFace(bool animated)
{
    if (!isVisible() || !activeFaceView())
        return;
    // New panels must have their places before the middle can be found.
    m_facesLayout->activate();
    QCoreApplication::sendPostedEvents(m_facesContent, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(m_scrollArea, QEvent::LayoutRequest);
    const int target = centredScrollPosition();
    QScrollBar *bar = m_scrollArea->verticalScrollBar();
    m_scrollAnimation->stop();
    if (!animated || bar->value() == target) {
        bar->setValue(target);
        return;
    }
    // From wherever the view is now, so a new target during a scroll never jumps back.
    m_scrollAnimation->setStartValue(bar->value());
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

void CardView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_centreAnimated = true;
    m_centreTimer->start();
}

bool CardView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scrollArea->viewport() && event->type() == QEvent::Resize) {
        for (FaceView *view : std::as_const(m_faceViews))
            view->fitWidth(m_scrollArea->viewport()->width());
        // A resized faces area keeps the current face in its middle.
        if (m_scrollAnimation->state() != QAbstractAnimation::Running && !m_centreTimer->isActive())
            m_centreTimer->start();
    }
    return QWidget::eventFilter(watched, event);
}

#include "ui/study/card_view.h"

#include "core/app/commands_coordinator.h"
#include "core/app/due_session.h"
#include "core/study/navigation.h"
#include "ui/study/card_view_controls.h"
#include "ui/study/face_controls.h"
#include "ui/study/face_view.h"
#include "ui/study/selection_bar.h"
#include "ui/study/spring_easing.h"
#include "ui/study/study_key_filter.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLocale>
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
    m_faceControls->setObjectName(QStringLiteral("faceControls"));
    m_scrollArea->setObjectName(QStringLiteral("facesScrollArea"));
    m_cardControls->setObjectName(QStringLiteral("cardControls"));

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

    // In the Due mode, in place of the faces once nothing is left to study.
    m_nothingDue = new QLabel(this);
    m_nothingDue->setObjectName(QStringLiteral("nothingDueMessage"));
    m_nothingDue->setAlignment(Qt::AlignCenter);
    m_nothingDue->setWordWrap(true);
    m_nothingDue->setMargin(24);
    m_nothingDue->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_faceControls, 0, Qt::AlignHCenter);
    layout->addWidget(m_scrollArea, 1);
    layout->addWidget(m_nothingDue, 1);
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
            addShortcut(info, key);
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

void CardView::addShortcut(const StudyActionInfo &info, Qt::Key key)
{
    auto *shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    const auto handler = info.handler;
    const bool dueModeOnly = info.dueModeOnly;
    connect(shortcut, &QShortcut::activated, this, [this, handler, dueModeOnly] {
        // An open pop-up (the progress picker's list) has the keyboard to itself.
        if (QApplication::activePopupWidget())
            return;
        if (dueModeOnly && !inDueMode())
            return;
        (static_cast<StudyActionTarget *>(this)->*handler)();
    });
}

void CardView::setDueSession(DueSession *session)
{
    if (m_due)
        disconnect(m_due, nullptr, this, nullptr);
    m_due = session;
    if (!m_due)
        return;
    connect(m_due, &DueSession::modeChanged, this, [this] {
        if (inDueMode())
            showNextDue();
        else
            setNothingDue(false);
    });
    // After the browser has taken the new deck, whose signals come in no fixed order.
    connect(
        m_due, &DueSession::deckReplaced, this,
        [this] {
            if (inDueMode())
                showNextDue();
        },
        Qt::QueuedConnection);
    connect(m_due, &DueSession::queueChanged, this, [this] {
        if (!inDueMode() || !m_showingNothingDue)
            return;
        // A face fell due meanwhile (a learning step ended, a new study day began).
        if (m_due->next())
            showNextDue();
        else
            updateNothingDueText();
    });
    if (inDueMode())
        showNextDue();
}

bool CardView::inDueMode() const
{
    return m_due && m_due->mode() == StudyMode::Due;
}

void CardView::showNextDue()
{
    const std::optional<QueuedFace> next = m_due ? m_due->next() : std::nullopt;
    setNothingDue(!next);
    if (next)
        showFace(*next);
}

void CardView::showFace(const QueuedFace &face)
{
    if (m_selectedCard != face.card) {
        if (FaceView *old = activeFaceView())
            old->setActive(false);
        m_currentFace = face.face;
        m_keepCurrentFace = true;
        Q_EMIT selectedCardChangeRequested(face.card);
        m_keepCurrentFace = false;
    }
    setCurrentFace(face.face);
}

void CardView::setNothingDue(bool nothingDue)
{
    m_showingNothingDue = nothingDue;
    if (nothingDue)
        updateNothingDueText();
    m_nothingDue->setVisible(nothingDue);
    m_scrollArea->setVisible(!nothingDue);
    m_faceControls->setVisible(!nothingDue && shownCard());
}

void CardView::updateNothingDueText()
{
    if (!m_due)
        return;
    if (m_due->isBuilding()) {
        // A big deck's queue is still being built: there may well be faces due.
        m_nothingDue->setText(tr("Finding the faces that are due…"));
        return;
    }
    const QLocale locale;
    QString text = tr("Nothing is left to study for now.");
    if (const std::optional<QDateTime> &next = m_due->queue().nextDue) {
        const QDateTime local = next->toLocalTime();
        text += u'\n';
        text += local.date() == m_coordinator.now().toLocalTime().date()
                    ? tr("The next face is due at %1.")
                          .arg(locale.toString(local.time(), QLocale::ShortFormat))
                    : tr("The next face is due on %1.")
                          .arg(locale.toString(local, QLocale::ShortFormat));
    }
    const DayReviews today = m_due->reviewsToday();
    text += QStringLiteral("\n\n");
    if (today.reviewed == 0) {
        text += tr("Nothing reviewed today yet.");
    } else {
        const int recalled = qRound(100.0 * double(today.recalled) / double(today.reviewed));
        text += tr("Today: %1 reviewed, %2 % correct, %3 new.")
                    .arg(today.reviewed)
                    .arg(recalled)
                    .arg(m_due->newFacesToday());
    }
    m_nothingDue->setText(text);
}

void CardView::passed()
{
    if (!inDueMode()) {
        nextFace();
        return;
    }
    if (m_selectedCard)
        m_due->passOver(*m_selectedCard, m_currentFace);
    showNextDue();
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

void CardView::gradeActiveFaceAgain()
{
    gradeActiveFace(Grade::Again);
}

void CardView::gradeActiveFaceHard()
{
    gradeActiveFace(Grade::Hard);
}

void CardView::gradeActiveFaceGood()
{
    gradeActiveFace(Grade::Good);
}

void CardView::gradeActiveFaceEasy()
{
    gradeActiveFace(Grade::Easy);
}

void CardView::gradeActiveFace(Grade grade)
{
    if (FaceView *view = activeFaceView())
        view->grade(grade);
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
    if (!m_keepCurrentFace) {
        m_currentFace = 0;
        // Another card chosen in the browser is shown even when nothing is due.
        if (m_showingNothingDue && !sameCard)
            setNothingDue(false);
    }
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
    // The faces behind the message that nothing is due take no keys.
    return m_showingNothingDue ? nullptr : m_faceViews.value(m_currentFace);
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
                if (position >= 0 && m_selectedCard &&
                    m_coordinator.reviewFace(*m_selectedCard, position, record, grade) &&
                    inDueMode())
                    showNextDue();
            });
    connect(view, &FaceView::nextFaceRequested, this, &CardView::passed);
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
    m_faceControls->setVisible(card != nullptr && !m_showingNothingDue);
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

#include "ui/study/card_view_controls.h"

#include "core/study/navigation.h"
#include "ui/study/study_actions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

CardViewControls::CardViewControls(QWidget *parent)
    : QWidget(parent), m_label(new QLabel(tr("Card:"), this)),
      m_previous(new QPushButton(tr("Previous"), this)), m_next(new QPushButton(tr("Next"), this))
{
    m_previous->setToolTip(studyActionToolTip(StudyAction::PreviousCard));
    m_next->setToolTip(studyActionToolTip(StudyAction::NextCard));
    auto *layout = new QHBoxLayout(this);
    for (QWidget *widget : std::initializer_list<QWidget *>{m_label, m_previous, m_next}) {
        widget->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(widget, 0, Qt::AlignVCenter);
    }
    connect(m_previous, &QPushButton::clicked, this, &CardViewControls::previousCard);
    connect(m_next, &QPushButton::clicked, this, &CardViewControls::nextCard);
    setSelection(std::nullopt, 0);
}

void CardViewControls::setSelection(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    m_selectedCard = selectedCard;
    m_cardCount = cardCount;
    m_previous->setEnabled(canGoToPreviousCard(selectedCard, cardCount));
    m_next->setEnabled(canGoToNextCard(selectedCard, cardCount));
}

void CardViewControls::previousCard()
{
    if (canGoToPreviousCard(m_selectedCard, m_cardCount))
        Q_EMIT selectedCardChangeRequested(::previousCard(m_selectedCard, m_cardCount));
}

void CardViewControls::nextCard()
{
    if (canGoToNextCard(m_selectedCard, m_cardCount))
        Q_EMIT selectedCardChangeRequested(::nextCard(m_selectedCard, m_cardCount));
}

#include "ui/browser/study_mode_switch.h"

#include "core/app/due_session.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *modeButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Reached by Tab, as the sidebar's other buttons; single keys belong to the study view.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

StudyModeSwitch::StudyModeSwitch(DueSession &session, QWidget *parent)
    : QWidget(parent), m_session(session),
      m_inOrder(modeButton(tr("In Order"), QStringLiteral("inOrderModeButton"), this)),
      m_due(modeButton(tr("Due"), QStringLiteral("dueModeButton"), this)),
      m_counts(new QLabel(this))
{
    setObjectName(QStringLiteral("studyModeSwitch"));
    m_inOrder->setToolTip(tr("Study every card in file order"));
    m_due->setToolTip(tr("Study the faces that are due, as the schedule has them"));
    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(m_inOrder);
    group->addButton(m_due);

    m_counts->setObjectName(QStringLiteral("dueCounts"));
    m_counts->setAlignment(Qt::AlignCenter);
    m_counts->setForegroundRole(QPalette::PlaceholderText);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    buttons->addWidget(m_inOrder);
    buttons->addWidget(m_due);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(m_counts);

    connect(m_inOrder, &QToolButton::clicked, this,
            [this] { m_session.setMode(StudyMode::InOrder); });
    connect(m_due, &QToolButton::clicked, this, [this] { m_session.setMode(StudyMode::Due); });
    connect(&m_session, &DueSession::modeChanged, this, &StudyModeSwitch::showMode);
    connect(&m_session, &DueSession::queueChanged, this, &StudyModeSwitch::showCounts);
    connect(&m_session, &DueSession::deckReplaced, this, &StudyModeSwitch::showCounts);
    showMode();
    showCounts();
}

void StudyModeSwitch::showMode()
{
    const bool due = m_session.mode() == StudyMode::Due;
    m_due->setChecked(due);
    m_inOrder->setChecked(!due);
}

void StudyModeSwitch::showCounts()
{
    if (m_session.isBuilding()) {
        m_counts->setText(tr("Counting the faces due…"));
        return;
    }
    const DueQueue &queue = m_session.queue();
    m_counts->setText(tr("%1 due now · %2 new today").arg(queue.dueCount).arg(queue.newCount));
}

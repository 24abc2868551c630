#include "ui/browser/recent_file_row.h"

#include "ui/browser/file_reveal.h"
#include "ui/browser/sidebar_look.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

RecentFileRow::RecentFileRow(const QString &title, const QUrl &file, QWidget *parent)
    : QWidget(parent), m_title(title), m_file(file), m_openButton(new QToolButton(this)),
      m_removeButton(new QToolButton(this)), m_contextMenu(new QMenu(this)),
      m_revealAction(m_contextMenu->addAction(revealActionText()))
{
    m_removeButton->setObjectName(QStringLiteral("removeButton"));
    // The context menu of the open button holds the one reveal command.
    m_contextMenu->setObjectName(QStringLiteral("contextMenu"));
    m_revealAction->setObjectName(QStringLiteral("revealAction"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);

    // Titles are shown verbatim, never translated.
    m_openButton->setAutoRaise(true);
    m_openButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_openButton->setText(title);
    QFont headline = m_openButton->font();
    headline.setBold(true);
    m_openButton->setFont(headline);
    m_openButton->setToolTip(tr("Open recent file %1.").arg(title));
    m_openButton->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_openButton, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_contextMenu->popup(m_openButton->mapToGlobal(at)); });
    layout->addWidget(m_openButton, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    m_removeButton->setAutoRaise(true);
    m_removeButton->setIcon(removeMarkIcon(palette()));
    m_removeButton->setToolTip(tr("Remove %1 from recent files").arg(title));
    m_removeButton->setAccessibleName(m_removeButton->toolTip());
    m_removeButton->setContextMenuPolicy(Qt::PreventContextMenu);
    // Reached by Tab, where their focus shows; a click leaves the keyboard where it was.
    m_openButton->setFocusPolicy(Qt::TabFocus);
    m_removeButton->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(m_removeButton, 0, Qt::AlignVCenter);

    connect(m_openButton, &QToolButton::clicked, this, [this] { Q_EMIT openRequested(m_file); });
    connect(m_revealAction, &QAction::triggered, this, [this] { Q_EMIT revealRequested(m_file); });
    connect(m_removeButton, &QToolButton::clicked, this,
            [this] { Q_EMIT removeRequested(m_file); });
}

void RecentFileRow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        m_removeButton->setIcon(removeMarkIcon(palette()));
    QWidget::changeEvent(event);
}

void RecentFileRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitTitle();
}

void RecentFileRow::fitTitle()
{
    const QMargins margins = layout()->contentsMargins();
    const int room = width() - margins.left() - margins.right() - layout()->spacing() -
                     m_removeButton->sizeHint().width();
    const QFontMetrics metrics(m_openButton->font());
    // What the button needs around its text.
    const int frame =
        m_openButton->sizeHint().width() - metrics.horizontalAdvance(m_openButton->text());
    const QString shown = metrics.elidedText(m_title, Qt::ElideRight, std::max(0, room - frame));
    if (shown != m_openButton->text())
        m_openButton->setText(shown);
    m_openButton->setMaximumWidth(std::max(0, room));
}

#include "ui/browser/recent_file_row.h"

#include "ui/browser/file_reveal.h"
#include "ui/browser/sidebar_look.h"
#include "ui/browser/title_button.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>

RecentFileRow::RecentFileRow(const QString &title, const QUrl &file, QWidget *parent)
    : QWidget(parent), m_title(title), m_file(file), m_openButton(new TitleButton(this)),
      m_removeButton(new QToolButton(this)), m_revealAction(new QAction(revealActionText(), this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);

    // Titles are shown verbatim, never translated.
    m_openButton->setText(title);
    QFont headline = m_openButton->font();
    headline.setBold(true);
    m_openButton->setFont(headline);
    m_openButton->setToolTip(tr("Open recent file %1.").arg(title));
    m_openButton->addAction(m_revealAction);
    m_openButton->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(m_openButton, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    m_removeButton->setAutoRaise(true);
    m_removeButton->setIcon(removeMarkIcon(palette()));
    m_removeButton->setToolTip(tr("Remove %1 from recent files").arg(title));
    m_removeButton->setAccessibleName(m_removeButton->toolTip());
    m_removeButton->setContextMenuPolicy(Qt::PreventContextMenu);
    layout->addWidget(m_removeButton, 0, Qt::AlignVCenter);

    connect(m_openButton, &QToolButton::clicked, this, [this] { Q_EMIT openRequested(m_file); });
    connect(m_revealAction, &QAction::triggered, this, [this] { Q_EMIT revealRequested(m_file); });
    connect(m_removeButton, &QToolButton::clicked, this,
            [this] { Q_EMIT removeRequested(m_file); });
}

QToolButton *RecentFileRow::openButton() const
{
    return m_openButton;
}

void RecentFileRow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        m_removeButton->setIcon(removeMarkIcon(palette()));
    QWidget::changeEvent(event);
}

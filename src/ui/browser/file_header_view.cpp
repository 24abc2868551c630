#include "ui/browser/file_header_view.h"

#include "ui/browser/elided_label.h"
#include "ui/browser/sidebar_look.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

FileHeaderView::FileHeaderView(QWidget *parent)
    : QWidget(parent), m_title(new ElidedLabel(this)), m_endButton(new QToolButton(this))
{
    auto *layout = new QHBoxLayout(this);

    QFont headline = m_title->font();
    headline.setBold(true);
    m_title->setFont(headline);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(m_title, 1);

    m_endButton->setObjectName(QStringLiteral("endStudyingButton"));
    m_endButton->setAutoRaise(true);
    m_endButton->setIcon(removeMarkIcon(palette()));
    m_endButton->setToolTip(tr("End studying"));
    m_endButton->setAccessibleName(tr("End studying"));
    // Reached by Tab, where its focus shows; a click leaves the keyboard where it was.
    m_endButton->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(m_endButton, 0, Qt::AlignVCenter);

    connect(m_endButton, &QToolButton::clicked, this, &FileHeaderView::endStudyingRequested);
}

void FileHeaderView::setTitle(const QString &title)
{
    // Shown verbatim, never translated; the full title stays reachable as the tooltip.
    m_title->setText(title);
    m_title->setToolTip(title);
}

QString FileHeaderView::title() const
{
    return m_title->text();
}

void FileHeaderView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        m_endButton->setIcon(removeMarkIcon(palette()));
    QWidget::changeEvent(event);
}

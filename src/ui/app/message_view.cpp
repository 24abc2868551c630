#include "ui/app/message_view.h"

#include <QLabel>
#include <QVBoxLayout>

MessageView::MessageView(const QString &text, QWidget *parent)
    : QWidget(parent), m_label(new QLabel(text, this))
{
    auto *layout = new QVBoxLayout(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QString MessageView::text() const
{
    return m_label->text();
}

#include "ui/browser/title_button.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

TitleButton::TitleButton(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize TitleButton::minimumSizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3,
                 QToolButton::minimumSizeHint().height());
}

void TitleButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // Leave the style's own margins around the text.
    const int spare = QToolButton::sizeHint().width() - fontMetrics().horizontalAdvance(text());
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, width() - spare));
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
}

#include "ui/browser/card_row_delegate.h"

#include "core/app/card_list_model.h"
#include "ui/browser/sidebar_look.h"

#include <QApplication>
#include <QPainter>

namespace {

int horizontalMargin(const QStyleOptionViewItem &option)
{
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 4;
}

} // namespace

QRect CardRowDelegate::dotRect(const QRect &rowRect, int margin)
{
    return QRect(rowRect.right() - margin - dotSize + 1,
                 rowRect.top() + (rowRect.height() - dotSize) / 2, dotSize, dotSize);
}

void CardRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    const int margin = horizontalMargin(opt);

    // The style draws the row's background and selection; the text is drawn here so that it
    // keeps clear of the dot.
    const QString text = opt.text;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect dot = dotRect(opt.rect, margin);
    QRect textRect = opt.rect.adjusted(margin, 0, 0, 0);
    textRect.setRight(dot.left() - margin);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole textRole =
        (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, textRole));
    const QString label = opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, label);

    // The caption after the label, dimmer, elided to what is left of the row.
    const QString caption = index.data(CardListModel::CaptionRole).toString();
    const int gap = opt.fontMetrics.horizontalAdvance(QLatin1Char(' ')) * 2;
    QRect captionRect = textRect.adjusted(opt.fontMetrics.horizontalAdvance(label) + gap, 0, 0, 0);
    if (!caption.isEmpty() && captionRect.width() > 0) {
        if (!(opt.state & QStyle::State_Selected))
            painter->setPen(secondaryLabelColor(opt.palette));
        painter->drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(caption, Qt::ElideRight, captionRect.width()));
    }

    const QColor color =
        ratingDotColor(index.data(CardListModel::RatingFractionRole).toDouble(), opt.palette);
    if (color.alpha() > 0) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(color);
        painter->drawEllipse(dot);
    }
    painter->restore();
}

QSize CardRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += dotSize + 2 * horizontalMargin(option);
    size.setHeight(std::max(size.height() + 6, dotSize + 8));
    return size;
}

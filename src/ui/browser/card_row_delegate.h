#pragma once

#include <QStyledItemDelegate>

// Paints a card row: its label, its caption and, at the right, the rating dot of the card.
class CardRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardRowDelegate)

public:
    static constexpr int dotSize = 10;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Where the dot of a row drawn in rect goes.
    static QRect dotRect(const QRect &rowRect, int margin);
};

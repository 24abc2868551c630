#include "ui/browser/card_list_view.h"

CardListView::CardListView(QWidget *parent) : QListView(parent)
{
    // Every row has the same height, which keeps a deck of a hundred thousand cards quick.
    setUniformItemSizes(true);
}

void CardListView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                               const QList<int> &roles)
{
    // The item view's own handling repaints the changed rows; the list view's would also lay
    // out every row again.
    if (uniformItemSizes() && viewMode() == QListView::ListMode)
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    else
        QListView::dataChanged(topLeft, bottomRight, roles);
}

#include "ui/browser/card_list_view.h"

#include <utility>

CardListView::CardListView(QWidget *parent) : QListView(parent)
{
    // Every row has the same height, which keeps a deck of a hundred thousand cards quick.
    setUniformItemSizes(true);
    // A batch costs a few milliseconds; smaller decks are laid out in one go, as before.
    setLayoutMode(QListView::Batched);
    setBatchSize(20000);
}

void CardListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    m_scrollWhenLaidOut = QPersistentModelIndex();
    QListView::scrollTo(index, hint);
    // Rows past the part laid out so far have no place yet.
    if (index.isValid() && !rectForIndex(index).isValid()) {
        m_scrollWhenLaidOut = index;
        m_scrollHint = hint;
    }
}

void CardListView::updateGeometries()
{
    QListView::updateGeometries();
    if (!m_scrollWhenLaidOut.isValid() || !rectForIndex(m_scrollWhenLaidOut).isValid())
        return;
    const QModelIndex index = std::exchange(m_scrollWhenLaidOut, QPersistentModelIndex());
    QListView::scrollTo(index, m_scrollHint);
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

#pragma once

#include <QListView>
#include <QPersistentModelIndex>

// The card list. Its rows all have one height and span the list's width, so a change of a
// card's data never moves a row: the changed rows are repainted and the list is not laid out
// again, which over a hundred thousand cards would cost milliseconds per rating.
//
// A list of many rows is laid out a batch of rows at a time, between the window's other events:
// laid out at once, a million rows keep the window from answering for a third of a second or
// more. A row scrolled to before the layout reached it is scrolled to once it is laid out.
class CardListView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardListView)

public:
    explicit CardListView(QWidget *parent = nullptr);

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = {}) override;
    void updateGeometries() override;

private:
    QPersistentModelIndex m_scrollWhenLaidOut;
    ScrollHint m_scrollHint = EnsureVisible;
};

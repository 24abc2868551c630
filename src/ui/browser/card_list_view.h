#pragma once

#include <QListView>

// The card list. Its rows all have one height and span the list's width, so a change of a
// card's data never moves a row: the changed rows are repainted and the list is not laid out
// again, which over a hundred thousand cards would cost milliseconds per rating.
class CardListView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardListView)

public:
    explicit CardListView(QWidget *parent = nullptr);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = {}) override;
};

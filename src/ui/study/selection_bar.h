#pragma once

#include <QList>
#include <QWidget>

class QHBoxLayout;
class SelectionBarItem;

// The faces bar: one numbered item per face, counted from 0, tinted by the face's rating, the
// selected one emphasised, between two invisible placeholders. Clicking an item chooses it.
class SelectionBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectionBar)

public:
    explicit SelectionBar(QWidget *parent = nullptr);

    qsizetype count() const { return m_items.size(); }
    // One item per rating, in order, with `index` selected. Animated, items change size with the
    // spring and colour with ease-in-out.
    void setItems(const QList<int> &ratings, qsizetype index, bool animated);
    void setIndex(qsizetype index, bool animated);
    qsizetype index() const { return m_index; }

    SelectionBarItem *item(qsizetype i) const { return m_items.value(i); }
    SelectionBarItem *leadingPlaceholder() const { return m_leading; }
    SelectionBarItem *trailingPlaceholder() const { return m_trailing; }

Q_SIGNALS:
    // The user clicked item i.
    void indexChosen(qsizetype i);
    // Item i is now the selected one (set from outside or after new items).
    void indexChanged(qsizetype i);

private:
    QHBoxLayout *m_layout;
    SelectionBarItem *m_leading;
    SelectionBarItem *m_trailing;
    QList<SelectionBarItem *> m_items;
    qsizetype m_index = 0;
};

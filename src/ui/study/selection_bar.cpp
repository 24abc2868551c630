#include "ui/study/selection_bar.h"

#include "core/study/review.h"
#include "ui/study/selection_bar_item.h"

#include <QHBoxLayout>

SelectionBar::SelectionBar(QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this)),
      m_leading(new SelectionBarItem(SelectionBarItem::Kind::Placeholder, this)),
      m_trailing(new SelectionBarItem(SelectionBarItem::Kind::Placeholder, this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    // Always as wide as its items: a card of many faces scrolls the bar (see FaceControls)
    // rather than squeezing its items.
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
    m_layout->addWidget(m_leading, 0, Qt::AlignVCenter);
    m_layout->addWidget(m_trailing, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SelectionBar::setItems(const QList<int> &ratings, qsizetype index, bool animated)
{
    // Items are kept and reused; only the surplus is removed, so the bar never flickers.
    while (m_items.size() > ratings.size())
        delete m_items.takeLast();
    while (m_items.size() < ratings.size()) {
        const qsizetype i = m_items.size();
        auto *item = new SelectionBarItem(SelectionBarItem::Kind::Item, this);
        item->setText(QString::number(qint64(i)));
        connect(item, &QAbstractButton::clicked, this, [this, i] { Q_EMIT indexChosen(i); });
        m_layout->insertWidget(int(i) + 1, item, 0, Qt::AlignVCenter);
        item->setSelected(i == index, false);
        m_items.append(item);
    }
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        m_items[i]->setRating(ratings[i], animated && m_items[i]->rating() != ratings[i]);
        // A screen reader hears more than the number drawn on the item.
        m_items[i]->setAccessibleName(
            tr("Face %1, rating %2 of %3").arg(i).arg(ratings[i]).arg(maximumRating));
    }
    m_index = -1;
    setIndex(index, animated);
}

void SelectionBar::setIndex(qsizetype index, bool animated)
{
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        const bool selected = i == index;
        if (m_items[i]->isSelected() != selected)
            m_items[i]->setSelected(selected, animated);
    }
    m_index = index;
    Q_EMIT indexChanged(index);
}

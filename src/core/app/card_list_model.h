#pragma once

#include "core/app/card_search.h"

#include <QAbstractListModel>

#include <optional>

class CommandsCoordinator;

// The cards of the coordinator's open deck as list rows, addressed by position. Rows read the
// deck in place (nothing is copied per row); a change of one card updates its row alone, and
// only a replaced deck or a new filter resets the list.
//
// A filter narrows the rows to the cards whose caption or text contain its words; a row then
// stands for the card at cardAt(row).
class CardListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardListModel)

public:
    enum Role {
        RatingFractionRole = Qt::UserRole + 1, // double: the card's rating fraction
        CaptionRole,                           // QString: shown after the label, may be empty
        CardIndexRole,                         // qint64: the card's position in the deck
    };

    explicit CardListModel(CommandsCoordinator &coordinator, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // "Card N", the label of the card at position index.
    static QString cardLabel(qsizetype index);
    // What a row shows after the label: the card's caption, or else the first line of its text
    // with the hidden passages masked.
    static QString rowCaption(const Card &card);

    QString filter() const { return m_filter; }
    // Shows only the cards that contain every word of `text`; a blank text shows all.
    void setFilter(const QString &text);
    bool isFiltered() const { return m_rows.has_value(); }
    // The number of cards in the deck, shown or not.
    int cardCount() const { return m_cardCount; }

    // The deck position of the card in a row, and the row of a card (none when it is
    // filtered out or not in the deck).
    qsizetype cardAt(int row) const;
    std::optional<int> rowOf(qsizetype card) const;

Q_SIGNALS:
    // The rows were narrowed or widened by the filter.
    void filterChanged();

private:
    void applyFilter();

    CommandsCoordinator &m_coordinator;
    int m_cardCount = 0;
    QString m_filter;
    // The deck positions shown, ascending, while a filter is set.
    std::optional<QList<int>> m_rows;
    CardSearch m_search;
};

#pragma once

#include <QAbstractListModel>

class CommandsCoordinator;

// The cards of the coordinator's open deck as list rows, addressed by position. Rows read the
// deck in place (nothing is copied per row); a change of one card updates its row alone, and
// only a replaced deck resets the list.
class CardListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardListModel)

public:
    enum Role {
        RatingFractionRole = Qt::UserRole + 1, // double: the card's rating fraction
    };

    explicit CardListModel(CommandsCoordinator &coordinator, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // "Card N", the label of the card at position index.
    static QString cardLabel(qsizetype index);

private:
    CommandsCoordinator &m_coordinator;
    int m_rowCount = 0;
};

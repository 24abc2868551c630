#include "ui/browser/card_list_model.h"

#include "core/app/commands_coordinator.h"

#include <limits>

namespace {

int cardCountOf(const CommandsCoordinator &coordinator)
{
    const auto &deck = coordinator.dataFile();
    if (!deck)
        return 0;
    // A list view counts rows in int; a deck beyond that shows its first 2^31 - 1 cards.
    return int(std::min<qsizetype>(deck->cards.size(), std::numeric_limits<int>::max()));
}

} // namespace

CardListModel::CardListModel(CommandsCoordinator &coordinator, QObject *parent)
    : QAbstractListModel(parent), m_coordinator(coordinator), m_rowCount(cardCountOf(coordinator))
{
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, [this] {
        beginResetModel();
        m_rowCount = cardCountOf(m_coordinator);
        endResetModel();
    });
    connect(&m_coordinator, &CommandsCoordinator::cardChanged, this, [this](qsizetype card) {
        if (card < 0 || card >= m_rowCount)
            return;
        const QModelIndex changed = index(int(card));
        Q_EMIT dataChanged(changed, changed);
    });
}

int CardListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

QVariant CardListModel::data(const QModelIndex &index, int role) const
{
    const auto &deck = m_coordinator.dataFile();
    if (!index.isValid() || index.parent().isValid() || !deck || index.row() >= m_rowCount ||
        index.row() >= deck->cards.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return cardLabel(index.row());
    case Qt::AccessibleDescriptionRole:
        // The dot painted beside the label, for a screen reader.
        return tr("Progress %1 %").arg(qRound(deck->cards.at(index.row()).ratingFraction() * 100));
    case RatingFractionRole:
        return deck->cards.at(index.row()).ratingFraction();
    default:
        return {};
    }
}

QString CardListModel::cardLabel(qsizetype index)
{
    return tr("Card %1").arg(qint64(index));
}

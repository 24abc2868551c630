#include "core/app/card_list_model.h"

#include "core/app/commands_coordinator.h"
#include "core/study/markup.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

int cardCountOf(const CommandsCoordinator &coordinator)
{
    const auto &deck = coordinator.dataFile();
    if (!deck)
        return 0;
    // A list view counts rows in int; a deck beyond that shows its first 2^31 - 1 cards.
    return int(std::min<qsizetype>(deck->cards.size(), std::numeric_limits<int>::max()));
}

// A row shows one line of a caption at most; more is never seen and costs time to elide.
constexpr qsizetype maxCaptionLength = 200;

} // namespace

CardListModel::CardListModel(CommandsCoordinator &coordinator, QObject *parent)
    : QAbstractListModel(parent), m_coordinator(coordinator), m_cardCount(cardCountOf(coordinator))
{
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, [this] {
        beginResetModel();
        m_cardCount = cardCountOf(m_coordinator);
        // Another deck, or the same one read again: its text is searched afresh.
        m_search.reset();
        applyFilter();
        endResetModel();
    });
    connect(&m_coordinator, &CommandsCoordinator::cardChanged, this, [this](qsizetype card) {
        if (const std::optional<int> row = rowOf(card)) {
            const QModelIndex changed = index(*row);
            Q_EMIT dataChanged(changed, changed);
        }
    });
}

int CardListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_rows ? int(m_rows->size()) : m_cardCount;
}

qsizetype CardListModel::cardAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_rows ? m_rows->at(row) : row;
}

std::optional<int> CardListModel::rowOf(qsizetype card) const
{
    if (card < 0 || card >= m_cardCount)
        return std::nullopt;
    if (!m_rows)
        return int(card);
    const auto it = std::lower_bound(m_rows->begin(), m_rows->end(), card);
    if (it == m_rows->end() || *it != card)
        return std::nullopt;
    return int(it - m_rows->begin());
}

QVariant CardListModel::data(const QModelIndex &index, int role) const
{
    const auto &deck = m_coordinator.dataFile();
    if (!index.isValid() || index.parent().isValid() || !deck)
        return {};
    const qsizetype position = cardAt(index.row());
    if (position < 0 || position >= deck->cards.size())
        return {};
    const Card &card = deck->cards.at(position);
    switch (role) {
    case Qt::DisplayRole:
        return cardLabel(position);
    case Qt::AccessibleTextRole: {
        const QString caption = rowCaption(card);
        return caption.isEmpty() ? cardLabel(position)
                                 : tr("%1: %2").arg(cardLabel(position), caption);
    }
    case Qt::AccessibleDescriptionRole:
        // The dot painted beside the label, for a screen reader.
        return tr("Progress %1 %").arg(qRound(card.ratingFraction() * 100));
    case RatingFractionRole:
        return card.ratingFraction();
    case CaptionRole:
        return rowCaption(card);
    case CardIndexRole:
        return qint64(position);
    default:
        return {};
    }
}

QString CardListModel::cardLabel(qsizetype index)
{
    return tr("Card %1").arg(qint64(index));
}

QString CardListModel::rowCaption(const Card &card)
{
    if (!card.caption.isEmpty())
        return card.caption.left(maxCaptionLength);
    // The first line that says something; masked, so that a row never gives an answer away.
    for (const CardFace &face : card.faces) {
        const auto caption = face.text.visit([](auto text) -> std::optional<QString> {
            for (const auto line : text.tokenize(u'\n')) {
                const auto shown = line.trimmed();
                if (!shown.isEmpty())
                    return maskedText(shown.left(maxCaptionLength).toString()).trimmed();
            }
            return std::nullopt;
        });
        if (caption)
            return *caption;
    }
    return {};
}

void CardListModel::setFilter(const QString &text)
{
    if (text == m_filter)
        return;
    beginResetModel();
    m_filter = text;
    applyFilter();
    endResetModel();
    Q_EMIT filterChanged();
}

void CardListModel::applyFilter()
{
    const auto &deck = m_coordinator.dataFile();
    if (CardSearch::words(m_filter).isEmpty() || !deck) {
        m_rows.reset();
        return;
    }
    QList<int> rows = m_search.matches(deck->cards, m_filter);
    // Never beyond the rows the list can count.
    while (!rows.isEmpty() && rows.last() >= m_cardCount)
        rows.removeLast();
    m_rows = std::move(rows);
}

#pragma once

#include "core/model/records.h"

#include <functional>
#include <memory>
#include <optional>

// Cuts a flashcard text into cards and faces, every face new and unrated.
// Never fails: a text without cards gives an empty list.
QList<Card> readCards(QStringView text);

// The same for a text given piece by piece, as a big file is read: a line cut by the end of a
// piece waits for the rest of it. The cards are those readCards gives for the whole text.
class CardReader
{
public:
    CardReader();
    ~CardReader();
    CardReader(const CardReader &) = delete;
    CardReader &operator=(const CardReader &) = delete;

    void add(QStringView piece);
    // The cards, once every piece has been added.
    QList<Card> finish();

    // Called with each card as soon as it is cut, and its place among the cards, before it
    // joins the others: it may give the card's faces other blocks of the same texts.
    using CardCut = std::function<void(Card &card, qsizetype index)>;
    void setCardCut(CardCut cut);

    // The cards cut so far.
    qsizetype cardCount() const;
    // Room for about so many cards in all, as estimated from the part read so far: the list of
    // the cards is then made at once rather than gathered in batches that are joined at the end.
    void reserve(qsizetype cards);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The whole content of a local file decoded as UTF-8; nothing when it cannot be read or the
// bytes are not UTF-8.
[[nodiscard]] std::optional<QString> readUtf8File(const QString &path);

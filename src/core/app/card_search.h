#pragma once

#include "core/model/records.h"

#include <QList>
#include <QString>
#include <QStringList>

// Finds the cards of a deck whose caption or text contain every word of a query, ignoring case
// and accents ("eté" finds "Été"). Hidden passages count with their text, braces left out.
//
// The deck's text is folded once, into one string, on the first search; a query that only
// narrows the previous one (more letters, more words) looks only at the previous matches, so
// typing into a filter over a hundred thousand cards stays quick.
class CardSearch final
{
public:
    // Lower-case, compatibility-decomposed text without its combining marks: the form both the
    // deck and the query are compared in.
    static QString fold(QStringView text);
    // The folded words of a query; none for a blank one.
    static QStringList words(QStringView query);

    // Forgets the deck: the next search folds the given one afresh.
    void reset();

    // Positions (ascending) of the cards of `cards` that contain every word of the query.
    // A blank query matches every card.
    QList<int> matches(const QList<Card> &cards, QStringView query);

private:
    void build(const QList<Card> &cards);

    bool m_built = false;
    // Every card's folded caption and text, one after the other; card i is the stretch from
    // m_starts[i] to m_starts[i + 1].
    QString m_text;
    QList<qsizetype> m_starts;
    QStringList m_lastWords;
    QList<int> m_lastMatches;
};

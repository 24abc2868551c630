#include "core/app/card_search.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// The face text as it reads, without its markup: braces that open or close a hidden passage
// are left out, so "{Paris}" is found by "Paris" and "capital of {France}" by "capital of
// France"; an escaped brace is found as the brace alone.
QChar charOf(QChar c)
{
    return c;
}

QChar charOf(char latin1)
{
    return QLatin1Char(latin1);
}

template <typename Chars> void appendWithoutMarkup(QString &out, Chars text)
{
    QChar previous;
    for (const auto unit : text) {
        const QChar c = charOf(unit);
        if (c != u'{' && c != u'}') {
            out.append(c);
        } else if (previous == u'\\') {
            out.chop(1);
            out.append(c);
        }
        previous = c;
    }
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString CardSearch::fold(QStringView text)
{
    if (isAscii(text))
        return text.toString().toLower();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            bare.append(c);
    }
    return bare.toCaseFolded();
}

QStringList CardSearch::words(QStringView query)
{
    return fold(query).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

void CardSearch::reset()
{
    m_built = false;
    m_text = QString();
    m_starts.clear();
    m_lastWords.clear();
    m_lastMatches.clear();
}

void CardSearch::build(const QList<Card> &cards)
{
    m_text.clear();
    m_starts.clear();
    m_starts.reserve(cards.size() + 1);
    QString card;
    for (const Card &each : cards) {
        m_starts.append(m_text.size());
        card.clear();
        card.append(each.caption);
        for (const CardFace &face : each.faces) {
            // Words never run on from one face into the next.
            card.append(u'\n');
            face.text.visit([&card](auto text) { appendWithoutMarkup(card, text); });
        }
        m_text.append(fold(card));
    }
    m_starts.append(m_text.size());
    m_built = true;
    m_lastWords.clear();
    m_lastMatches.clear();
}

QList<int> CardSearch::matches(const QList<Card> &cards, QStringView query)
{
    // A list view addresses rows with int.
    const int count = int(std::min<qsizetype>(cards.size(), std::numeric_limits<int>::max()));
    const QStringList wanted = words(query);
    if (wanted.isEmpty()) {
        QList<int> all(count);
        std::iota(all.begin(), all.end(), 0);
        return all;
    }
    if (!m_built || m_starts.size() != cards.size() + 1)
        build(cards);

    // Every earlier word inside some new word: the new matches are among the earlier ones.
    const bool narrows =
        !m_lastWords.isEmpty() &&
        std::all_of(m_lastWords.begin(), m_lastWords.end(), [&](const QString &earlier) {
            return std::any_of(wanted.begin(), wanted.end(),
                               [&](const QString &word) { return word.contains(earlier); });
        });
    const auto matchesCard = [&](int i) {
        const QStringView text =
            QStringView(m_text).sliced(m_starts[i], m_starts[i + 1] - m_starts[i]);
        return std::all_of(wanted.begin(), wanted.end(),
                           [&](const QString &word) { return text.contains(word); });
    };
    QList<int> found;
    if (narrows) {
        for (const int i : std::as_const(m_lastMatches))
            if (matchesCard(i))
                found.append(i);
    } else {
        for (int i = 0; i < count; ++i)
            if (matchesCard(i))
                found.append(i);
    }
    m_lastWords = wanted;
    m_lastMatches = found;
    return found;
}

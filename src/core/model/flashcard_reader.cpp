#include "core/model/flashcard_reader.h"

#include "core/model/line_end.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace {

enum class LineKind { CardMarker, FaceMarker, Text };

// A marker is a line whose first three characters are "===" or "---". Characters are what a
// reader perceives: "==" followed by "=" with a combining accent is no marker.
bool startsWithMarker(QStringView line, QStringView marker)
{
    if (line.size() < marker.size() || line.first(marker.size()) != marker)
        return false;
    if (line.size() == marker.size() || line[marker.size()].unicode() < 0x300)
        return true;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line.data(), int(line.size()));
    graphemes.setPosition(int(marker.size()));
    return graphemes.isAtBoundary();
}

LineKind kindOf(QStringView line)
{
    // Most lines are text: their first character says so.
    if (line.isEmpty())
        return LineKind::Text;
    if (line.front() == u'=' && startsWithMarker(line, u"==="))
        return LineKind::CardMarker;
    if (line.front() == u'-' && startsWithMarker(line, u"---"))
        return LineKind::FaceMarker;
    return LineKind::Text;
}

// The caption of a card marker line: what follows "===", without the spaces and "="s around
// it, so "=== Europe", "===Europe" and "=== Europe ===" all give "Europe".
QString captionOf(QStringView markerLine)
{
    const auto isPadding = [](QChar c) { return c == u'=' || c.isSpace(); };
    qsizetype start = 0;
    qsizetype end = markerLine.size();
    while (start < end && isPadding(markerLine[start]))
        ++start;
    while (end > start && isPadding(markerLine[end - 1]))
        --end;
    return markerLine.sliced(start, end - start).toString();
}

// Builds cards as the lines go by: one pass, each line appended to at most one face.
class CardBuilder
{
public:
    CardBuilder() = default;
    explicit CardBuilder(QStringView source) : m_source(source) {}

    // The text that line positions refer to from now on. The face being built keeps what it
    // took from the text before.
    void setSource(QStringView source)
    {
        if (m_inFace)
            flushStretch();
        m_source = source;
    }

    void setCardCut(CardReader::CardCut cut) { m_cardCut = std::move(cut); }

    qsizetype cardCount() const { return m_cardCount; }
    void reserve(qsizetype cards)
    {
        if (std::exchange(m_reserved, true) || cards <= m_cardCount)
            return;
        QList<Card> all;
        all.reserve(cards);
        for (QList<Card> &batch : m_filled)
            all.append(std::move(batch));
        m_filled.clear();
        all.append(std::move(m_cards));
        m_cards = std::move(all);
        m_batchSize = cards;
    }

    void startCard(QStringView markerLine)
    {
        finishCard();
        m_caption = captionOf(markerLine);
    }

    void startFace()
    {
        finishFace();
        m_inFace = true;
    }

    // A line of the source from start to end, and whether a line feed ends it there.
    void addLine(qsizetype start, qsizetype end, bool endsWithLineFeed)
    {
        if (!m_inFace) {
            startFace();
            m_start = start;
            m_end = start;
            m_contiguous = true;
            m_stretch = true;
        }
        if (m_contiguous && start == m_end) {
            // So far the face is one stretch of the source in which every line ends with a
            // line feed: nothing to copy until the face is done.
            m_end = endsWithLineFeed ? end + 1 : end;
            m_contiguous = endsWithLineFeed;
            if (!endsWithLineFeed)
                m_missingLineFeed = true;
            return;
        }
        flushStretch();
        m_text.append(m_source.sliced(start, end - start));
        m_text.append(u'\n');
    }

    QList<Card> finish()
    {
        finishCard();
        QList<Card> cards;
        if (m_filled.empty()) {
            cards = std::move(m_cards);
            // Squeezing moves every card to a block of its own: the room left of an estimate
            // is only address space, never touched.
            if (!m_reserved)
                cards.squeeze();
        } else {
            // One block of the final size, filled outside the allocator's lock.
            qsizetype count = m_cards.size();
            for (const QList<Card> &batch : m_filled)
                count += batch.size();
            cards.reserve(count);
            for (QList<Card> &batch : m_filled) {
                cards.append(std::move(batch));
                batch = QList<Card>();
            }
            m_filled.clear();
            cards.append(std::move(m_cards));
            m_cards = QList<Card>();
        }
        for (qsizetype i = 0; i < cards.size(); ++i)
            cards[i].cardID = i;
        return cards;
    }

private:
    void flushStretch()
    {
        if (m_stretch) {
            m_text.append(m_source.sliced(m_start, m_end - m_start));
            if (m_missingLineFeed)
                m_text.append(u'\n');
        }
        m_start = m_end = 0;
        m_stretch = m_missingLineFeed = m_contiguous = false;
    }

    void finishFace()
    {
        if (!m_inFace)
            return;
        FaceText text;
        if (m_text.isEmpty() && m_stretch && !m_missingLineFeed) {
            // The usual face: made straight from the source, in one allocation.
            text = FaceText(m_source.sliced(m_start, m_end - m_start));
        } else {
            flushStretch();
            text = FaceText(m_text);
            // The room stays for the next face that needs it.
            m_text.resize(0);
        }
        m_start = m_end = 0;
        m_stretch = m_missingLineFeed = m_contiguous = false;

        CardFace face(std::move(text));
        face.cardFaceID = m_faces.size();
        m_faces.append(std::move(face));
        m_inFace = false;
    }

    void finishCard()
    {
        finishFace();
        if (!m_faces.isEmpty()) {
            // The card's list holds its faces and no spare room; the builder's own list keeps
            // its room for the next card.
            QList<CardFace> faces;
            faces.reserve(m_faces.size());
            std::move(m_faces.begin(), m_faces.end(), std::back_inserter(faces));
            Card card(std::move(faces));
            card.caption = std::move(m_caption);
            if (m_cardCut)
                m_cardCut(card, m_cardCount);
            ++m_cardCount;
            if (m_cards.size() >= m_batchSize) {
                m_filled.push_back(std::move(m_cards));
                m_cards = QList<Card>();
                m_batchSize = cardsPerBatch;
                m_cards.reserve(m_batchSize);
            }
            m_cards.append(std::move(card));
        }
        m_faces.clear();
        m_caption = QString();
    }

    // The cards are gathered in batches of a fixed size rather than in one list grown by
    // doubling: growing a list of millions of cards copies it, and while the memory allocator
    // copies a block it holds the lock that every other thread's allocations wait for (the
    // window's among them), for as long as copying a hundred megabytes into fresh memory takes.
    static constexpr qsizetype cardsPerBatch = 16384;
    // The first batch takes the room reserved for the cards of the whole deck.
    qsizetype m_batchSize = cardsPerBatch;
    qsizetype m_cardCount = 0;
    bool m_reserved = false;
    CardReader::CardCut m_cardCut;
    std::vector<QList<Card>> m_filled;
    QStringView m_source;
    QList<Card> m_cards;
    QList<CardFace> m_faces;
    QString m_caption;
    bool m_inFace = false;
    // The face's text so far: a stretch of the source not yet copied, then m_text.
    qsizetype m_start = 0;
    qsizetype m_end = 0;
    bool m_stretch = false;
    bool m_contiguous = false;
    bool m_missingLineFeed = false;
    QString m_text;
};

} // namespace

// The lines of the text so far and the cards they make.
struct CardReader::State
{
    CardBuilder builder;
    QString tail;      // the start of a line that the last piece cut off
    bool first = true; // no line read yet
    bool noCards = false;
    bool started = false;

    // Reads the line text[start, end), ended by the character at end unless it is the last.
    void readLine(QStringView text, qsizetype start, qsizetype end, bool last)
    {
        const QStringView line = text.sliced(start, end - start);
        const LineKind kind = kindOf(line);
        if (first) {
            first = false;
            if (kind != LineKind::CardMarker) {
                noCards = true;
                return;
            }
        }
        switch (kind) {
        case LineKind::CardMarker:
            builder.startCard(line);
            break;
        case LineKind::FaceMarker:
            builder.startFace();
            break;
        case LineKind::Text:
            builder.addLine(start, end, !last && text[end] == u'\n');
            break;
        }
    }
};

CardReader::CardReader() : m_state(std::make_unique<State>())
{
}

CardReader::~CardReader() = default;

void CardReader::add(QStringView piece)
{
    State &state = *m_state;
    if (!state.started && !piece.isEmpty()) {
        state.started = true;
        // A byte-order mark is an encoding artefact, not part of the first line.
        if (piece.startsWith(QChar(QChar::ByteOrderMark)))
            piece = piece.mid(1);
    }
    if (state.noCards)
        return;
    const char16_t *chars = piece.utf16();
    const qsizetype size = piece.size();
    qsizetype start = 0;
    if (!state.tail.isEmpty()) {
        // The line cut off before ends in this piece, or is longer still.
        qsizetype end = 0;
        while (end < size && !isLineEnd(chars[end]))
            ++end;
        state.tail.append(piece.first(std::min(end + 1, size)));
        if (end == size)
            return;
        state.builder.setSource(state.tail);
        state.readLine(state.tail, 0, state.tail.size() - 1, false);
        state.builder.setSource({});
        state.tail.resize(0);
        start = end + 1;
    }
    // The piece itself is the text the faces are cut from, without a copy.
    state.builder.setSource(piece);
    // Most characters lie between the line ends below U+000E and the next one, U+0085.
    const auto endsNoLine = [](char16_t c) {
        return char16_t(c - 0x0E) < char16_t(0x85 - 0x0E) || !isLineEnd(c);
    };
    for (qsizetype i = start; !state.noCards; ++i) {
        while (i < size && endsNoLine(chars[i]))
            ++i;
        if (i == size)
            break;
        state.readLine(piece, start, i, false);
        start = i + 1;
    }
    state.builder.setSource({});
    if (!state.noCards)
        state.tail.append(piece.sliced(start));
}

void CardReader::setCardCut(CardCut cut)
{
    m_state->builder.setCardCut(std::move(cut));
}

qsizetype CardReader::cardCount() const
{
    return m_state->builder.cardCount();
}

void CardReader::reserve(qsizetype cards)
{
    m_state->builder.reserve(cards);
}

QList<Card> CardReader::finish()
{
    State &state = *m_state;
    if (!state.noCards) {
        // The text after the last line end is a line too, possibly empty.
        state.builder.setSource(state.tail);
        state.readLine(state.tail, 0, state.tail.size(), true);
    }
    if (state.noCards)
        return {};
    return state.builder.finish();
}

QList<Card> readCards(QStringView text)
{
    CardReader reader;
    reader.add(text);
    return reader.finish();
}

std::optional<QString> readUtf8File(const QString &path)
{
    // Only regular files: reading a FIFO or a device could block forever.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    // Stateless: a sequence cut off at the end of the file is an error, not pending input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

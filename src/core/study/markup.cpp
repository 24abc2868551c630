#include "core/study/markup.h"

#include "core/model/line_end.h"

#include <algorithm>

MarkupPieces::MarkupPieces(const QString &text, Form form)
    : m_text(text), m_form(form), m_finder(QTextBoundaryFinder::Grapheme, m_text)
{
}

QString MarkupPieces::next(qsizetype maxLength, qsizetype maxLines)
{
    QString result;
    const qsizetype size = m_text.size();
    if (atEnd())
        return result;
    const qsizetype start = m_position;
    const qsizetype limit = start + std::clamp<qsizetype>(maxLength, 1, size - start);
    // Each character is kept, dropped or replaced by one underscore: never longer than the text.
    result.reserve(limit - start);

    // Where the piece may end instead of at the limit, with the state to go on from there.
    struct Cut
    {
        qsizetype position = -1;
        qsizetype length = 0;
        bool inside = false;
        bool afterBackslash = false;
    };
    Cut lineEnd;
    Cut space;
    qsizetype lines = 0;

    m_finder.setPosition(start);
    qsizetype from = start;
    for (qsizetype end = m_finder.toNextBoundary(); end != -1; end = m_finder.toNextBoundary()) {
        if (end > limit && from > start)
            break;
        const QStringView c = QStringView(m_text).sliced(from, end - from);
        from = end;

        // A cluster is special only when it is exactly that one character: "{" followed by a
        // combining mark is an ordinary character.
        const bool isOpen = c == u"{";
        const bool isClose = c == u"}";
        if (isOpen || isClose) {
            if (m_afterBackslash)
                result.append(c);
            else if (m_form == Form::Masked)
                m_inside = isOpen;
        } else if (m_inside) {
            result.append(u'_');
        } else {
            result.append(c);
        }
        m_afterBackslash = c == u"\\";
        m_position = end;

        if (isLineEnd(c.back().unicode())) {
            lineEnd = {end, result.size(), m_inside, m_afterBackslash};
            if (++lines >= maxLines)
                break;
        } else if (c == u" ") {
            space = {end, result.size(), m_inside, m_afterBackslash};
        }
        if (end >= limit)
            break;
    }

    // A piece cut short ends at a line or word, if one ends in its last part.
    if (!atEnd() && lines < maxLines) {
        const qsizetype length = m_position - start;
        const Cut *cut = nullptr;
        if (lineEnd.position - start > length / 2)
            cut = &lineEnd;
        else if (space.position - start > length * 3 / 4)
            cut = &space;
        if (cut) {
            m_position = cut->position;
            result.truncate(cut->length);
            m_inside = cut->inside;
            m_afterBackslash = cut->afterBackslash;
        }
    }
    return result;
}

QString maskedText(QStringView text)
{
    return MarkupPieces(text.toString(), MarkupPieces::Form::Masked)
        .next(text.size(), text.size() + 1);
}

QString revealedText(QStringView text)
{
    return MarkupPieces(text.toString(), MarkupPieces::Form::Revealed)
        .next(text.size(), text.size() + 1);
}

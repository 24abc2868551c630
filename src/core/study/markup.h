#pragma once

#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

// A face's text marks hidden passages with braces: "The capital of France is {Paris}."
// A backslash right before a brace makes that brace an ordinary, visible character (the
// backslash stays). Passages do not nest, and an unclosed one runs to the end of the text.
// Both functions work on user-perceived characters (extended grapheme clusters), so an accented
// letter, an emoji sequence or a CR LF pair counts as one character.

// The text with every character of a hidden passage replaced by one underscore and the
// unescaped braces removed.
QString maskedText(QStringView text);

// The text with the unescaped braces removed.
QString revealedText(QStringView text);

// Renders a text in either form a piece at a time, so that the labels of a huge face hold only the
// part that is shown. The pieces together are the whole masked or revealed text. A piece ends at a
// character boundary, after a line break or a space when one is near its end, and never cuts a
// hidden passage's state: the next piece goes on where it stopped. Finding the characters
// costs one pass over the whole text; the rendering, only the part that is shown.
class MarkupPieces final
{
public:
    enum class Form { Masked, Revealed };

    MarkupPieces() = default;
    MarkupPieces(const QString &text, Form form);

    bool atEnd() const { return m_position >= m_text.size(); }
    // Where the next piece starts, in UTF-16 units of the text.
    qsizetype position() const { return m_position; }

    // The rendered form of the next piece: at most maxLength UTF-16 units and maxLines line
    // breaks of the text, but at least one character (which may be longer). Empty at the end.
    QString next(qsizetype maxLength, qsizetype maxLines);

private:
    QString m_text;
    Form m_form = Form::Masked;
    // Over the whole text, found once (a few milliseconds a megabyte): Qt's rules look behind a
    // character, so that a bracket after a letter takes the letter's script and a mark after it
    // joins it. A finder over only part of the text could cut a character that the whole
    // text keeps.
    QTextBoundaryFinder m_finder;
    qsizetype m_position = 0;
    bool m_inside = false;
    bool m_afterBackslash = false;
};

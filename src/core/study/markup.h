#pragma once

#include <QString>
#include <QStringView>

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

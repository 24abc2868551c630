#include "core/study/markup.h"

#include <QTextBoundaryFinder>

namespace {

enum class Mode { Masked, Revealed };

QString render(QStringView text, Mode mode)
{
    QString result;
    if (text.isEmpty())
        return result;
    // Each character is kept, dropped or replaced by one underscore: never longer than the text.
    result.reserve(text.size());

    // The finder reads the caller's characters in place; they outlive it.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    bool inside = false;
    bool afterBackslash = false; // whether the previous character was exactly one backslash
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        const QStringView c = text.sliced(start, end - start);
        start = end;

        // A cluster is special only when it is exactly that one character: "{" followed by a
        // combining mark is an ordinary character.
        const bool isOpen = c == u"{";
        const bool isClose = c == u"}";
        if (isOpen || isClose) {
            if (afterBackslash)
                result.append(c);
            else if (mode == Mode::Masked)
                inside = isOpen;
        } else if (inside) {
            result.append(u'_');
        } else {
            result.append(c);
        }
        afterBackslash = c == u"\\";
    }
    return result;
}

} // namespace

QString maskedText(QStringView text)
{
    return render(text, Mode::Masked);
}

QString revealedText(QStringView text)
{
    return render(text, Mode::Revealed);
}

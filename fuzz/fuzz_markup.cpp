#include "core/study/markup.h"

#include <cstddef>
#include <cstdint>

namespace {

// The pieces of a text, of the length and line count the fuzzer chose, put back together.
QString inPieces(const QString &text, MarkupPieces::Form form, qsizetype length, qsizetype lines)
{
    MarkupPieces pieces(text, form);
    QString whole;
    while (!pieces.atEnd()) {
        const qsizetype before = pieces.position();
        whole += pieces.next(length, lines);
        // Every piece moves on.
        if (pieces.position() <= before)
            __builtin_trap();
    }
    return whole;
}

} // namespace

// The first byte chooses the size of the pieces; the rest is the face's text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype length = 1 + data[0] % 16;
    const qsizetype lines = 1 + data[0] / 16;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const QString masked = maskedText(text);
    const QString revealed = revealedText(text);
    // Characters are kept, dropped or replaced by one underscore: never longer than the text.
    if (masked.size() > text.size() || revealed.size() > text.size())
        __builtin_trap();
    // Without braces there is nothing to hide.
    if (!text.contains(u'{') && !text.contains(u'}') && (masked != text || revealed != text))
        __builtin_trap();
    // A face shown a piece at a time shows the same as shown at once.
    if (inPieces(text, MarkupPieces::Form::Masked, length, lines) != masked ||
        inPieces(text, MarkupPieces::Form::Revealed, length, lines) != revealed)
        __builtin_trap();
    return 0;
}

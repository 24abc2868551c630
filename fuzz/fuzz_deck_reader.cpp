#include "core/model/flashcard_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<Card> cards = readCards(text);
    // Every card the reader yields has at least one face.
    for (const Card &card : cards) {
        if (card.faces.isEmpty())
            __builtin_trap();
    }
    return 0;
}

#include "core/store/deck_loader.h"

#include "core/model/deck_title.h"
#include "core/model/flashcard_reader.h"
#include "core/store/progress_store.h"

DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder)
{
    DataFile deck;
    deck.title = deckTitle(url);
    deck.cards = readCards(text);
    if (!progressFolder)
        return deck;
    const ProgressTable saved =
        readProgressTable(progressFileURL(url, *progressFolder).toLocalFile());
    if (saved.isEmpty())
        return deck;
    for (Card &card : deck.cards) {
        for (CardFace &face : card.faces)
            face = mergeSavedProgress(std::move(face), saved);
    }
    return deck;
}

DataFile loadDataFile(QStringView text, const QUrl &url)
{
    return loadDataFile(text, url, progressDirectory());
}

#include "core/store/deck_loader.h"

#include "core/model/deck_title.h"
#include "core/model/flashcard_reader.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"

DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder)
{
    DataFile deck;
    deck.title = deckTitle(url);
    deck.cards = readCards(text);
    if (!progressFolder)
        return deck;
    // The progress file is a snapshot that may lag behind the journals of the deck.
    const QString progressFile = progressFileURL(url, *progressFolder).toLocalFile();
    ProgressTable saved = readProgressTable(progressFile);
    replayJournal(readDeckJournal(progressFile).records, &saved);
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

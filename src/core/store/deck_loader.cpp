#include "core/store/deck_loader.h"

#include "core/model/deck_title.h"
#include "core/model/flashcard_reader.h"
#include "core/store/progress_store.h"
#include "core/store/reattachment.h"
#include "core/store/review_journal.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"

#include <future>

namespace {

struct FacePlace
{
    qsizetype card;
    qsizetype face;
};

bool sameTexts(const Card &a, const Card &b)
{
    if (a.faces.size() != b.faces.size())
        return false;
    for (qsizetype i = 0; i < a.faces.size(); ++i) {
        if (a.faces[i].text != b.faces[i].text)
            return false;
    }
    return true;
}

// The faces of the deck before an edit that stood where faces of the deck after it stand:
// cards the same at the start and the end of the file are skipped, the cards between are taken
// in order, and their faces by position.
QList<std::pair<FacePlace, FacePlace>> facesAtTheSamePlace(const QList<Card> &before,
                                                           const QList<Card> &after)
{
    const qsizetype common = std::min(before.size(), after.size());
    qsizetype start = 0;
    while (start < common && sameTexts(before[start], after[start]))
        ++start;
    qsizetype end = 0;
    while (end < common - start &&
           sameTexts(before[before.size() - 1 - end], after[after.size() - 1 - end]))
        ++end;
    QList<std::pair<FacePlace, FacePlace>> pairs;
    const qsizetype cards = std::min(before.size(), after.size()) - start - end;
    for (qsizetype c = start; c < start + cards; ++c) {
        const qsizetype faces = std::min(before[c].faces.size(), after[c].faces.size());
        for (qsizetype f = 0; f < faces; ++f)
            pairs.append({{c, f}, {c, f}});
    }
    return pairs;
}

// The face with the progress of its old record; it keeps its own text, number and identity.
void takeProgress(CardFace &face, const CardFace &old)
{
    CardFace taken = old;
    taken.text = face.text;
    taken.cardFaceID = face.cardFaceID;
    face = taken;
}

} // namespace

std::optional<QList<Card>> readCardsFromFile(const QString &path, QString *error,
                                             const std::function<void(double)> &progress)
{
    CardReader reader;
    if (!readUtf8TextInPieces(
            path, [&reader](QStringView piece) { reader.add(piece); }, error, progress))
        return std::nullopt;
    return reader.finish();
}

DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder, const DataFile *previous,
                      LoadReport *report, const std::function<void(double)> &progress)
{
    // Cutting the text into cards is about a third of the work.
    constexpr double cut = 0.35;
    QList<Card> cards = readCards(text);
    if (progress)
        progress(cut);
    return withSavedProgress(std::move(cards), url, progressFolder, previous, report,
                             [&progress](double fraction) {
                                 if (progress)
                                     progress(cut + (1 - cut) * fraction);
                             });
}

namespace {

// What the progress file and the journals of a deck hold, before any face is looked at.
struct SavedState
{
    QString progressFile;
    ProgressTable saved;
    // The bytes the table was decoded from: the texts of records that no face claims are
    // looked up there, not in the file read again (which may have changed meanwhile).
    QByteArray bytes;
    // Faces whose journaled state the progress file does not hold yet.
    QSet<FaceDigest> changed;
};

SavedState readSavedState(const QString &progressFile)
{
    SavedState state;
    state.progressFile = progressFile;
    // The progress file is a snapshot that may lag behind the journals of the deck.
    // A file that is missing, unreadable or undecodable gives no saved progress.
    FileRead read = readFileSafely(progressFile, maxProgressFileSize);
    if (read.ok()) {
        if (std::optional<ProgressTable> table = decodeProgressTable(read.bytes)) {
            state.saved = *std::move(table);
            state.bytes = std::move(read.bytes);
        }
    }
    const QList<JournalRecord> journal = readDeckJournal(progressFile).records;
    // Faces whose journaled state the progress file does not hold yet (a run that ended before
    // it was rewritten, or another process's changes): the next save writes them over it.
    QHash<FaceDigest, std::optional<SavedProgress>> beforeReplay;
    for (const JournalRecord &record : journal) {
        if (!beforeReplay.contains(record.face)) {
            const auto it = state.saved.constFind(record.face);
            beforeReplay.insert(record.face,
                                it == state.saved.cend() ? std::nullopt : std::optional(*it));
        }
    }
    replayJournal(journal, &state.saved);
    for (auto it = beforeReplay.cbegin(); it != beforeReplay.cend(); ++it) {
        if (it.value() != state.saved.value(it.key()))
            state.changed.insert(it.key());
    }
    return state;
}

DataFile mergeSavedState(QList<Card> cards, const QUrl &url, std::optional<SavedState> state,
                         const DataFile *previous, LoadReport *report);

} // namespace

DataFile withSavedProgress(QList<Card> cards, const QUrl &url,
                           const std::optional<QString> &progressFolder, const DataFile *previous,
                           LoadReport *report, const std::function<void(double)> &progress)
{
    std::optional<SavedState> state;
    if (progressFolder)
        state = readSavedState(progressFileURL(url, *progressFolder).toLocalFile());
    if (progress)
        progress(0.7);
    return mergeSavedState(std::move(cards), url, std::move(state), previous, report);
}

std::optional<DataFile> loadDeckFile(const QString &path, const QUrl &url,
                                     const std::optional<QString> &progressFolder,
                                     const DataFile *previous, LoadReport *report, QString *error,
                                     const std::function<void(double)> &progress)
{
    // The progress file is read beside the deck, on a thread of its own: neither needs the
    // other until their records are matched.
    std::future<SavedState> state;
    if (progressFolder)
        state = std::async(std::launch::async, readSavedState,
                           progressFileURL(url, *progressFolder).toLocalFile());
    std::optional<QList<Card>> cards = readCardsFromFile(path, error, progress);
    std::optional<SavedState> saved;
    if (state.valid())
        saved = state.get();
    if (!cards)
        return std::nullopt;
    return mergeSavedState(*std::move(cards), url, std::move(saved), previous, report);
}

namespace {

DataFile mergeSavedState(QList<Card> cards, const QUrl &url, std::optional<SavedState> state,
                         const DataFile *previous, LoadReport *report)
{
    LoadReport ignored;
    LoadReport &result = report ? *report : ignored;
    result = LoadReport();
    DataFile deck;
    deck.title = deckTitle(url);
    deck.cards = std::move(cards);
    if (!state)
        return deck;
    ProgressTable saved = std::move(state->saved);
    result.changes.changed = std::move(state->changed);
    if (saved.isEmpty() && !previous)
        return deck;

    // Faces whose text has a record take it back.
    qsizetype faceCount = 0;
    for (const Card &card : deck.cards)
        faceCount += card.faces.size();
    // Only a reading after an edit asks whether an old text is still in the deck: a first
    // reading of a big deck need not hold a second set of every face's digest.
    QSet<FaceDigest> deckDigests;
    if (previous)
        deckDigests.reserve(faceCount);
    QSet<FaceDigest> claimed;
    claimed.reserve(std::min(faceCount, saved.size()));
    QList<std::pair<FacePlace, FaceDigest>> unmatched;
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        for (qsizetype f = 0; f < deck.cards[c].faces.size(); ++f) {
            CardFace &face = deck.cards[c].faces[f];
            const FaceDigest digest = faceDigest(face.text);
            if (previous)
                deckDigests.insert(digest);
            const auto it = saved.constFind(digest);
            if (it != saved.cend()) {
                applySavedProgress(face, *it);
                claimed.insert(digest);
            } else {
                unmatched.append({{c, f}, digest});
            }
        }
    }
    const auto reattachFace = [&](qsizetype index, const FaceDigest &old) {
        result.changes.reattached.insert(unmatched[index].second, old);
        result.reattachedPlaces.append({unmatched[index].first.card, unmatched[index].first.face});
        claimed.insert(old);
        ++result.reattachedFaces;
    };

    // An edit seen by this process: the face that stood at the same place had the old text.
    QList<bool> done(unmatched.size(), false);
    if (previous && !unmatched.isEmpty()) {
        QHash<qsizetype, qsizetype> unmatchedAt; // card * 2^20 + face -> index
        for (qsizetype i = 0; i < unmatched.size(); ++i)
            unmatchedAt.insert(unmatched[i].first.card * (1 << 20) + unmatched[i].first.face, i);
        for (const auto &[before, after] : facesAtTheSamePlace(previous->cards, deck.cards)) {
            const auto index = unmatchedAt.constFind(after.card * (1 << 20) + after.face);
            if (index == unmatchedAt.cend())
                continue;
            const CardFace &old = previous->cards[before.card].faces[before.face];
            const FaceDigest oldDigest = faceDigest(old.text);
            CardFace &face = deck.cards[after.card].faces[after.face];
            if (deckDigests.contains(oldDigest) || claimed.contains(oldDigest) ||
                !nearlySameText(face.text, old.text))
                continue;
            takeProgress(face, old);
            done[*index] = true;
            reattachFace(*index, oldDigest);
        }
    }

    // Otherwise a record that no face claims and whose text is nearly the face's.
    QSet<FaceDigest> unclaimed;
    if (done.count(false) > 0) {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (!claimed.contains(it.key()))
                unclaimed.insert(it.key());
        }
    }
    if (!unclaimed.isEmpty()) {
        const QList<StoredRecord> records = storedRecordsOf(state->bytes, unclaimed);
        QList<ReattachText> recordTexts;
        QList<FaceDigest> recordDigests;
        for (const StoredRecord &record : records) {
            const StoredValue *number = record.value(u"cardFaceID");
            const qint64 *position = number ? std::get_if<qint64>(number) : nullptr;
            recordTexts.append({record.text(), position ? std::optional(*position) : std::nullopt});
            recordDigests.append(*digestFromFaceKey(record.key));
        }
        QList<ReattachText> faceTexts;
        QList<qsizetype> faceIndexes;
        for (qsizetype i = 0; i < unmatched.size(); ++i) {
            if (done[i])
                continue;
            const CardFace &face =
                deck.cards[unmatched[i].first.card].faces[unmatched[i].first.face];
            faceTexts.append({face.text, face.cardFaceID});
            faceIndexes.append(i);
        }
        for (const Reattached &pair : reattach(faceTexts, recordTexts)) {
            const qsizetype index = faceIndexes[pair.face];
            const FaceDigest &old = recordDigests[pair.record];
            CardFace &face =
                deck.cards[unmatched[index].first.card].faces[unmatched[index].first.face];
            applySavedProgress(face, saved.value(old));
            reattachFace(index, old);
        }
    }
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        result.unclaimedRecords += claimed.contains(it.key()) ? 0 : 1;
    return deck;
}

} // namespace

DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder)
{
    return loadDataFile(text, url, progressFolder, nullptr, nullptr);
}

DataFile loadDataFile(QStringView text, const QUrl &url)
{
    return loadDataFile(text, url, progressDirectory());
}

#include "core/store/deck_loader.h"

#include "core/model/deck_title.h"
#include "core/model/flashcard_reader.h"
#include "core/store/heap_room.h"
#include "core/store/mapped_file.h"
#include "core/store/progress_store.h"
#include "core/store/reattachment.h"
#include "core/store/record_matcher.h"
#include "core/store/review_journal.h"
#include "core/store/safe_file.h"
#include "core/store/stored_record.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

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

// Cards of the deck after an edit whose faces read as those of the card at the same place before
// it (cards the same at the start and the end of the file) take the texts the deck before holds:
// until the new deck is shown, both are held, and an unchanged text is then held once.
void shareUnchangedTexts(const QList<Card> &before, QList<Card> &after)
{
    const auto share = [&](qsizetype old, qsizetype now) {
        const QList<CardFace> &oldFaces = before[old].faces;
        if (!sameTexts(before[old], std::as_const(after)[now]))
            return false;
        QList<CardFace> &faces = after[now].faces;
        for (qsizetype f = 0; f < faces.size(); ++f)
            faces[f].text = oldFaces[f].text;
        return true;
    };
    const qsizetype common = std::min(before.size(), after.size());
    qsizetype start = 0;
    while (start < common && share(start, start))
        ++start;
    qsizetype end = 0;
    while (end < common - start && share(before.size() - 1 - end, after.size() - 1 - end))
        ++end;
}

// Gives each card, as it is read, the texts of the card of the deck before the edit that reads
// the same: the one at the same place, or one a few places on or back when cards were added or
// taken out above it. The blocks of texts just read go at once, and the next cards' texts take
// their room, so that reading a deck again does not hold all its texts twice.
class TextSharer
{
public:
    explicit TextSharer(const QList<Card> &before) : m_before(before) {}

    void operator()(Card &card, qsizetype index)
    {
        // Cards added or taken out at one place, which a search looks past.
        constexpr qsizetype reach = 8;
        // A search for every card of a run of new ones, and then for one card in so many: a
        // deck written afresh costs little more to read.
        constexpr qsizetype searchedRun = 64;
        const qsizetype at = index + m_offset;
        if (share(at, card)) {
            m_missed = 0;
            return;
        }
        ++m_missed;
        if (m_missed > searchedRun && m_missed % searchedRun != 0)
            return;
        for (qsizetype distance = 1; distance <= reach; ++distance) {
            for (const qsizetype old : {at + distance, at - distance}) {
                if (share(old, card)) {
                    m_offset = old - index;
                    m_missed = 0;
                    return;
                }
            }
        }
    }

private:
    bool share(qsizetype old, Card &card) const
    {
        if (old < 0 || old >= m_before.size() || !sameTexts(m_before[old], card))
            return false;
        const QList<CardFace> &oldFaces = m_before[old].faces;
        for (qsizetype f = 0; f < card.faces.size(); ++f)
            card.faces[f].text = oldFaces[f].text;
        return true;
    }

    const QList<Card> &m_before;
    qsizetype m_offset = 0;
    qsizetype m_missed = 0;
};

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
                                             LoadProgress *progress, const QList<Card> *before)
{
    CardReader reader;
    if (before)
        reader.setCardCut(TextSharer(*before));
    std::function<void(double)> told;
    std::function<bool()> wanted;
    if (progress) {
        told = [progress](double share) { progress->advance(LoadProgress::Step::Deck, share); };
        wanted = [progress] { return !progress->isCancelled(); };
    }
    const qint64 fileBytes = QFileInfo(path).size();
    qint64 charactersRead = 0;
    bool estimated = false;
    const auto add = [&](QStringView piece) {
        reader.add(piece);
        charactersRead += piece.size();
        // Once a first piece tells how long the cards run, room for the cards of the whole file
        // at that rate and a little more (a text of characters beyond ASCII reads as more).
        constexpr qsizetype cardsToEstimateFrom = 1024;
        if (estimated || reader.cardCount() < cardsToEstimateFrom)
            return;
        estimated = true;
        const double cardsPerCharacter = double(reader.cardCount()) / double(charactersRead);
        // A card takes five bytes at least ("===" and a line).
        const double most = double(fileBytes) / 5;
        reader.reserve(
            qsizetype(std::min(most, cardsPerCharacter * double(fileBytes) * 1.05 + 1024)));
    };
    if (!readUtf8TextInPieces(path, add, error, told, wanted))
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

// The state that the journals leave a face in, and the state the progress file gave it.
struct JournaledFace
{
    SavedProgress after;
    std::optional<SavedProgress> before;
    bool met = false; // a face of the deck has its text
};

// What the progress file and the journals of a deck hold, before any face is looked at.
struct SavedState
{
    QString progressFile;
    // The file as it was before it was mapped or read.
    std::optional<FileStamp> stamp;
    // The progress file, mapped or else read: walked beside the faces, and let go then. Neither
    // when it is missing or cannot be read; the walk tells whether it is a progress table.
    std::unique_ptr<MappedFile> mapped;
    QByteArray bytes;
    // Its records, walked while the deck is read, when it is a table as a save writes it.
    WalkedRecordsPtr walked;
    // The state the journals' records leave each face in: the progress file is a snapshot
    // that may lag behind them.
    DigestTable<JournaledFace> journaled;
};

SavedState readSavedState(const QString &progressFile, LoadProgress *progress = nullptr)
{
    // Mapping the progress file is quick (reading it, where it cannot be mapped, less so); the
    // journals are small.
    const auto reached = [progress](double share) {
        if (progress)
            progress->advance(LoadProgress::Step::ProgressFile, share);
        return !progress || !progress->isCancelled();
    };
    SavedState state;
    state.progressFile = progressFile;
    state.stamp = fileStamp(progressFile);
    state.mapped = MappedFile::map(progressFile, maxProgressFileSize);
    if (!state.mapped) {
        FileRead read = readFileSafely(progressFile, maxProgressFileSize);
        if (read.ok())
            state.bytes = std::move(read.bytes);
    }
    if (!reached(0.05))
        return state;
    // The walk of a big file takes about as long as reading the deck beside it, and needs no
    // face: it goes on meanwhile.
    if (state.mapped) {
        MappedFile &file = *state.mapped;
        const qsizetype size = file.bytes().size();
        state.walked = walkSavedRecords(file.bytes(), [&](qsizetype from, qsizetype to) {
            file.release(from, to);
            // The next stretch, before the walk reaches it.
            file.fetch(from - (to - from), from);
            return reached(0.05 + 0.9 * (1 - double(from) / double(size)));
        });
        if (file.wasCut())
            state.walked.reset();
    } else if (!state.bytes.isEmpty()) {
        const qsizetype size = state.bytes.size();
        state.walked = walkSavedRecords(state.bytes, [&](qsizetype from, qsizetype) {
            return reached(0.05 + 0.9 * (1 - double(from) / double(size)));
        });
    }
    if (!reached(0.95))
        return state;
    // Replayed as they are read: a journal of a million reviews is never held decoded.
    forEachDeckJournalRecord(progressFile, [&state](const JournalRecord &record) {
        const auto [face, added] = state.journaled.insert(
            record.face, JournaledFace{journaledProgress(record), std::nullopt, false});
        if (!added)
            face->after = journaledProgress(record);
    });
    reached(1);
    return state;
}

// progress, if given, is told how far the merge got, and asked whether it is still wanted
// between its steps: nothing when it is not.
// Every face of a deck in deck order, the digest of its text and the first face of each card.
struct HashedFaces
{
    std::vector<CardFace *> faces;
    std::vector<FaceDigest> digests;
    std::vector<qsizetype> cardStarts;
};

// The faces of the cards hashed; nothing when the reading is no longer wanted. othersMayStart
// (see digestsOf) tells when other threads may share the work.
std::optional<HashedFaces> hashFaces(QList<Card> &cards, LoadProgress *progress,
                                     const std::function<bool()> &othersMayStart = {});

// hashed: the faces of the cards, hashed already.
std::optional<DataFile> mergeSavedState(QList<Card> cards, const QUrl &url,
                                        std::optional<SavedState> state, const DataFile *previous,
                                        LoadReport *report, LoadProgress *progress = nullptr,
                                        std::optional<HashedFaces> hashed = std::nullopt);

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
    return *mergeSavedState(std::move(cards), url, std::move(state), previous, report);
}

std::optional<DataFile> loadDeckFile(const QString &path, const QUrl &url,
                                     const std::optional<QString> &progressFolder,
                                     const DataFile *previous, LoadReport *report, QString *error,
                                     LoadProgress *progress)
{
    const QString progressFile =
        progressFolder ? progressFileURL(url, *progressFolder).toLocalFile() : QString();
    const qint64 deckSize = QFileInfo(path).size();
    if (progress)
        progress->setSizes(deckSize, progressFolder ? QFileInfo(progressFile).size() : 0);
    // The cards take about twice the bytes of their file (a text of Latin-1 characters keeps one
    // byte each, others two, and each face's record comes beside it), more for a deck of many
    // short faces; the merge adds little beside them. Room left unused is only address space.
    const HeapRoom room(deckSize * 4 + (deckSize >> 2));
    // The progress file is read beside the deck, on a thread of its own: neither needs the
    // other until their records are matched.
    std::future<SavedState> state;
    if (progressFolder)
        state = std::async(std::launch::async, readSavedState, progressFile, progress);
    else if (progress)
        progress->advance(LoadProgress::Step::ProgressFile, 1);
    std::optional<QList<Card>> cards =
        readCardsFromFile(path, error, progress, previous ? &previous->cards : nullptr);
    // Cards moved further than the reading looks; while the progress file may still be walked.
    if (cards && previous && !(progress && progress->isCancelled()))
        shareUnchangedTexts(previous->cards, *cards);
    // The faces are hashed for matching with their records meanwhile too: alone while the
    // progress file is walked, on every processor once it is. Not for a deck without records.
    std::optional<HashedFaces> hashed;
    if (cards && state.valid() && (previous || QFileInfo::exists(progressFile)) &&
        !(progress && progress->isCancelled())) {
        hashed = hashFaces(*cards, progress, [&state] {
            return state.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
    }
    std::optional<SavedState> saved;
    if (state.valid())
        saved = state.get();
    // A reading given up on stops between its steps; what it read so far is of no use.
    if (!cards || (progress && progress->isCancelled()))
        return std::nullopt;
    std::optional<DataFile> deck = mergeSavedState(*std::move(cards), url, std::move(saved),
                                                   previous, report, progress, std::move(hashed));
    if (progress && deck)
        progress->advance(LoadProgress::Step::Merge, 1);
    return deck;
}

namespace {

// The digest of each face's text. One MD5 per face is most of the work of matching a big deck
// with its records: it is shared out between threads, a stretch of faces at a time. Seconds at a
// million faces, so the calling thread asks now and then whether the reading is still wanted
// (reached, with the share of the faces done), and all stop once it is told it is not: then the
// digests are incomplete, and nothing. othersMayStart, if given, tells whether the other threads
// may start yet (the machine's processors may still be busy with the rest of the reading): until
// it does, the calling thread hashes alone.
std::optional<std::vector<FaceDigest>> digestsOf(const std::vector<CardFace *> &faces,
                                                 const std::function<bool(double)> &reached,
                                                 const std::function<bool()> &othersMayStart = {})
{
    std::vector<FaceDigest> digests(faces.size());
    std::atomic<bool> stopped = false;
    std::atomic<size_t> next = 0;
    constexpr size_t facesBetweenLooks = 4096;
    // Hashes the next stretch; false once there is none.
    const auto digestNext = [&](bool tells) {
        if (stopped.load(std::memory_order_relaxed))
            return false;
        const size_t from = next.fetch_add(facesBetweenLooks, std::memory_order_relaxed);
        if (from >= faces.size())
            return false;
        if (tells && !reached(double(from) / double(faces.size()))) {
            stopped = true;
            return false;
        }
        const size_t end = std::min(faces.size(), from + facesBetweenLooks);
        for (size_t j = from; j < end; ++j)
            digests[j] = faceDigest(faces[j]->text);
        return true;
    };
    constexpr size_t facesPerThread = 100'000;
    const size_t threads = std::min<size_t>(
        {std::max(std::thread::hardware_concurrency(), 1u), 4, faces.size() / facesPerThread + 1});
    std::vector<std::future<void>> others;
    bool othersStarted = false;
    do {
        if (!othersStarted && (!othersMayStart || othersMayStart())) {
            othersStarted = true;
            for (size_t t = 1; t < threads; ++t)
                others.push_back(std::async(std::launch::async, [&] {
                    while (digestNext(false)) {
                    }
                }));
        }
    } while (digestNext(true));
    for (std::future<void> &other : others)
        other.get();
    if (stopped)
        return std::nullopt;
    return digests;
}

// The hashing is the first 40 % of the merge.
std::optional<HashedFaces> hashFaces(QList<Card> &cards, LoadProgress *progress,
                                     const std::function<bool()> &othersMayStart)
{
    HashedFaces hashed;
    qsizetype faceCount = 0;
    for (const Card &card : std::as_const(cards))
        faceCount += card.faces.size();
    hashed.faces.reserve(size_t(faceCount));
    hashed.cardStarts.reserve(size_t(cards.size()));
    for (Card &card : cards) {
        hashed.cardStarts.push_back(qsizetype(hashed.faces.size()));
        for (CardFace &face : card.faces)
            hashed.faces.push_back(&face);
    }
    std::optional<std::vector<FaceDigest>> digests = digestsOf(
        hashed.faces,
        [&](double share) {
            if (progress)
                progress->advance(LoadProgress::Step::Merge, 0.4 * share);
            return !progress || !progress->isCancelled();
        },
        othersMayStart);
    if (!digests)
        return std::nullopt;
    hashed.digests = *std::move(digests);
    return hashed;
}

std::optional<DataFile> mergeSavedState(QList<Card> cards, const QUrl &url,
                                        std::optional<SavedState> state, const DataFile *previous,
                                        LoadReport *report, LoadProgress *progress,
                                        std::optional<HashedFaces> hashed)
{
    // Hashing the faces' texts and walking the file take about equal shares.
    const auto reached = [progress](double share) {
        if (progress)
            progress->advance(LoadProgress::Step::Merge, share);
        return !progress || !progress->isCancelled();
    };
    LoadReport ignored;
    LoadReport &result = report ? *report : ignored;
    result = LoadReport();
    DataFile deck;
    deck.title = deckTitle(url);
    deck.cards = std::move(cards);
    if (!state ||
        (!state->mapped && state->bytes.isEmpty() && state->journaled.isEmpty() && !previous))
        return deck;

    // Every face in deck order, with the digest of its text and the first face of each card.
    if (!hashed)
        hashed = hashFaces(deck.cards, progress);
    if (!hashed)
        return std::nullopt;
    const std::vector<CardFace *> faces = std::move(hashed->faces);
    const std::vector<FaceDigest> digests = std::move(hashed->digests);
    const std::vector<qsizetype> cardStarts = std::move(hashed->cardStarts);
    hashed.reset();
    const qsizetype faceCount = qsizetype(faces.size());
    if (!reached(0.4))
        return std::nullopt;
    const auto placeOf = [&](qsizetype face) {
        const qsizetype card =
            qsizetype(std::upper_bound(cardStarts.cbegin(), cardStarts.cend(), face) -
                      cardStarts.cbegin()) -
            1;
        return FacePlace{card, face - cardStarts[size_t(card)]};
    };

    // The walk goes from the end of the file to its start.
    const auto walkedPast = [&reached](qsizetype from, qsizetype size) {
        return size <= 0 || reached(0.4 + 0.5 * (1 - double(from) / double(size)));
    };
    // Faces whose text has a record take it back. A file that is no progress table gives none.
    MatchedRecords matched;
    bool walked = false;
    if (state->walked) {
        const QByteArrayView bytes = state->mapped ? state->mapped->bytes() : state->bytes;
        walked = matchWalkedRecords(*state->walked, bytes, faces, digests, &matched);
        state->walked.reset();
        if (walked && state->mapped && state->mapped->wasCut()) {
            // Cut short in place while it was read again: walked as it is now, below.
            for (qsizetype i = 0; i < faceCount; ++i) {
                if (matched.sources[size_t(i)] != FaceRecord::None)
                    applySavedProgress(*faces[size_t(i)], SavedProgress());
            }
            walked = false;
        }
        if (walked)
            state->mapped.reset();
    }
    if (!walked && state->mapped) {
        MappedFile &file = *state->mapped;
        walked = matchSavedRecords(file.bytes(), faces, digests, &matched,
                                   [&](qsizetype from, qsizetype to) {
                                       file.release(from, to);
                                       // The next stretch, before the walk reaches it.
                                       file.fetch(from - (to - from), from);
                                       return walkedPast(from, file.bytes().size());
                                   });
        if (file.wasCut()) {
            // Cut short in place while it was walked: what was read is no file. Read as it is
            // now.
            for (qsizetype i = 0; walked && i < faceCount; ++i) {
                if (matched.sources[size_t(i)] != FaceRecord::None)
                    applySavedProgress(*faces[size_t(i)], SavedProgress());
            }
            walked = false;
            FileRead read = readFileSafely(state->progressFile, maxProgressFileSize);
            if (read.ok())
                state->bytes = std::move(read.bytes);
        }
        state->mapped.reset();
    }
    if (!walked && !state->bytes.isEmpty())
        walked = matchSavedRecords(
            state->bytes, faces, digests, &matched,
            [&](qsizetype from, qsizetype) { return walkedPast(from, state->bytes.size()); });
    state->bytes = QByteArray();
    if (!walked)
        matched.sources.assign(size_t(faceCount), FaceRecord::None);
    if (!reached(0.9))
        return std::nullopt;
    std::vector<FaceRecord> &sources = matched.sources;
    DigestTable<LooseRecord> &loose = matched.loose;

    // The journals have the last word. Faces whose journaled state the progress file does not
    // hold yet (a run that ended before it was rewritten, or another process's changes) are
    // changed: the next save writes them over it.
    if (!state->journaled.isEmpty()) {
        DigestTable<JournaledFace> &journaled = state->journaled;
        for (qsizetype i = 0; i < faceCount; ++i) {
            JournaledFace *entry = journaled.find(digests[size_t(i)]);
            if (!entry)
                continue;
            CardFace &face = *faces[size_t(i)];
            if (!entry->met) {
                entry->met = true;
                if (sources[size_t(i)] != FaceRecord::None)
                    entry->before = savedProgressOfFace(face);
            }
            applySavedProgress(face, entry->after);
            if (sources[size_t(i)] == FaceRecord::None)
                sources[size_t(i)] = FaceRecord::Journal;
        }
        for (auto &[digest, entry] : journaled.entries()) {
            if (!entry.met) {
                // A record that no face has: the file's, or one the journals alone know. A save
                // writes faces only, so it is no change of the deck's: the journals keep it.
                auto [record, added] = loose.insert(digest, LooseRecord());
                if (added)
                    record->inFile = false;
                record->saved = entry.after;
                continue;
            }
            if (entry.before != entry.after)
                result.changes.changed.insert(digest);
        }
    }

    // Faces that no record claims: a face whose text was edited may take over the record of
    // its old text.
    QList<qsizetype> unmatched;
    for (qsizetype i = 0; i < faceCount; ++i) {
        if (sources[size_t(i)] == FaceRecord::None)
            unmatched.append(i);
    }
    DigestTable<bool> reattachedRecords;
    const auto reattachFace = [&](qsizetype index, const FaceDigest &old) {
        const FacePlace place = placeOf(unmatched[index]);
        result.changes.reattached.insert(digests[size_t(unmatched[index])], old);
        result.reattachedPlaces.append({place.card, place.face});
        reattachedRecords.insert(old, true);
        if (LooseRecord *record = loose.find(old))
            record->use = LooseRecord::Use::Taken;
        ++result.reattachedFaces;
    };

    // An edit seen by this process: the face that stood at the same place had the old text,
    // unless that text is still in the deck.
    QList<bool> done(unmatched.size(), false);
    if (previous && !unmatched.isEmpty()) {
        QHash<qsizetype, qsizetype> unmatchedAt; // face -> index
        for (qsizetype i = 0; i < unmatched.size(); ++i)
            unmatchedAt.insert(unmatched[i], i);
        struct Candidate
        {
            qsizetype index;
            FacePlace before;
            FaceDigest old;
        };
        QList<Candidate> candidates;
        DigestTable<bool> oldInDeck;
        for (const auto &[before, after] : facesAtTheSamePlace(previous->cards, deck.cards)) {
            const auto index = unmatchedAt.constFind(cardStarts[size_t(after.card)] + after.face);
            if (index == unmatchedAt.cend())
                continue;
            const FaceDigest old = faceDigest(previous->cards[before.card].faces[before.face].text);
            candidates.append({*index, before, old});
            oldInDeck.insert(old, false);
        }
        if (!candidates.isEmpty()) {
            for (const FaceDigest &digest : digests) {
                if (bool *inDeck = oldInDeck.find(digest))
                    *inDeck = true;
            }
        }
        for (const Candidate &candidate : std::as_const(candidates)) {
            const CardFace &old =
                previous->cards[candidate.before.card].faces[candidate.before.face];
            CardFace &face = *faces[size_t(unmatched[candidate.index])];
            if (*oldInDeck.find(candidate.old) || reattachedRecords.contains(candidate.old) ||
                !nearlySameText(face.text.toString(), old.text.toString()))
                continue;
            takeProgress(face, old);
            done[candidate.index] = true;
            reattachFace(candidate.index, candidate.old);
        }
    }

    // Otherwise a record of the file that no face claims and whose text is nearly the face's,
    // the records taken in file order.
    if (done.count(false) > 0) {
        QList<ReattachText> recordTexts;
        QList<const std::pair<FaceDigest, LooseRecord> *> records;
        const auto &entries = loose.entries();
        for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
            if (it->second.use == LooseRecord::Use::Free && it->second.inFile) {
                recordTexts.append({it->second.text, it->second.position});
                records.append(&*it);
            }
        }
        QList<ReattachText> faceTexts;
        QList<qsizetype> faceIndexes;
        if (!records.isEmpty()) {
            for (qsizetype i = 0; i < unmatched.size(); ++i) {
                if (done[i])
                    continue;
                const CardFace &face = *faces[size_t(unmatched[i])];
                faceTexts.append({face.text.toString(), face.cardFaceID});
                faceIndexes.append(i);
            }
        }
        for (const Reattached &pair : reattach(faceTexts, recordTexts)) {
            const qsizetype index = faceIndexes[pair.face];
            const FaceDigest old = records[pair.record]->first;
            applySavedProgress(*faces[size_t(unmatched[index])],
                               records[pair.record]->second.saved);
            reattachFace(index, old);
        }
    }
    for (const auto &[digest, record] : loose.entries())
        result.unclaimedRecords += record.use == LooseRecord::Use::Free ? 1 : 0;

    // Records found by their digest rather than beside their faces: a few (cards moved or
    // pasted in) cost little, but a file mostly out of the deck's order is put back in it.
    constexpr qsizetype mostlyInOrder = 8;
    const qsizetype outOfOrder = std::count(sources.cbegin(), sources.cend(), FaceRecord::ByDigest);
    if (walked && state->stamp && result.changes.isEmpty() && !matched.markedRecordClaimed &&
        outOfOrder * mostlyInOrder <= faceCount)
        result.progressFileAsRead = StampedFile{state->progressFile, *state->stamp};
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

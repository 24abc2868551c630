#include "core/app/commands_coordinator.h"

#include "core/app/bookmark.h"
#include "core/app/preferences.h"
#include "core/app/preferences_writer.h"
#include "core/app/recent_files.h"
#include "core/app/study_settings.h"
#include "core/model/debug_output.h"
#include "core/model/flashcard_reader.h"
#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/safe_file.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <atomic>

namespace {

const QString activeFileKey = QStringLiteral("activeFile");
// The file being reopened at a start, until it has been shown: still there at the next start,
// it is the file that crashed or hung the last one.
const QString restoringKey = QStringLiteral("restoringFile");

SchedulingState schedulingStateOf(const CardFace &face)
{
    switch (face.progress) {
    case CardFaceProgress::New:
        return SchedulingState::New;
    case CardFaceProgress::Learning:
        return SchedulingState::Learning;
    case CardFaceProgress::Mastered:
    case CardFaceProgress::Archived:
    case CardFaceProgress::Abandoned:
        break;
    }
    return SchedulingState::Review;
}

// What the study view did to a face, told from the record before and after: a mark moves the
// rating, the picker only the progress.
JournalChange studyChange(const CardFace &before, const CardFace &after, quint8 *grade)
{
    if (after.rating == before.rating) {
        *grade = 0;
        return JournalChange::Picker;
    }
    *grade = after.rating > before.rating ? 3 : 1; // Good or Again
    return JournalChange::Review;
}

} // namespace

// One reading of a file in the background. Owned by the coordinator while it is the current one;
// the loading thread holds it too, and looks at `cancelled` to stop early.
struct CommandsCoordinator::LoadJob
{
    QUrl file;
    bool reload = false;
    // The deck on screen when the reading began: the deck before the edit, and the holder of
    // progress kept only in memory. Shared, when the window lets go of that deck at once;
    // otherwise copied card by card on the loading thread (copiesDeckOnScreen), since a change
    // of a card in a list that is shared copies the whole list on the window's thread first.
    std::optional<DataFile> current;
    bool copiesDeckOnScreen = false;
    FaceChanges unsaved;
    // How many times the faces changed on screen meanwhile were carried into the deck read.
    int changeRounds = 0;
    std::atomic<bool> cancelled = false;
    std::atomic<int> reported = -1; // the last progress told, in thousandths
};

CommandsCoordinator &CommandsCoordinator::shared()
{
    static CommandsCoordinator coordinator(&applicationPreferences(),
                                           ProgressLocation::applicationFolder(),
                                           &RecentFiles::shared(), nullptr);
    return coordinator;
}

CommandsCoordinator::CommandsCoordinator(QSettings *preferences,
                                         std::optional<QString> progressFolder,
                                         RecentFiles *recentFiles, QObject *parent)
    : CommandsCoordinator(preferences, ProgressLocation::folder(std::move(progressFolder)),
                          recentFiles, parent)
{
}

CommandsCoordinator::CommandsCoordinator(QSettings *preferences, ProgressLocation location,
                                         RecentFiles *recentFiles, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_recentFiles(recentFiles),
      m_location(std::move(location)),
      m_saver([this](const QUrl &url, const QList<Card> &cards, const FaceChanges &changes,
                     QString *error) { return m_location.saveDeck(url, cards, changes, error); }),
      m_scheduler(storedSchedulerParameters(*preferences))
{
    m_deckReader = [this](const QUrl &file, const DataFile *previous, LoadReport *report,
                          LoadProgress &progress) {
        // A reading after an outside edit stays quiet about a file caught half-written.
        return readDeck(file, previous == nullptr, previous, report, &progress);
    };
    // Readings of files given up on may still be running beside the current one.
    m_loadThreads.setMaxThreadCount(4);
    connect(&m_watcher, &DeckFileWatcher::fileChanged, this,
            &CommandsCoordinator::reloadActiveFile);
    // Told on the saver's thread; announced on ours.
    m_saver.setFailureListener([this] {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT saveProblemChanged(); }, Qt::QueuedConnection);
    });
    restore();
}

CommandsCoordinator::~CommandsCoordinator()
{
    if (m_load)
        m_load->cancelled = true;
    m_loadThreads.waitForDone();
    m_saver.setFailureListener({});
    finishRestore();
    m_saver.waitForPendingSaves();
    flushPreferences(*m_preferences);
}

void CommandsCoordinator::waitForPendingSaves()
{
    m_saver.waitForPendingSaves();
    flushPreferences(*m_preferences);
}

std::optional<QString> CommandsCoordinator::progressFilePath() const
{
    if (m_activeFile.isEmpty() || !dataFile())
        return std::nullopt;
    return m_location.progressFilePath(m_activeFile);
}

CommandsCoordinator::State CommandsCoordinator::state() const
{
    if (m_activeFile.isEmpty())
        return State::NoFile;
    if (dataFile())
        return State::DeckOpen;
    return m_load ? State::Loading : State::UnreadableFile;
}

void CommandsCoordinator::restore()
{
    const QVariant stored = m_preferences->value(activeFileKey);
    if (stored.metaType().id() != QMetaType::QByteArray)
        return;
    const std::optional<ResolvedBookmark> resolved = resolveBookmarkData(stored.toByteArray());
    // An entry that does not resolve stays stored: the file may come back before the next run.
    if (!resolved)
        return;
    if (m_preferences->value(restoringKey) == stored) {
        // Reopening it blindly would crash or hang every start from now on. It stays among the
        // recent files, to be opened on purpose.
        m_startNotice = tr("%1 was not reopened: the last run stopped while opening it.")
                            .arg(resolved->url.toLocalFile());
        printLine(m_startNotice);
        m_preferences->remove(activeFileKey);
        m_preferences->remove(restoringKey);
        savePreferences(*m_preferences);
        return;
    }
    if (resolved->isStale)
        storeBookmark(resolved->url);
    const QVariant restoring = m_preferences->value(activeFileKey);
    if (restoring.isValid()) {
        m_preferences->setValue(restoringKey, restoring);
        savePreferences(*m_preferences);
    }
    m_watcher.watch(resolved->url);
    // The file being reopened must be on disk before the reading that may crash begins.
    const std::function<void()> restoringWritten = preferencesWaiter(*m_preferences);
    if (loadsInBackground(resolved->url)) {
        const DeckReader reader = m_deckReader;
        m_deckReader = [reader, restoringWritten](const QUrl &file, const DataFile *previous,
                                                  LoadReport *report, LoadProgress &progress) {
            restoringWritten();
            return reader(file, previous, report, progress);
        };
        startLoad(resolved->url, false);
        m_deckReader = reader;
        return;
    }
    // Before the window shows: waiting here freezes nothing.
    restoringWritten();
    LoadReport report;
    std::optional<DataFile> deck = readDeck(resolved->url, true, nullptr, &report);
    publish(resolved->url, std::move(deck), report.changes, report.progressFileAsRead);
    journalReattachments(report);
    announceLoad(report, false);
}

void CommandsCoordinator::finishRestore()
{
    if (!m_preferences->contains(restoringKey))
        return;
    m_preferences->remove(restoringKey);
    savePreferences(*m_preferences);
}

void CommandsCoordinator::open(const std::optional<QUrl> &file)
{
    if (!file || file->isEmpty()) {
        cancelLoad();
        m_preferences->remove(activeFileKey);
        savePreferences(*m_preferences);
        m_watcher.watch(QUrl());
        forgetHistory();
        publish(QUrl(), std::nullopt);
        return;
    }
    storeBookmark(*file);
    // Watched from before the read, so that a change during the read is not missed.
    m_watcher.watch(*file);
    forgetHistory();
    if (loadsInBackground(*file)) {
        startLoad(*file, false);
        return;
    }
    cancelLoad();
    LoadReport report;
    std::optional<DataFile> deck = readDeck(*file, true, nullptr, &report);
    if (deck)
        keepUnsavedProgress(*file, *deck);
    publish(*file, std::move(deck), report.changes, report.progressFileAsRead);
    journalReattachments(report);
    m_recentFiles->add(*file);
    announceLoad(report, false);
}

void CommandsCoordinator::reloadActiveFile()
{
    if (m_activeFile.isEmpty())
        return;
    if (m_load || loadsInBackground(m_activeFile)) {
        // A first reading still running starts over as one; a deck on screen stays while the
        // file is read again.
        startLoad(m_activeFile, m_load ? m_load->reload : dataFile().has_value());
        return;
    }
    // The deck before the edit tells which faces were edited in place.
    LoadReport report;
    std::optional<DataFile> deck =
        readDeck(m_activeFile, false, dataFile() ? &*dataFile() : nullptr, &report);
    // A file that is gone, or caught half-written, keeps the deck on screen: nothing is lost,
    // and the next change of the file reads it again.
    if (!deck)
        return;
    keepUnsavedProgress(m_activeFile, *deck);
    // An editor's save through a rename gives the file a new identity.
    storeBookmark(m_activeFile);
    m_reloading = true;
    publish(m_activeFile, std::move(deck), report.changes, report.progressFileAsRead);
    m_reloading = false;
    journalReattachments(report);
    announceLoad(report, true);
}

void CommandsCoordinator::keepUnsavedProgress(const QUrl &file, DataFile &deck) const
{
    const std::optional<DataFile> &current = dataFile();
    if (!current || m_activeFile.isEmpty() ||
        progressFileBaseName(file) != progressFileBaseName(m_activeFile))
        return;
    keepUnsavedProgress(*current, m_saver.unsavedChanges(), deck);
}

void CommandsCoordinator::keepUnsavedProgress(const DataFile &current, const FaceChanges &unsaved,
                                              DataFile &deck)
{
    // The deck on screen holds the newest progress, which may not have reached the disk (a save
    // that failed on a full disk): faces whose text is unchanged keep it rather than take what
    // the disk says. Only faces that the disk lacks: the rest may have been reviewed since by
    // another window or process.
    if (unsaved.isEmpty())
        return;
    QHash<FaceText, CardFace> onScreen;
    for (const Card &card : current.cards)
        for (const CardFace &face : card.faces)
            if (unsaved.contains(faceDigest(face.text)))
                onScreen.insert(face.text, face);
    if (onScreen.isEmpty())
        return;
    for (Card &card : deck.cards) {
        for (CardFace &face : card.faces) {
            const auto it = onScreen.constFind(face.text);
            if (it == onScreen.cend())
                continue;
            face.rating = it->rating;
            face.progress = it->progress;
            face.progressRank = it->progressRank;
            setSchedule(face, scheduleOf(*it));
        }
    }
}

bool CommandsCoordinator::retrySaves()
{
    m_saver.waitForPendingSaves();
    return !m_saver.hasUnsavedChanges();
}

bool CommandsCoordinator::saveProgressCopy(const QString &path, QString *error) const
{
    const auto &deck = dataFile();
    if (!deck) {
        if (error)
            *error = tr("No deck is open.");
        return false;
    }
    return writeProgressCopy(deck->cards, path, error);
}

void CommandsCoordinator::journalReattachments(const LoadReport &report)
{
    const auto &deck = dataFile();
    if (!deck)
        return;
    // The face takes the record over whole: its state before is the record's.
    for (const auto &[card, face] : report.reattachedPlaces) {
        const CardFace &value = deck->cards.at(card).faces.at(face);
        journalChange(value, value, JournalChange::Reattachment, 0);
    }
}

void CommandsCoordinator::announceLoad(const LoadReport &report, bool reload)
{
    // Only records that this edit left behind are news; those of decks that share the file
    // were there before.
    const qsizetype keptAside =
        reload ? std::max<qsizetype>(0, report.unclaimedRecords - m_unclaimedRecords) : 0;
    m_unclaimedRecords = report.unclaimedRecords;
    QStringList parts;
    if (report.reattachedFaces > 0)
        parts.append(tr("%n face(s) kept their progress after your edit.", nullptr,
                        int(report.reattachedFaces)));
    if (keptAside > 0)
        parts.append(tr("The progress of %n face(s) is kept aside until their text comes back.",
                        nullptr, int(keptAside)));
    if (!parts.isEmpty())
        Q_EMIT progressNotice(parts.join(u' '));
}

void CommandsCoordinator::forgetHistory()
{
    if (!m_history.canUndo() && !m_history.canRedo())
        return;
    m_history.clear();
    Q_EMIT historyChanged();
}

void CommandsCoordinator::storeBookmark(const QUrl &file)
{
    const std::optional<QByteArray> bookmark = createBookmarkData(file);
    const QVariant stored = m_preferences->value(activeFileKey);
    // A reload stores the bookmark again: write the preferences only when it changed.
    if (bookmark ? stored == QVariant(*bookmark) : !stored.isValid())
        return;
    if (bookmark)
        m_preferences->setValue(activeFileKey, *bookmark);
    else
        m_preferences->remove(activeFileKey);
    savePreferences(*m_preferences);
}

std::optional<DataFile> CommandsCoordinator::readDeck(const QUrl &file, bool reportFailure,
                                                      const DataFile *previous, LoadReport *report,
                                                      LoadProgress *progress)
{
    if (!file.isLocalFile())
        return std::nullopt;
    // Every change is in the journal, which the load replays over the progress file, so the
    // read need not wait for that file to be rewritten. A change the journal could not take is
    // only in the rewrite still to come: then reading before it lands would bring back older
    // ratings, which the next save would write over the newer ones.
    if (!m_saver.waitForJournal())
        m_saver.waitForPendingSave(file);
    QString error;
    std::optional<DataFile> deck = m_location.loadFile(file, previous, report, &error, progress);
    // A reading given up on has nothing to say.
    if (!deck && reportFailure && !error.isEmpty())
        printLine(error);
    return deck;
}

bool CommandsCoordinator::loadsInBackground(const QUrl &file) const
{
    if (!file.isLocalFile())
        return false;
    qint64 bytes = QFileInfo(file.toLocalFile()).size();
    if (const std::optional<QString> progress = m_location.progressFilePath(file))
        bytes += QFileInfo(*progress).size();
    return bytes >= m_backgroundLoadThreshold;
}

void CommandsCoordinator::cancelLoad()
{
    if (!m_load)
        return;
    m_load->cancelled = true;
    m_load.reset();
    m_changedDuringLoad.clear();
    m_loadProgress = 0;
    Q_EMIT loadingChanged();
}

void CommandsCoordinator::startLoad(const QUrl &file, bool reload)
{
    const State oldState = state();
    const bool wasLoading = isLoading();
    if (m_load)
        m_load->cancelled = true;
    auto job = std::make_shared<LoadJob>();
    job->file = file;
    job->reload = reload;
    if (dataFile() && !m_activeFile.isEmpty() &&
        progressFileBaseName(file) == progressFileBaseName(m_activeFile)) {
        // A reload keeps the deck on screen, where reviews go on meanwhile.
        if (reload)
            job->copiesDeckOnScreen = true;
        else
            job->current = dataFile();
        job->unsaved = m_saver.unsavedChanges();
    }
    m_load = job;
    m_changedDuringLoad.clear();
    m_loadProgress = 0;
    if (!reload) {
        // The deck of another file closes now; the window shows the reading.
        publish(file, std::nullopt);
    } else if (state() != oldState) {
        Q_EMIT stateChanged();
    }
    if (!wasLoading)
        Q_EMIT loadingChanged();
    Q_EMIT loadProgressChanged();

    const DeckReader reader = m_deckReader;
    m_loadThreads.start([this, job, reader] {
        const auto told = [this, job](double fraction) {
            const int thousandths = std::clamp(int(fraction * 1000), 0, 1000);
            if (job->cancelled || job->reported.exchange(thousandths) == thousandths)
                return;
            QMetaObject::invokeMethod(
                this,
                [this, job, thousandths] {
                    // Told in order; a share that is not more than the last is old news.
                    if (job != m_load || thousandths / 1000.0 <= m_loadProgress)
                        return;
                    m_loadProgress = thousandths / 1000.0;
                    Q_EMIT loadProgressChanged();
                },
                Qt::QueuedConnection);
        };
        if (job->copiesDeckOnScreen)
            job->current = copyDeckOnScreen(*job);
        LoadReport report;
        std::optional<DataFile> deck;
        {
            LoadProgress progress(told, [&job] { return job->cancelled.load(); });
            const DataFile *previous = job->reload && job->current ? &*job->current : nullptr;
            deck = reader(job->file, previous, &report, progress);
        }
        told(1);
        if (deck && job->current && !job->cancelled)
            keepUnsavedProgress(*job->current, job->unsaved, *deck);
        // Let go here: should the deck on screen be gone by now, freeing it takes long.
        job->current.reset();
        if (job->cancelled)
            return; // the deck read is let go here too, not on the window's thread
        auto result = std::make_shared<std::pair<std::optional<DataFile>, LoadReport>>(
            std::move(deck), std::move(report));
        QMetaObject::invokeMethod(
            this,
            [this, job, result] {
                finishLoad(job, std::move(result->first), std::move(result->second));
            },
            Qt::QueuedConnection);
    });
}

std::optional<DataFile> CommandsCoordinator::copyDeckOnScreen(const LoadJob &job)
{
    // A stretch of cards at a time, each under the lease: a change of the deck on the window's
    // thread waits for one stretch at most.
    constexpr qsizetype cardsPerStretch = 16384;
    std::optional<DataFile> copy;
    qsizetype total = 0;
    {
        const std::lock_guard lease(m_deckLease);
        const std::optional<DataFile> &deck = m_saver.deck();
        if (job.cancelled || !deck)
            return std::nullopt;
        copy.emplace();
        copy->title = deck->title;
        total = deck->cards.size();
    }
    copy->cards.reserve(total);
    for (qsizetype from = 0; from < total; from += cardsPerStretch) {
        const std::lock_guard lease(m_deckLease);
        // Every other deck is put on screen after the reading was given up on.
        const std::optional<DataFile> &deck = m_saver.deck();
        if (job.cancelled || !deck || deck->cards.size() != total)
            return std::nullopt;
        const qsizetype to = std::min(total, from + cardsPerStretch);
        for (qsizetype card = from; card < to; ++card)
            copy->cards.append(deck->cards.at(card));
    }
    return copy;
}

void CommandsCoordinator::finishLoad(const std::shared_ptr<LoadJob> &job,
                                     std::optional<DataFile> deck, LoadReport report)
{
    if (job != m_load) {
        // Overtaken after it finished: let the deck go on the loading thread.
        m_loadThreads.start([dropped = std::move(deck)] {});
        return;
    }
    // Faces changed on screen while the file was read are carried into the deck read on the
    // loading thread, which goes through every face of it; those changed meanwhile come back
    // here for another round. The window's thread carries only what changes after a few.
    constexpr int changeRoundsOffThread = 3;
    if (deck && !m_changedDuringLoad.isEmpty() && job->changeRounds < changeRoundsOffThread) {
        ++job->changeRounds;
        auto result = std::make_shared<std::pair<std::optional<DataFile>, LoadReport>>(
            std::move(deck), std::move(report));
        m_loadThreads.start([this, job, result, changed = std::exchange(m_changedDuringLoad, {})] {
            if (job->cancelled)
                return;
            keepChangesDuringLoad(changed, *result->first, result->second.changes);
            QMetaObject::invokeMethod(
                this,
                [this, job, result] {
                    finishLoad(job, std::move(result->first), std::move(result->second));
                },
                Qt::QueuedConnection);
        });
        return;
    }
    const bool reload = job->reload;
    m_load.reset();
    m_loadProgress = 0;
    if (reload && !deck) {
        // As a reading at once: the deck on screen stays.
        m_changedDuringLoad.clear();
        Q_EMIT loadingChanged();
        return;
    }
    if (deck)
        keepChangesDuringLoad(m_changedDuringLoad, *deck, report.changes);
    m_changedDuringLoad.clear();
    if (reload) {
        storeBookmark(job->file);
        m_reloading = true;
    }
    publish(job->file, std::move(deck), report.changes, report.progressFileAsRead);
    m_reloading = false;
    journalReattachments(report);
    if (!reload)
        m_recentFiles->add(job->file);
    Q_EMIT loadingChanged();
    announceLoad(report, reload);
}

void CommandsCoordinator::keepDeckUntilExit()
{
    static auto *const kept = new std::optional<DataFile>;
    // Shared, not copied: the coordinator's own goes with one count less.
    *kept = dataFile();
}

void CommandsCoordinator::waitForLoad()
{
    do {
        m_loadThreads.waitForDone();
        // The result arrives as a queued call.
        QCoreApplication::sendPostedEvents(this);
    } while (m_load);
}

void CommandsCoordinator::noteChangeDuringLoad(const CardFace &value)
{
    if (m_load && m_load->reload)
        m_changedDuringLoad.insert(value.text, value);
}

void CommandsCoordinator::keepChangesDuringLoad(const QHash<FaceText, CardFace> &changedDuringLoad,
                                                DataFile &deck, FaceChanges &changes)
{
    if (changedDuringLoad.isEmpty())
        return;
    // Few faces change during a reading; their lengths sort out the faces to compare without
    // hashing the text of every face.
    QSet<qsizetype> lengths;
    for (auto it = changedDuringLoad.cbegin(); it != changedDuringLoad.cend(); ++it)
        lengths.insert(it.key().size());
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        const QList<CardFace> &faces = std::as_const(deck.cards)[c].faces;
        for (qsizetype f = 0; f < faces.size(); ++f) {
            if (!lengths.contains(faces[f].text.size()))
                continue;
            const auto changed = changedDuringLoad.constFind(faces[f].text);
            if (changed == changedDuringLoad.cend())
                continue;
            CardFace &face = deck.cards[c].faces[f];
            face.rating = changed->rating;
            face.progress = changed->progress;
            face.progressRank = changed->progressRank;
            setSchedule(face, scheduleOf(*changed));
            changes.changed.insert(faceDigest(face.text));
        }
    }
}

void CommandsCoordinator::publish(const QUrl &file, std::optional<DataFile> deck,
                                  FaceChanges changes, std::optional<StampedFile> readFrom)
{
    const State oldState = state();
    const bool fileChanged = file != m_activeFile;
    m_activeFile = file;
    {
        const std::lock_guard lease(m_deckLease);
        m_saver.replaceDeck(m_activeFile, std::move(deck), m_location.journalPath(m_activeFile),
                            std::move(changes), std::move(readFrom));
    }
    // Signals only once both values are consistent, so no observer sees the new file with the
    // previous deck.
    if (fileChanged)
        Q_EMIT activeFileChanged();
    Q_EMIT dataFileChanged();
    if (state() != oldState)
        Q_EMIT stateChanged();
}

void CommandsCoordinator::setDataFile(std::optional<DataFile> dataFile)
{
    // A deck set whole overrides whatever a reading would bring.
    cancelLoad();
    const State oldState = state();
    // A deck set whole is this process's word on every face of it.
    {
        const std::lock_guard lease(m_deckLease);
        m_saver.replaceDeck(m_activeFile, std::move(dataFile), m_location.journalPath(m_activeFile),
                            FaceChanges::everyFace());
    }
    Q_EMIT dataFileChanged();
    if (state() != oldState)
        Q_EMIT stateChanged();
}

bool CommandsCoordinator::setCard(qsizetype card, const Card &value)
{
    if (const auto &deck = dataFile(); deck && card >= 0 && card < deck->cards.size())
        Q_EMIT cardAboutToChange(card);
    const bool changed = editCard(card, [&](DataFile &deck, FaceChanges &changes) {
        if (card < 0 || card >= deck.cards.size())
            return false;
        for (const CardFace &face : value.faces)
            changes.changed.insert(faceDigest(face.text));
        deck.cards[card] = value;
        return true;
    });
    if (changed) {
        for (const CardFace &face : value.faces)
            noteChangeDuringLoad(face);
        Q_EMIT cardChanged(card);
    }
    return changed;
}

bool CommandsCoordinator::setFace(qsizetype card, qsizetype face, const CardFace &value)
{
    return changeFace(card, face, value, std::nullopt);
}

bool CommandsCoordinator::changeFace(qsizetype card, qsizetype face, const CardFace &value,
                                     std::optional<Grade> grade)
{
    const auto &deck = dataFile();
    if (!deck || card < 0 || card >= deck->cards.size() || face < 0 ||
        face >= deck->cards.at(card).faces.size())
        return false;
    const CardFace before = deck->cards.at(card).faces.at(face);
    if (!writeFace(card, face, value))
        return false;
    if (before != value) {
        // A review keeps its own grade: its rating may not move (Correct at the top rating),
        // and Hard and Easy move it as Good does.
        quint8 journalGrade = grade ? quint8(*grade) : 0;
        const JournalChange kind =
            grade ? JournalChange::Review : studyChange(before, value, &journalGrade);
        journalChange(before, value, kind, journalGrade);
        m_history.record({card, face, before, value, grade});
        Q_EMIT historyChanged();
    }
    return true;
}

void CommandsCoordinator::journalChange(const CardFace &before, const CardFace &after,
                                        JournalChange kind, quint8 grade)
{
    JournalRecord record;
    record.time = QDateTime::currentMSecsSinceEpoch();
    record.face = faceDigest(after.text);
    record.kind = kind;
    record.grade = grade;
    record.stateBefore = schedulingStateOf(before);
    record.rating = after.rating;
    record.progress = after.progress;
    record.progressRank = after.progressRank;
    if (after.lastReview)
        record.lastReview = after.lastReview->toMSecsSinceEpoch();
    if (after.nextReview)
        record.nextReview = after.nextReview->toMSecsSinceEpoch();
    record.memory = after.memory;
    m_saver.journal(record);
}

bool CommandsCoordinator::reviewFace(qsizetype card, qsizetype face, CardFace value, Grade grade)
{
    const auto &deck = dataFile();
    if (!deck || card < 0 || card >= deck->cards.size() || face < 0 ||
        face >= deck->cards.at(card).faces.size())
        return false;
    const QDateTime now = m_clock();
    const bool wasNew = !value.memory;
    setSchedule(value, m_scheduler.review(scheduleOf(value), grade, now, m_uniform));
    // Counted first, so that whoever follows the change sees the day's figures with it.
    const QDate day = m_studyDays.studyDay(now);
    countReview(*m_preferences, deck->title, day, grade != Grade::Again);
    if (wasNew)
        countNewFaceIntroduced(*m_preferences, deck->title, day);
    return changeFace(card, face, value, grade);
}

void CommandsCoordinator::setSchedulerParameters(const SchedulerParameters &parameters)
{
    m_scheduler = Scheduler(parameters);
    storeSchedulerParameters(*m_preferences, parameters);
    Q_EMIT schedulerParametersChanged();
}

bool CommandsCoordinator::undo()
{
    return stepThroughHistory(false);
}

bool CommandsCoordinator::redo()
{
    return stepThroughHistory(true);
}

bool CommandsCoordinator::stepThroughHistory(bool forward)
{
    // A change whose face is gone is dropped, and the next one is tried.
    while (std::optional<ReviewHistory::Change> change =
               forward ? m_history.takeRedo() : m_history.takeUndo()) {
        if (restoreFace(*change, forward ? change->after : change->before,
                        forward ? JournalChange::Redo : JournalChange::Undo)) {
            recountReview(*change, forward);
            if (forward)
                m_history.pushUndo(*std::move(change));
            else
                m_history.pushRedo(*std::move(change));
            Q_EMIT historyChanged();
            return true;
        }
    }
    Q_EMIT historyChanged();
    return false;
}

void CommandsCoordinator::recountReview(const ReviewHistory::Change &change, bool redone)
{
    if (!change.grade || !change.after.lastReview || !dataFile())
        return;
    // Only the current study day's figures are kept.
    const QDate day = m_studyDays.studyDay(*change.after.lastReview);
    if (day != m_studyDays.studyDay(m_clock()))
        return;
    const bool recalled = *change.grade != Grade::Again;
    const bool wasNew = !change.before.memory;
    const QString &title = dataFile()->title;
    if (!redone) {
        uncountReview(*m_preferences, title, day, recalled, wasNew);
        return;
    }
    countReview(*m_preferences, title, day, recalled);
    if (wasNew)
        countNewFaceIntroduced(*m_preferences, title, day);
}

bool CommandsCoordinator::restoreFace(const ReviewHistory::Change &change, const CardFace &record,
                                      JournalChange kind)
{
    const auto &deck = dataFile();
    if (!deck || change.card < 0 || change.card >= deck->cards.size() || change.face < 0 ||
        change.face >= deck->cards.at(change.card).faces.size())
        return false;
    // Only the review fields go back; the face keeps its identity in this reading of the file.
    CardFace face = deck->cards.at(change.card).faces.at(change.face);
    if (face.text != record.text)
        return false;
    const CardFace before = face;
    face.rating = record.rating;
    face.progress = record.progress;
    setSchedule(face, scheduleOf(record));
    if (!writeFace(change.card, change.face, face))
        return false;
    if (face != before)
        journalChange(before, face, kind, 0);
    return true;
}

bool CommandsCoordinator::writeFace(qsizetype card, qsizetype face, const CardFace &value)
{
    if (const auto &deck = dataFile(); deck && card >= 0 && card < deck->cards.size())
        Q_EMIT cardAboutToChange(card);
    const bool changed = editCard(card, [&](DataFile &deck, FaceChanges &changes) {
        if (card < 0 || card >= deck.cards.size())
            return false;
        // Check before the non-const access, which would detach for nothing.
        if (face < 0 || face >= deck.cards.at(card).faces.size())
            return false;
        changes.changed.insert(faceDigest(value.text));
        deck.cards[card].faces[face] = value;
        return true;
    });
    if (changed) {
        noteChangeDuringLoad(value);
        Q_EMIT cardChanged(card);
    }
    return changed;
}

#include "core/app/commands_coordinator.h"

#include "core/app/bookmark.h"
#include "core/app/preferences.h"
#include "core/app/recent_files.h"
#include "core/app/study_settings.h"
#include "core/model/debug_output.h"
#include "core/model/flashcard_reader.h"

namespace {

const QString activeFileKey = QStringLiteral("activeFile");
// The file being reopened at a start, until it has been shown: still there at the next start,
// it is the file that crashed or hung the last one.
const QString restoringKey = QStringLiteral("restoringFile");

} // namespace

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
      m_location(std::move(location)), m_saver([this](const QUrl &url, const QList<Card> &cards) {
          return m_location.saveDeck(url, cards);
      }),
      m_scheduler(storedSchedulerParameters(*preferences))
{
    connect(&m_watcher, &DeckFileWatcher::fileChanged, this,
            &CommandsCoordinator::reloadActiveFile);
    restore();
}

CommandsCoordinator::~CommandsCoordinator()
{
    finishRestore();
    m_saver.waitForPendingSaves();
}

CommandsCoordinator::State CommandsCoordinator::state() const
{
    if (m_activeFile.isEmpty())
        return State::NoFile;
    return dataFile() ? State::DeckOpen : State::UnreadableFile;
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
        m_preferences->sync();
        return;
    }
    if (resolved->isStale)
        storeBookmark(resolved->url);
    const QVariant restoring = m_preferences->value(activeFileKey);
    if (restoring.isValid()) {
        m_preferences->setValue(restoringKey, restoring);
        m_preferences->sync();
    }
    m_watcher.watch(resolved->url);
    publish(resolved->url, readDeck(resolved->url));
}

void CommandsCoordinator::finishRestore()
{
    if (!m_preferences->contains(restoringKey))
        return;
    m_preferences->remove(restoringKey);
    m_preferences->sync();
}

void CommandsCoordinator::open(const std::optional<QUrl> &file)
{
    if (!file || file->isEmpty()) {
        m_preferences->remove(activeFileKey);
        m_preferences->sync();
        m_watcher.watch(QUrl());
        forgetHistory();
        publish(QUrl(), std::nullopt);
        return;
    }
    storeBookmark(*file);
    // Watched from before the read, so that a change during the read is not missed.
    m_watcher.watch(*file);
    forgetHistory();
    publish(*file, readDeck(*file));
    m_recentFiles->add(*file);
}

void CommandsCoordinator::reloadActiveFile()
{
    if (m_activeFile.isEmpty())
        return;
    std::optional<DataFile> deck = readDeck(m_activeFile);
    // A file that is gone, or caught half-written, keeps the deck on screen: nothing is lost,
    // and the next change of the file reads it again.
    if (!deck)
        return;
    // An editor's save through a rename gives the file a new identity.
    storeBookmark(m_activeFile);
    m_reloading = true;
    publish(m_activeFile, std::move(deck));
    m_reloading = false;
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
    m_preferences->sync();
}

std::optional<DataFile> CommandsCoordinator::readDeck(const QUrl &file)
{
    if (!file.isLocalFile())
        return std::nullopt;
    const std::optional<QString> text = readUtf8File(file.toLocalFile());
    if (!text)
        return std::nullopt;
    // A save of this deck's progress may still be on its way; reading before it lands would
    // bring back older ratings, which the next save would then write over the newer ones.
    m_saver.waitForPendingSave(file);
    return m_location.loadDeck(*text, file);
}

void CommandsCoordinator::publish(const QUrl &file, std::optional<DataFile> deck)
{
    const State oldState = state();
    const bool fileChanged = file != m_activeFile;
    m_activeFile = file;
    m_saver.replaceDeck(m_activeFile, std::move(deck));
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
    const State oldState = state();
    m_saver.replaceDeck(m_activeFile, std::move(dataFile));
    Q_EMIT dataFileChanged();
    if (state() != oldState)
        Q_EMIT stateChanged();
}

bool CommandsCoordinator::setCard(qsizetype card, const Card &value)
{
    const bool changed = m_saver.editDeck([&](DataFile &deck) {
        if (card < 0 || card >= deck.cards.size())
            return false;
        deck.cards[card] = value;
        return true;
    });
    if (changed)
        Q_EMIT cardChanged(card);
    return changed;
}

bool CommandsCoordinator::setFace(qsizetype card, qsizetype face, const CardFace &value)
{
    const auto &deck = dataFile();
    if (!deck || card < 0 || card >= deck->cards.size() || face < 0 ||
        face >= deck->cards.at(card).faces.size())
        return false;
    const CardFace before = deck->cards.at(card).faces.at(face);
    if (!writeFace(card, face, value))
        return false;
    if (before != value) {
        m_history.record({card, face, before, value});
        Q_EMIT historyChanged();
    }
    return true;
}

bool CommandsCoordinator::reviewFace(qsizetype card, qsizetype face, CardFace value, Grade grade)
{
    const QDateTime now = m_clock();
    const bool wasNew = !value.memory;
    setSchedule(value, m_scheduler.review(scheduleOf(value), grade, now, m_uniform));
    if (!setFace(card, face, value))
        return false;
    if (wasNew)
        countNewFaceIntroduced(*m_preferences, dataFile()->title, m_studyDays.studyDay(now));
    return true;
}

void CommandsCoordinator::setSchedulerParameters(const SchedulerParameters &parameters)
{
    m_scheduler = Scheduler(parameters);
    storeSchedulerParameters(*m_preferences, parameters);
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
        if (restoreFace(*change, forward ? change->after : change->before)) {
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

bool CommandsCoordinator::restoreFace(const ReviewHistory::Change &change, const CardFace &record)
{
    const auto &deck = dataFile();
    if (!deck || change.card < 0 || change.card >= deck->cards.size() || change.face < 0 ||
        change.face >= deck->cards.at(change.card).faces.size())
        return false;
    // Only the review fields go back; the face keeps its identity in this reading of the file.
    CardFace face = deck->cards.at(change.card).faces.at(change.face);
    if (face.text != record.text)
        return false;
    face.rating = record.rating;
    face.progress = record.progress;
    setSchedule(face, scheduleOf(record));
    return writeFace(change.card, change.face, face);
}

bool CommandsCoordinator::writeFace(qsizetype card, qsizetype face, const CardFace &value)
{
    const bool changed = m_saver.editDeck([&](DataFile &deck) {
        if (card < 0 || card >= deck.cards.size())
            return false;
        // Check before the non-const access, which would detach for nothing.
        if (face < 0 || face >= deck.cards.at(card).faces.size())
            return false;
        deck.cards[card].faces[face] = value;
        return true;
    });
    if (changed)
        Q_EMIT cardChanged(card);
    return changed;
}

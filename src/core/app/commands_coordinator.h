#pragma once

#include "core/app/deck_file_watcher.h"
#include "core/app/progress_location.h"
#include "core/app/progress_saver.h"
#include "core/app/review_history.h"
#include "core/model/records.h"
#include "core/schedule/scheduler.h"
#include "core/schedule/study_day.h"
#include "core/store/deck_loader.h"

#include <QObject>
#include <QSettings>
#include <QThreadPool>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class RecentFiles;

// The owner of the open flashcard file: opens and closes it, keeps its deck, remembers it in
// the preferences ("activeFile") for the next run, adds it to the recent files and saves the
// study progress after every change of the deck. Used on the main thread only; a big deck is read
// on a thread of its own and published when it is complete.
class CommandsCoordinator final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandsCoordinator)
    Q_PROPERTY(QUrl activeFile READ activeFile NOTIFY activeFileChanged)
    Q_PROPERTY(std::optional<DataFile> dataFile READ dataFile NOTIFY dataFileChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY historyChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY historyChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY loadingChanged)
    Q_PROPERTY(double loadProgress READ loadProgress NOTIFY loadProgressChanged)

public:
    // What a window shows.
    enum class State {
        NoFile,         // no active file: the start text
        DeckOpen,       // a file and its deck: the deck browser
        UnreadableFile, // a file whose text could not be read: "Invalid file. Try another."
        Loading,        // a file being read for the first time, in the background
    };
    Q_ENUM(State)

    // The process-wide coordinator over the application's preferences, progress folder and
    // recent files. Made on first use; its creation reopens the file of the last run.
    static CommandsCoordinator &shared();

    // A coordinator over the given preferences and recent files (not owned; both must outlive
    // it) and progress folder (none: progress is neither read nor written). Reopens the file
    // stored in the preferences.
    CommandsCoordinator(QSettings *preferences, std::optional<QString> progressFolder,
                        RecentFiles *recentFiles, QObject *parent = nullptr);
    // Waits until all pending progress is written.
    ~CommandsCoordinator() override;

    // The open file; empty when none is open.
    QUrl activeFile() const { return m_activeFile; }
    // The deck read from the active file; absent when no file is open or its text could not
    // be read.
    const std::optional<DataFile> &dataFile() const { return m_saver.deck(); }
    State state() const;
    // The progress file of the open deck, beside which its journals lie; none when no deck is
    // open or progress is not kept.
    std::optional<QString> progressFilePath() const;

    // Opens the file (reading it again when it is already open), or closes the open one when
    // given none (or an empty URL). A big file is read in the background: the state is Loading
    // until its deck is published.
    void open(const std::optional<QUrl> &file);

    // Whether a file is being read in the background, for opening it or after an outside edit
    // (the deck read before stays open meanwhile), and how far that reading is, from 0 to 1.
    bool isLoading() const { return m_load != nullptr; }
    double loadProgress() const { return m_loadProgress; }
    // Files (with their progress file) of at least this many bytes are read in the background;
    // smaller ones at once, which keeps the window from flashing a loading view for them.
    void setBackgroundLoadThreshold(qint64 bytes) { m_backgroundLoadThreshold = bytes; }
    // What reads a deck on the loading thread: the file, the deck before an edit of the same file
    // (or none), what the reading found, and where it tells how far it got and learns that it is
    // no longer wanted (then it should stop soon; whatever it gives is thrown away). Nothing
    // when the file cannot be read. Tests hold the reading with their own.
    using DeckReader = std::function<std::optional<DataFile>(
        const QUrl &file, const DataFile *previous, LoadReport *report, LoadProgress &progress)>;
    void setDeckReader(DeckReader reader) { m_deckReader = std::move(reader); }

    // Replaces the whole deck and saves its progress. Emits dataFileChanged.
    void setDataFile(std::optional<DataFile> dataFile);
    // Replace one card, or one face of a card, in place and save the progress. They emit
    // cardChanged, not dataFileChanged, and never copy the deck. False (and nothing changes)
    // when there is no deck or an index is out of range.
    bool setCard(qsizetype card, const Card &value);
    bool setFace(qsizetype card, qsizetype face, const CardFace &value);
    // A review: `value` is the face after the review rules; the face's schedule for the grade
    // is added to it and both are written in one change, undone as one, and journalled with
    // that grade. A face new to the scheduler counts towards the deck's new faces of the study
    // day, and every review towards the day's reviews.
    bool reviewFace(qsizetype card, qsizetype face, CardFace value, Grade grade);

    // The scheduler's settings, read from the preferences; setting them stores them and emits
    // schedulerParametersChanged.
    const SchedulerParameters &schedulerParameters() const { return m_scheduler.parameters(); }
    void setSchedulerParameters(const SchedulerParameters &parameters);
    // The current time, the study days and the random source of the interval fuzz.
    QDateTime now() const { return m_clock(); }
    const StudyDayClock &studyDayClock() const { return m_studyDays; }
    // Tests pin time and chance.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void setStudyDayClock(const StudyDayClock &clock) { m_studyDays = clock; }
    void setUniformSource(UniformSource uniform) { m_uniform = std::move(uniform); }
    QSettings *preferences() const { return m_preferences; }

    // Review changes made through setFace can be undone and redone; each undo or redo is a
    // change of the deck like any other, and saved. Opening or closing a file forgets them.
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    bool undo();
    bool redo();

    // Reads the open file again, as opening it would, without touching the recent files or
    // the review history. Runs by itself shortly after the file changes on disk. A file that is
    // gone or whose text cannot be read leaves the deck as it is.
    void reloadActiveFile();
    // True while the deck published by a reload is being announced: views keep their place.
    bool isReloading() const { return m_reloading; }

    // What the start had to tell: the file of the last run was not reopened because the run
    // before did not get past reopening it (the program crashed or was stopped while opening
    // it). Empty otherwise.
    const QString &startNotice() const { return m_startNotice; }
    // Records that the file of the last run was reopened and shown without trouble, so that the
    // next start reopens it again. Also done when the coordinator is destroyed.
    void finishRestore();

    // Blocks until the reading of a file in the background, if any, is over and published.
    void waitForLoad();

    // Blocks until every progress save scheduled so far, and the preferences, have been
    // written; for quitting.
    void waitForPendingSaves();
    // Keeps the open deck, as it is now, until the process ends instead of freeing it with the
    // coordinator: the system takes a big deck back at once, where freeing it card by card
    // takes about a second at a million cards. For quitting.
    void keepDeckUntilExit();

    // Why progress is not being saved (a full disk, a folder that cannot be written): empty
    // while it is. Failed saves are tried again by themselves until one succeeds.
    QString saveProblem() const { return m_saver.failure(); }
    // Whether some progress is held only in memory and would be lost by quitting now.
    bool hasUnsavedProgress() const { return m_saver.hasUnsavedChanges(); }
    // Tries every pending save once more, now; whether nothing is held only in memory after.
    bool retrySaves();
    // Writes the open deck's progress, as a progress file, to path (somewhere that can be
    // written, while the progress folder cannot). False on failure, error then says why.
    [[nodiscard]] bool saveProgressCopy(const QString &path, QString *error = nullptr) const;
    // How long after a failed save it is tried again (doubling each time, up to a minute).
    void setRetryDelay(ProgressSaver::Clock::duration delay) { m_saver.setRetryDelay(delay); }
    // Blocks until every change made so far is durable in the journal.
    bool waitForJournal() { return m_saver.waitForJournal(); }
    // How soon after the last change the progress file is rewritten (see ProgressSaver).
    void setMinimumCompactionDelay(ProgressSaver::Clock::duration delay)
    {
        m_saver.setMinimumCompactionDelay(delay);
    }

Q_SIGNALS:
    void activeFileChanged();
    // The deck was replaced as a whole (opened, closed, reread or set).
    void dataFileChanged();
    // One card of the deck is about to change in place: whoever reads the deck on another
    // thread lets go of it now, since a change of a deck that is shared copies the list of all
    // its cards first (a good part of a second at a million cards).
    void cardAboutToChange(qsizetype card);
    // One card of the deck changed; the rest of the deck is as it was.
    void cardChanged(qsizetype card);
    void stateChanged();
    void historyChanged();
    // A reading of the file kept progress that the user may wonder about: faces that took over
    // the progress of their edited text, records that no face claims any more. One sentence or
    // two, for a status line.
    void progressNotice(const QString &text);
    void schedulerParametersChanged();
    // saveProblem() changed: progress stopped being saved, or is saved again.
    void saveProblemChanged();
    // A reading in the background began or ended; loadProgress() changed.
    void loadingChanged();
    void loadProgressChanged();

private:
    struct LoadJob;

    CommandsCoordinator(QSettings *preferences, ProgressLocation location, RecentFiles *recentFiles,
                        QObject *parent);

    void restore();
    // Prints why a file that cannot be read was not, if asked to. previous: the deck before an
    // edit of the same file (see loadDataFile).
    std::optional<DataFile> readDeck(const QUrl &file, bool reportFailure = true,
                                     const DataFile *previous = nullptr,
                                     LoadReport *report = nullptr,
                                     LoadProgress *progress = nullptr);
    // Whether the file is big enough to be read in the background.
    bool loadsInBackground(const QUrl &file) const;
    // Reads the file on the loading thread; the deck on screen stays open when reloading.
    void startLoad(const QUrl &file, bool reload);
    void finishLoad(const std::shared_ptr<LoadJob> &job, std::optional<DataFile> deck,
                    LoadReport report);
    // The deck on screen, its list of cards a copy of its own (the cards share their faces);
    // nothing when the reading was given up on meanwhile. On the loading thread.
    std::optional<DataFile> copyDeckOnScreen(const LoadJob &job);
    // Every change of the deck on screen goes through here, under the lease.
    template <typename Change> bool editDeck(Change &&change)
    {
        const std::lock_guard lease(m_deckLease);
        return m_saver.editDeck(std::forward<Change>(change));
    }
    // The same, for a change of that card only (see ProgressSaver::editCard).
    template <typename Change> bool editCard(qsizetype card, Change &&change)
    {
        const std::lock_guard lease(m_deckLease);
        return m_saver.editCard(card, std::forward<Change>(change));
    }
    // Drops the reading in the background, if any: it stops at its next step, and whatever it
    // read is thrown away.
    void cancelLoad();
    // Faces changed while a reload was being read keep that change in the deck it gives.
    static void keepChangesDuringLoad(const QHash<FaceText, CardFace> &changedDuringLoad,
                                      DataFile &deck, FaceChanges &changes);
    void noteChangeDuringLoad(const CardFace &value);
    void announceLoad(const LoadReport &report, bool reload);
    void journalReattachments(const LoadReport &report);
    // A deck read again from the open deck's file keeps the progress that is held only in
    // memory, rather than the older progress the disk has.
    void keepUnsavedProgress(const QUrl &file, DataFile &deck) const;
    static void keepUnsavedProgress(const DataFile &current, const FaceChanges &unsaved,
                                    DataFile &deck);
    void storeBookmark(const QUrl &file);
    // readFrom: see ProgressSaver::replaceDeck.
    void publish(const QUrl &file, std::optional<DataFile> deck, FaceChanges changes = {},
                 std::optional<StampedFile> readFrom = {});
    // setFace, journalled as a review of that grade when there is one.
    bool changeFace(qsizetype card, qsizetype face, const CardFace &value,
                    std::optional<Grade> grade);
    bool writeFace(qsizetype card, qsizetype face, const CardFace &value);
    bool restoreFace(const ReviewHistory::Change &change, const CardFace &record,
                     JournalChange kind);
    // Appends the change of one face to the deck's journal, on the saver's thread.
    void journalChange(const CardFace &before, const CardFace &after, JournalChange kind,
                       quint8 grade);
    bool stepThroughHistory(bool forward);
    // An undone review leaves the day's figures, and comes back to them when redone.
    void recountReview(const ReviewHistory::Change &change, bool redone);
    void forgetHistory();

    QSettings *m_preferences;
    RecentFiles *m_recentFiles;
    QUrl m_activeFile;
    const ProgressLocation m_location;
    ProgressSaver m_saver;
    ReviewHistory m_history;
    Scheduler m_scheduler;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    StudyDayClock m_studyDays;
    UniformSource m_uniform = systemUniformSource();
    DeckFileWatcher m_watcher;
    bool m_reloading = false;
    qsizetype m_unclaimedRecords = 0;
    QString m_startNotice;

    // Held on the window's thread while it changes or replaces the deck on screen, and on the
    // loading thread while it copies a stretch of that deck's cards.
    std::mutex m_deckLease;
    std::shared_ptr<LoadJob> m_load; // the reading in the background; none when there is none
    double m_loadProgress = 0;
    qint64 m_backgroundLoadThreshold = qint64(4) << 20;
    DeckReader m_deckReader;
    // The newest value of each face (by text) changed while a reload is read, not yet carried
    // into the deck it read.
    QHash<FaceText, CardFace> m_changedDuringLoad;
    // Last: destroyed first, so no reading outlives what it uses.
    QThreadPool m_loadThreads;
};

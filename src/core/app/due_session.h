#pragma once

#include "core/app/study_settings.h"
#include "core/schedule/due_queue.h"

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class CommandsCoordinator;

// What the Due mode of one window studies: the open deck's study mode (remembered per deck)
// and its queue of due and new faces, kept up to date as the deck changes, the settings change
// and time passes. Faces passed over wait at the end of the queue until they are reviewed.
class DueSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DueSession)

public:
    explicit DueSession(CommandsCoordinator &coordinator, QObject *parent = nullptr);
    // A build still running stops where it is.
    ~DueSession() override;

    // The open deck's mode; in order while no deck is open.
    StudyMode mode() const { return m_mode; }
    // Stores the mode for the open deck; nothing without one.
    void setMode(StudyMode mode);

    // Built again first when the deck changed since.
    const DueQueue &queue();
    // The face to study next; none when nothing is left for now.
    std::optional<QueuedFace> next();
    // Puts the face behind every other face of the queue until it is reviewed; nothing for a
    // face that is not waiting.
    void passOver(qsizetype card, qsizetype face);

    // The study day's figures of the open deck.
    DayReviews reviewsToday() const;
    qsizetype newFacesToday() const;

    // Builds the queue again for the current time. For a big deck the build runs in the
    // background: the queue stays as it was until queueChanged() tells that it is ready.
    void refresh();

    // Decks of at least this many cards are built in the background and kept up to date face
    // by face; smaller ones are built at once, which is quicker than a round trip to a thread.
    void setBackgroundFrom(qsizetype cards) { m_backgroundFrom = cards; }
    // A background build is under way: its queue has not been taken yet.
    bool isBuilding() const { return m_building; }
    // What builds the queue in the background, as buildDueQueue does. Tests hold it.
    using QueueBuilder = std::function<DueQueue(
        const DataFile &deck, const QDateTime &now, const StudyDayClock &clock, qsizetype newLimit,
        std::optional<qsizetype> afterCard, const std::function<bool()> &stopped)>;
    void setQueueBuilder(QueueBuilder builder) { m_builder = std::move(builder); }

Q_SIGNALS:
    void modeChanged();
    // The queue or the day's figures changed. After a change of a face it comes a moment
    // later, once for a run of quick changes.
    void queueChanged();
    // Another deck, or the same one opened again (not an edit read back): the view starts
    // over from the head of the queue.
    void deckReplaced();

private:
    struct Build;

    void onDeckReplaced();
    // The deck is about to change in place: a build still going through it lets go of it first,
    // and starts again once the change is made.
    void giveWayToChange();
    // Stops the running build, if any, and waits until it has let go of the deck.
    void stopBuild();
    void rebuild(std::optional<qsizetype> afterCard);
    void buildQueue();
    bool inBackground() const;
    void startBuild();
    void onBuilt();
    void keepPassedOverLast();
    void wakeUpLater();
    void onFaceChanged(qsizetype card);
    void settle();
    QString deckTitle() const;

    CommandsCoordinator &m_coordinator;
    StudyMode m_mode = StudyMode::InOrder;
    QUrl m_file;
    DueQueue m_queue;
    QList<QueuedFace> m_passedOver;
    std::optional<qsizetype> m_lastCard;
    // Wakes the queue when the next face falls due or a new study day begins.
    QTimer m_wakeUp;
    // A face changed: the queue is built again when it is next asked for, and announced after
    // a pause, so that a run of reviews in order costs one build, not one each.
    bool m_stale = false;
    QTimer m_settle;
    qsizetype m_backgroundFrom = 50'000;
    // Cards changed while a background build runs, brought up to date on its result.
    QList<qsizetype> m_changedMeanwhile;
    QFutureWatcher<DueQueue> m_watcher;
    bool m_building = false;
    QueueBuilder m_builder = buildDueQueue;
    std::shared_ptr<Build> m_build; // the build running, if any
    // A build gave way to a change; another one starts once the changes settle.
    bool m_buildAgain = false;
    // Last, so that it is waited for before the rest goes.
    QThreadPool m_builds;
};

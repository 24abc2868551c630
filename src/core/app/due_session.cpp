#include "core/app/due_session.h"

#include "core/app/commands_coordinator.h"

#include <QPromise>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// The deck that a build in the background goes through, shared with the deck on screen until
// the build lets go of it. A change of a card in place while it is shared would copy the list
// of every card of the deck on the window's thread (about a third of a second at a million
// cards), so the build gives way: told to stop, it lets go at its next few cards.
struct DueSession::Build
{
    std::mutex mutex;
    std::condition_variable letGo;
    std::optional<DataFile> deck; // none once let go
    bool started = false;         // the deck is the build thread's until it lets go
    std::atomic<bool> stopped = false;
};

DueSession::DueSession(CommandsCoordinator &coordinator, QObject *parent)
    : QObject(parent), m_coordinator(coordinator)
{
    m_wakeUp.setSingleShot(true);
    connect(&m_wakeUp, &QTimer::timeout, this, &DueSession::refresh);
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this,
            &DueSession::onDeckReplaced);
    m_settle.setSingleShot(true);
    m_settle.setInterval(std::chrono::milliseconds(250));
    connect(&m_settle, &QTimer::timeout, this, &DueSession::settle);
    connect(&m_coordinator, &CommandsCoordinator::cardAboutToChange, this,
            &DueSession::giveWayToChange);
    connect(&m_coordinator, &CommandsCoordinator::cardChanged, this, &DueSession::onFaceChanged);
    connect(&m_coordinator, &CommandsCoordinator::schedulerParametersChanged, this,
            &DueSession::refresh);
    connect(&m_watcher, &QFutureWatcher<DueQueue>::finished, this, &DueSession::onBuilt);
    m_builds.setMaxThreadCount(1);
    onDeckReplaced();
}

DueSession::~DueSession()
{
    if (m_build)
        m_build->stopped = true;
}

QString DueSession::deckTitle() const
{
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    return deck ? deck->title : QString();
}

void DueSession::onDeckReplaced()
{
    const bool reread = m_coordinator.isReloading() && m_coordinator.activeFile() == m_file;
    m_file = m_coordinator.activeFile();
    if (!reread) {
        m_passedOver.clear();
        m_lastCard.reset();
    }
    const StudyMode mode = m_coordinator.dataFile()
                               ? storedStudyMode(*m_coordinator.preferences(), deckTitle())
                               : StudyMode::InOrder;
    const bool modeChanged = mode != m_mode;
    m_mode = mode;
    // The positions of the queue built for the deck before mean nothing in this one.
    m_queue = {};
    // A build of the deck before goes on no further; it lets go of that deck on its thread.
    if (m_build)
        m_build->stopped = true;
    m_build.reset();
    m_building = false;
    m_buildAgain = false;
    m_watcher.setFuture(QFuture<DueQueue>());
    rebuild(m_lastCard);
    if (modeChanged)
        Q_EMIT this->modeChanged();
    if (!reread)
        Q_EMIT deckReplaced();
}

void DueSession::setMode(StudyMode mode)
{
    if (!m_coordinator.dataFile() || mode == m_mode)
        return;
    m_mode = mode;
    storeStudyMode(*m_coordinator.preferences(), deckTitle(), mode);
    Q_EMIT modeChanged();
}

const DueQueue &DueSession::queue()
{
    if (m_stale)
        buildQueue();
    return m_queue;
}

std::optional<QueuedFace> DueSession::next()
{
    if (queue().faces.isEmpty())
        return std::nullopt;
    return m_queue.faces.first();
}

void DueSession::onFaceChanged(qsizetype card)
{
    m_lastCard = card;
    if (!inBackground()) {
        m_stale = true;
        m_settle.start();
        return;
    }
    // One card changed: a full build would cost far more than moving its faces.
    if (isBuilding())
        m_changedMeanwhile.append(card);
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    if (!deck)
        return;
    const QDateTime now = m_coordinator.now();
    const qsizetype newLimit = std::max<qsizetype>(
        m_coordinator.schedulerParameters().newFacesPerDay - newFacesToday(), 0);
    qsizetype passed = m_passedOver.size();
    updateDueQueue(m_queue, *deck, card, now, m_coordinator.studyDayClock(), newLimit, passed);
    keepPassedOverLast();
    wakeUpLater();
    m_settle.start();
}

void DueSession::giveWayToChange()
{
    if (!m_build)
        return;
    stopBuild();
    // The faces changed meanwhile are followed one by one as ever; the whole deck is gone
    // through again once the changes settle.
    m_buildAgain = true;
    m_settle.start();
}

void DueSession::stopBuild()
{
    const std::shared_ptr<Build> build = std::exchange(m_build, nullptr);
    build->stopped = true;
    std::unique_lock lock(build->mutex);
    // One that has not started yet never will: the deck is let go here.
    if (!build->started)
        build->deck.reset();
    build->letGo.wait(lock, [&build] { return !build->deck; });
}

void DueSession::settle()
{
    // Meanwhile the queue follows the changes face by face, as during any build.
    if (std::exchange(m_buildAgain, false) && m_coordinator.dataFile() && inBackground())
        startBuild();
    if (m_stale)
        buildQueue();
    Q_EMIT queueChanged();
}

void DueSession::passOver(qsizetype card, qsizetype face)
{
    queue();
    const auto waiting =
        std::find_if(m_queue.faces.cbegin(), m_queue.faces.cend(), [&](const QueuedFace &queued) {
            return queued.card == card && queued.face == face;
        });
    if (waiting == m_queue.faces.cend())
        return;
    const QueuedFace passed = *waiting;
    m_passedOver.removeAll(passed);
    m_passedOver.append(passed);
    if (!inBackground()) {
        rebuild(card);
        return;
    }
    m_lastCard = card;
    m_queue.faces.removeAt(waiting - m_queue.faces.cbegin());
    m_queue.faces.append(passed);
    // Another card first, where there is one.
    const qsizetype end = m_queue.faces.size() - m_passedOver.size();
    if (end > 1 && m_queue.faces.first().card == card) {
        for (qsizetype i = 1; i < end; ++i) {
            if (m_queue.faces.at(i).card != card) {
                m_queue.faces.move(i, 0);
                break;
            }
        }
    }
    Q_EMIT queueChanged();
}

DayReviews DueSession::reviewsToday() const
{
    if (!m_coordinator.dataFile())
        return {};
    return reviewsOfDay(*m_coordinator.preferences(), deckTitle(),
                        m_coordinator.studyDayClock().studyDay(m_coordinator.now()));
}

qsizetype DueSession::newFacesToday() const
{
    if (!m_coordinator.dataFile())
        return 0;
    return newFacesIntroduced(*m_coordinator.preferences(), deckTitle(),
                              m_coordinator.studyDayClock().studyDay(m_coordinator.now()));
}

void DueSession::refresh()
{
    rebuild(m_lastCard);
}

void DueSession::rebuild(std::optional<qsizetype> afterCard)
{
    m_lastCard = afterCard;
    m_settle.stop();
    if (inBackground()) {
        startBuild();
        return;
    }
    buildQueue();
    Q_EMIT queueChanged();
}

bool DueSession::inBackground() const
{
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    return deck && deck->cards.size() >= m_backgroundFrom;
}

void DueSession::startBuild()
{
    m_stale = false;
    m_changedMeanwhile.clear();
    m_building = true;
    m_buildAgain = false;
    if (m_build)
        m_build->stopped = true;
    const qsizetype newLimit = std::max<qsizetype>(
        m_coordinator.schedulerParameters().newFacesPerDay - newFacesToday(), 0);
    // The deck's lists are shared, not copied; the build lets go of them before a change.
    auto build = std::make_shared<Build>();
    build->deck = m_coordinator.dataFile();
    m_build = build;
    auto promise = std::make_shared<QPromise<DueQueue>>();
    promise->start();
    m_watcher.setFuture(promise->future());
    m_builds.start([promise, build, builder = m_builder, now = m_coordinator.now(),
                    clock = m_coordinator.studyDayClock(), newLimit, afterCard = m_lastCard] {
        {
            std::lock_guard lock(build->mutex);
            build->started = !build->stopped;
        }
        DueQueue queue;
        if (build->started)
            queue = builder(*build->deck, now, clock, newLimit, afterCard,
                            [&build] { return build->stopped.load(); });
        {
            // Let go under the lock, before the owner is told: if the window has moved on,
            // freeing the deck is this thread's work.
            std::lock_guard lock(build->mutex);
            build->deck.reset();
        }
        build->letGo.notify_all();
        // A build that was stopped has nothing to give.
        if (!build->stopped)
            promise->addResult(std::move(queue));
        promise->finish();
    });
}

void DueSession::onBuilt()
{
    const QFuture<DueQueue> future = m_watcher.future();
    if (!m_building || !future.isFinished() || future.resultCount() == 0)
        return;
    m_building = false;
    m_build.reset();
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    if (!deck)
        return;
    m_queue = future.result();
    m_watcher.setFuture(QFuture<DueQueue>());
    const QDateTime now = m_coordinator.now();
    const qsizetype newLimit = std::max<qsizetype>(
        m_coordinator.schedulerParameters().newFacesPerDay - newFacesToday(), 0);
    qsizetype passed = 0;
    for (qsizetype card : std::as_const(m_changedMeanwhile))
        updateDueQueue(m_queue, *deck, card, now, m_coordinator.studyDayClock(), newLimit, passed);
    m_changedMeanwhile.clear();
    keepPassedOverLast();
    wakeUpLater();
    Q_EMIT queueChanged();
}

void DueSession::keepPassedOverLast()
{
    // Faces passed over go last, in the order they were passed; one that is no longer waiting
    // (reviewed, or out of the deck) is forgotten.
    QList<QueuedFace> stillWaiting;
    for (const QueuedFace &face : std::as_const(m_passedOver)) {
        if (m_queue.faces.removeOne(face))
            stillWaiting.append(face);
    }
    m_passedOver = stillWaiting;
    m_queue.faces.append(stillWaiting);
}

void DueSession::wakeUpLater()
{
    // Wakes up when a face falls due and at the start of the next study day, which brings new
    // faces; at least hourly, so a clock changed meanwhile is noticed.
    const QDateTime now = m_coordinator.now();
    QDateTime wake = m_coordinator.studyDayClock().startOfNextDay(now);
    if (m_queue.nextDue)
        wake = std::min(wake, *m_queue.nextDue);
    const qint64 ms = std::clamp<qint64>(now.msecsTo(wake) + 500, 1000, 3600 * 1000);
    m_wakeUp.start(std::chrono::milliseconds(ms));
}

void DueSession::buildQueue()
{
    m_stale = false;
    m_wakeUp.stop();
    const std::optional<DataFile> &deck = m_coordinator.dataFile();
    if (!deck) {
        m_queue = {};
        m_passedOver.clear();
        return;
    }
    const QDateTime now = m_coordinator.now();
    const StudyDayClock &clock = m_coordinator.studyDayClock();
    const qsizetype newLimit = std::max<qsizetype>(
        m_coordinator.schedulerParameters().newFacesPerDay - newFacesToday(), 0);
    m_queue = buildDueQueue(*deck, now, clock, newLimit, m_lastCard);
    keepPassedOverLast();
    wakeUpLater();
}

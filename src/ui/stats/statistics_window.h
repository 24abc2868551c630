#pragma once

#include "core/schedule/scheduler.h"
#include "core/schedule/study_day.h"
#include "core/stats/deck_statistics.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QWidget>

#include <functional>
#include <optional>

class BarChart;
class CommandsCoordinator;
class HeatmapChart;
class QLabel;
class QListWidget;
class QThread;
class RetentionChart;

// The statistics of the open deck in a window of its own: what was studied, how well it is
// remembered and what is coming. The faces' figures come from the deck at once; the review
// history is read on a thread of its own, so the window opens without waiting for a long one.
// It follows the deck while the user studies: a changed card and each record appended to the
// deck's journal update the figures without reading the history again, and only the charts
// whose figures changed are painted again.
class StatisticsWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatisticsWindow)

public:
    using Clock = std::function<QDateTime()>;

    // The clock, the study day and the scheduler's settings are the coordinator's; they can be
    // given for tests.
    explicit StatisticsWindow(CommandsCoordinator *coordinator, QWidget *parent = nullptr);
    ~StatisticsWindow() override;
    void setClock(Clock now, const StudyDayClock &studyDay);
    void setSchedulerParameters(const SchedulerParameters &parameters);

    // Takes the deck's faces again and starts reading its whole journal again.
    void reload();
    // Takes in the records appended to the journal since it was last read.
    void refresh();

    const StatsFigures &figures() const { return m_figures; }
    // Whether the review history is still being read.
    bool isReadingHistory() const { return !m_workers.isEmpty(); }

Q_SIGNALS:
    // A face of the hardest list was chosen: its card should be shown for study.
    void faceActivated(qsizetype card, qsizetype face);
    // The review history was read and its figures shown.
    void historyRead();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct JournalFile
    {
        qint64 read = 0; // bytes taken in so far: the end of the last whole record
    };

    StudyDayClock studyDayClock() const;

    QString progressFilePath() const;
    void cardChanged(qsizetype card);
    void readHistory(const QString &path, const DataFile &deck);
    void takeHistory(JournalCounts counts, FaceSlots slots);
    // Shows what changed since the figures were last shown; everything when `all`.
    void showFigures(bool all = false);
    void showFaceCounts();
    void showHistograms();
    void showHardest();
    void watchJournals();

    CommandsCoordinator *m_coordinator;
    Clock m_now;
    std::optional<StudyDayClock> m_studyDay;         // the coordinator's when none
    std::optional<SchedulerParameters> m_parameters; // the coordinator's when none
    std::optional<DeckStatistics> m_statistics;
    QHash<QString, JournalFile> m_journals;
    QFileSystemWatcher m_watcher;
    QList<QThread *> m_workers;
    quint64 m_generation = 0;
    QString m_historyPath; // the progress file whose journals the counts are of
    bool m_clockChanged = false;
    bool m_stale = true;
    StatsFigures m_figures;

    QLabel *m_summary;
    HeatmapChart *m_heatmap;
    BarChart *m_forecast;
    RetentionChart *m_retention;
    BarChart *m_progress;
    BarChart *m_ratings;
    BarChart *m_stability;
    BarChart *m_difficulty;
    QListWidget *m_hardest;
};

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
class RetentionChart;

// The statistics of the open deck in a window of its own: what was studied, how well it is
// remembered and what is coming. It follows the deck while the user studies: a changed card and
// each record appended to the deck's journal update the figures without reading the history
// again.
class StatisticsWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatisticsWindow)

public:
    using Clock = std::function<QDateTime()>;

    // The clock, the study day and the scheduler's settings can be given for tests.
    explicit StatisticsWindow(CommandsCoordinator *coordinator, QWidget *parent = nullptr);
    void setClock(Clock now, const StudyDayClock &studyDay);
    void setSchedulerParameters(const SchedulerParameters &parameters);

    // Reads the deck's whole journal again.
    void reload();
    // Takes in the records appended to the journal since it was last read.
    void refresh();

    const StatsFigures &figures() const { return m_figures; }

Q_SIGNALS:
    // A face of the hardest list was chosen: its card should be shown for study.
    void faceActivated(qsizetype card, qsizetype face);

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct JournalFile
    {
        qint64 read = 0; // bytes taken in so far: the end of the last whole record
    };

    QString progressFilePath() const;
    void cardChanged(qsizetype card);
    void showFigures();
    void watchJournals();

    CommandsCoordinator *m_coordinator;
    Clock m_now;
    StudyDayClock m_studyDay;
    SchedulerParameters m_parameters;
    std::optional<DeckStatistics> m_statistics;
    QHash<QString, JournalFile> m_journals;
    QFileSystemWatcher m_watcher;
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

#include "ui/stats/statistics_window.h"

#include "core/app/commands_coordinator.h"
#include "core/store/review_journal.h"
#include "core/study/markup.h"
#include "ui/stats/bar_chart.h"
#include "ui/stats/heatmap_chart.h"
#include "ui/stats/retention_chart.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QScrollArea>
#include <QShortcut>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

QString percent(double share)
{
    return QLocale().toString(share * 100, 'f', 1) + u'\u00a0' + u'%';
}

// The face's first line, its hidden passages masked as in the card list, so that the list never
// gives an answer away. Only what can be shown is masked: a passage cut open runs to the end.
QString excerpt(const QString &text)
{
    const QString first = text.section(u'\n', 0, 0, QString::SectionSkipEmpty);
    QString line = maskedText(QStringView(first).left(200)).simplified();
    if (line.size() > 80)
        line = line.left(79) + u'…';
    return line;
}

QLabel *sectionTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The records of a journal file from `offset` on, and how far they reach.
JournalContents readJournalFrom(const QString &path, qint64 offset)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    JournalContents contents = parseJournal(file.readAll());
    contents.soundLength += offset;
    return contents;
}

} // namespace

StatisticsWindow::StatisticsWindow(CommandsCoordinator *coordinator, QWidget *parent)
    : QWidget(parent, Qt::Window), m_coordinator(coordinator),
      m_now([coordinator] { return coordinator->now(); })
{
    setObjectName(u"statisticsWindow"_qs);
    setWindowTitle(tr("Statistics"));
    resize(820, 720);

    auto *content = new QWidget;
    auto *grid = new QGridLayout(content);
    grid->setSpacing(10);
    m_summary = new QLabel(content);
    m_summary->setObjectName(u"summary"_qs);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_heatmap = new HeatmapChart(content);
    m_heatmap->setObjectName(u"heatmap"_qs);
    m_forecast = new BarChart(content);
    m_forecast->setObjectName(u"forecast"_qs);
    m_retention = new RetentionChart(content);
    m_retention->setObjectName(u"retention"_qs);
    m_progress = new BarChart(content);
    m_progress->setObjectName(u"progressCounts"_qs);
    m_ratings = new BarChart(content);
    m_ratings->setObjectName(u"ratingCounts"_qs);
    m_stability = new BarChart(content);
    m_stability->setObjectName(u"stability"_qs);
    m_difficulty = new BarChart(content);
    m_difficulty->setObjectName(u"difficulty"_qs);
    m_hardest = new QListWidget(content);
    m_hardest->setObjectName(u"hardestFaces"_qs);
    m_hardest->setAccessibleName(tr("Faces with the most lapses"));
    m_hardest->setMinimumHeight(120);

    int row = 0;
    grid->addWidget(m_summary, row++, 0, 1, 2);
    grid->addWidget(sectionTitle(tr("Reviews per day"), content), row++, 0, 1, 2);
    grid->addWidget(m_heatmap, row++, 0, 1, 2);
    grid->addWidget(sectionTitle(tr("Due in the next 30 days"), content), row, 0);
    grid->addWidget(sectionTitle(tr("True retention per month"), content), row++, 1);
    grid->addWidget(m_forecast, row, 0);
    grid->addWidget(m_retention, row++, 1);
    grid->addWidget(sectionTitle(tr("Faces by progress"), content), row, 0);
    grid->addWidget(sectionTitle(tr("Faces by rating"), content), row++, 1);
    grid->addWidget(m_progress, row, 0);
    grid->addWidget(m_ratings, row++, 1);
    grid->addWidget(sectionTitle(tr("Stability"), content), row, 0);
    grid->addWidget(sectionTitle(tr("Difficulty"), content), row++, 1);
    grid->addWidget(m_stability, row, 0);
    grid->addWidget(m_difficulty, row++, 1);
    grid->addWidget(sectionTitle(tr("Faces with the most lapses"), content), row++, 0, 1, 2);
    grid->addWidget(m_hardest, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    const auto activate = [this](QListWidgetItem *item) {
        Q_EMIT faceActivated(item->data(Qt::UserRole).toLongLong(),
                             item->data(Qt::UserRole + 1).toLongLong());
    };
    connect(m_hardest, &QListWidget::itemClicked, this, activate);
    connect(m_hardest, &QListWidget::itemActivated, this, activate);
    auto *close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    connect(m_coordinator, &CommandsCoordinator::dataFileChanged, this, [this] {
        m_stale = true;
        if (isVisible())
            reload();
    });
    connect(m_coordinator, &CommandsCoordinator::cardChanged, this, &StatisticsWindow::cardChanged);
    // The desired retention and the daily new faces are the user's, as the study view has them;
    // they change the faces' figures only, so the history is not read again.
    connect(m_coordinator, &CommandsCoordinator::schedulerParametersChanged, this, [this] {
        if (m_parameters || m_stale || !m_statistics)
            return;
        m_statistics->setParameters(m_coordinator->schedulerParameters());
        showFigures();
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        if (isVisible())
            refresh();
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (isVisible())
            refresh();
    });
}

StatisticsWindow::~StatisticsWindow()
{
    // A reading still under way finishes first: it holds nothing of the window.
    for (QThread *worker : std::as_const(m_workers)) {
        worker->wait();
        delete worker;
    }
}

void StatisticsWindow::setClock(Clock now, const StudyDayClock &studyDay)
{
    m_now = std::move(now);
    m_studyDay = studyDay;
    m_clockChanged = true;
    m_stale = true;
}

void StatisticsWindow::setSchedulerParameters(const SchedulerParameters &parameters)
{
    m_parameters = parameters;
    m_stale = true;
}

StudyDayClock StatisticsWindow::studyDayClock() const
{
    return m_studyDay.value_or(m_coordinator->studyDayClock());
}

QString StatisticsWindow::progressFilePath() const
{
    return m_coordinator->progressFilePath().value_or(QString());
}

void StatisticsWindow::reload()
{
    m_stale = false;
    const std::optional<DataFile> &deck = m_coordinator->dataFile();
    const QString path = progressFilePath();
    setWindowTitle(deck ? tr("Statistics of %1").arg(deck->title) : tr("Statistics"));

    // The faces at once; the history of the same deck stays on show until it is read again.
    const SchedulerParameters parameters =
        m_parameters.value_or(m_coordinator->schedulerParameters());
    const StudyDayClock clock = studyDayClock();
    if (m_statistics && path == m_historyPath && !m_clockChanged) {
        m_statistics->setParameters(parameters);
        m_statistics->setNow(m_now());
    } else {
        m_statistics.emplace(parameters, clock, m_now());
        m_journals.clear();
        m_historyPath = path;
        m_clockChanged = false;
    }
    m_statistics->setDeck(deck.value_or(DataFile()));
    readHistory(path, deck.value_or(DataFile()));
    showFigures(true);
}

void StatisticsWindow::readHistory(const QString &path, const DataFile &deck)
{
    struct Result
    {
        JournalCounts counts;
        FaceSlots slots;
    };
    auto result = std::make_shared<Result>();
    const StudyDayClock clock = studyDayClock();
    QThread *worker = QThread::create([result, path, clock, deck] {
        result->counts = countDeckReviews(path, clock);
        result->slots = faceSlotsByDigest(deck);
    });
    const quint64 generation = ++m_generation;
    m_workers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker, result, generation] {
        m_workers.removeOne(worker);
        worker->deleteLater();
        // A reading overtaken by a newer one is dropped.
        if (generation == m_generation)
            takeHistory(std::move(result->counts), std::move(result->slots));
    });
    worker->start(QThread::LowPriority);
}

void StatisticsWindow::takeHistory(JournalCounts counts, FaceSlots slots)
{
    m_statistics->setCounts(std::move(counts.counts), std::move(slots));
    m_journals.clear();
    for (auto it = counts.readUpTo.cbegin(); it != counts.readUpTo.cend(); ++it)
        m_journals.insert(it.key(), {it.value()});
    watchJournals();
    // What was appended while it was read.
    refresh();
    showFigures();
    Q_EMIT historyRead();
}

void StatisticsWindow::watchJournals()
{
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    const QString path = progressFilePath();
    if (path.isEmpty())
        return;
    // The folder tells of a journal that another machine's copy brings in.
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir())
        m_watcher.addPath(folder);
    for (auto it = m_journals.cbegin(); it != m_journals.cend(); ++it)
        m_watcher.addPath(it.key());
}

void StatisticsWindow::refresh()
{
    if (m_stale || !m_statistics) {
        reload();
        return;
    }
    // The history being read takes in what was appended meanwhile when it is done.
    if (isReadingHistory())
        return;
    const QString path = progressFilePath();
    const QStringList paths = path.isEmpty() ? QStringList() : deckJournalPaths(path);
    bool changed = false;
    for (const QString &journal : paths) {
        const auto known = m_journals.find(journal);
        const qint64 size = QFileInfo(journal).size();
        // A journal that is new, or that was cut back, is read again with all the others.
        if (known == m_journals.end() || size < known->read) {
            reload();
            return;
        }
        if (size == known->read)
            continue;
        const JournalContents contents = readJournalFrom(journal, known->read);
        for (const JournalRecord &record : contents.records)
            m_statistics->addRecord(record);
        changed = changed || !contents.records.isEmpty();
        known->read = contents.soundLength;
    }
    // A new study day moves every figure on.
    if (studyDayClock().studyDay(m_now()) != m_figures.today) {
        m_statistics->setNow(m_now());
        changed = true;
    }
    if (changed)
        showFigures();
}

void StatisticsWindow::cardChanged(qsizetype card)
{
    // A hidden window takes the deck again when it is shown.
    if (!isVisible())
        m_stale = true;
    if (m_stale || !m_statistics)
        return;
    const std::optional<DataFile> &deck = m_coordinator->dataFile();
    if (deck && card >= 0 && card < deck->cards.size())
        m_statistics->updateCard(card, deck->cards[card]);
    // The journal record of the change follows through the watcher.
    if (studyDayClock().studyDay(m_now()) != m_figures.today)
        m_statistics->setNow(m_now());
    showFigures();
}

void StatisticsWindow::showEvent(QShowEvent *event)
{
    if (m_stale)
        reload();
    else
        refresh();
    QWidget::showEvent(event);
}

void StatisticsWindow::showFigures(bool all)
{
    const StatsFigures old = std::exchange(m_figures, m_statistics->figures());
    const StatsFigures &f = m_figures;
    const QLocale locale;

    QStringList lines;
    lines.append(tr("Current streak (days): %1 · longest: %2 · reviews in all: %3")
                     .arg(f.currentStreak)
                     .arg(f.longestStreak)
                     .arg(f.totalReviews));
    lines.append(tr("Today: %1 due, %2 learning, %3 new")
                     .arg(f.dueToday)
                     .arg(f.learningToday)
                     .arg(f.newToday));
    lines.append(f.averageRetention
                     ? tr("Predicted retention now: %1 (desired %2)")
                           .arg(percent(*f.averageRetention), percent(f.desiredRetention))
                     : tr("Predicted retention now: no face learnt yet (desired %1)")
                           .arg(percent(f.desiredRetention)));
    if (isReadingHistory())
        lines.append(tr("Reading the review history…"));
    const QString summary = lines.join(u'\n');
    if (summary != m_summary->text())
        m_summary->setText(summary);

    m_heatmap->setDays(f.today, f.reviewsPerDay, f.correctPerDay);

    // The charts below are told only of figures that changed: one review changes few.
    if (all || f.today != old.today || f.forecast != old.forecast) {
        QStringList days;
        for (int day = 0; day < forecastDays; ++day)
            days.append(day == 0   ? tr("Today")
                        : day == 1 ? tr("Tomorrow")
                                   : locale.toString(f.today.addDays(day), u"d MMM"_qs));
        m_forecast->setBars(tr("Faces due per day for the next 30 days"), f.forecast, days, 0);
    }
    m_retention->setMonths(f.retention, f.desiredRetention);

    if (all || f.facesPerProgress != old.facesPerProgress || f.facesPerRating != old.facesPerRating)
        showFaceCounts();
    if (all || f.stabilityHistogram != old.stabilityHistogram ||
        f.difficultyHistogram != old.difficultyHistogram)
        showHistograms();
    if (all || f.hardest != old.hardest)
        showHardest();
}

void StatisticsWindow::showFaceCounts()
{
    const StatsFigures &f = m_figures;
    const QStringList progressNames = {tr("New"), tr("Learning"), tr("Mastered"), tr("Archived"),
                                       tr("Abandoned")};
    m_progress->setBars(tr("Faces by progress"),
                        QList<int>(f.facesPerProgress.cbegin(), f.facesPerProgress.cend()),
                        progressNames);
    QStringList dots;
    for (int rating = 0; rating <= 3; ++rating)
        dots.append(QString::number(rating));
    m_ratings->setBars(tr("Faces by rating, in dots"),
                       QList<int>(f.facesPerRating.cbegin(), f.facesPerRating.cend()), dots);
}

void StatisticsWindow::showHistograms()
{
    const StatsFigures &f = m_figures;
    QStringList stabilityLabels;
    for (int bin = 0; bin < stabilityBinCount; ++bin) {
        if (bin == 0)
            stabilityLabels.append(tr("< %1 d").arg(stabilityBinEdges[0]));
        else if (bin == stabilityBinCount - 1)
            stabilityLabels.append(tr("≥ %1 d").arg(stabilityBinEdges[std::size_t(bin - 1)]));
        else
            stabilityLabels.append(tr("%1–%2 d")
                                       .arg(stabilityBinEdges[std::size_t(bin - 1)])
                                       .arg(stabilityBinEdges[std::size_t(bin)]));
    }
    m_stability->setBars(tr("Faces by stability"), f.stabilityHistogram, stabilityLabels);
    QStringList difficultyLabels;
    for (int bin = 0; bin < difficultyBinCount; ++bin)
        difficultyLabels.append(QString::number(bin + 1));
    m_difficulty->setBars(tr("Faces by difficulty, from 1 (easy) to 10 (hard)"),
                          f.difficultyHistogram, difficultyLabels);
}

void StatisticsWindow::showHardest()
{
    const StatsFigures &f = m_figures;
    m_hardest->clear();
    const std::optional<DataFile> &deck = m_coordinator->dataFile();
    for (const HardFace &hard : f.hardest) {
        QString text;
        if (deck && hard.card < deck->cards.size() &&
            hard.face < deck->cards[hard.card].faces.size())
            text = excerpt(deck->cards[hard.card].faces[hard.face].text.toString());
        auto *item = new QListWidgetItem(
            tr("Lapses: %1 · card %2: %3")
                .arg(QString::number(hard.lapses), QString::number(hard.card), text),
            m_hardest);
        item->setData(Qt::UserRole, qlonglong(hard.card));
        item->setData(Qt::UserRole + 1, qlonglong(hard.face));
        item->setToolTip(tr("Show this card for study"));
    }
    if (f.hardest.isEmpty())
        m_hardest->addItem(tr("No face has lapsed yet."));
}

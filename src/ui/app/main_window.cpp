#include "ui/app/main_window.h"

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/app/content_view.h"
#include "ui/app/help_dialogs.h"
#include "ui/app/message_view.h"
#include "ui/app/preferences_dialog.h"
#include "ui/app/start_view.h"
#include "ui/browser/file_drop_handler.h"
#include "ui/browser/sidebar.h"
#include "ui/stats/statistics_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>

MainWindow::MainWindow(CommandsCoordinator &coordinator, RecentFiles &recentFiles, QWidget *parent)
    : QMainWindow(parent), m_coordinator(coordinator), m_recentFiles(recentFiles),
      m_chooseFile([&coordinator, &recentFiles](QWidget *parent) {
          return runOpenDialog(parent, openDialogFolder(coordinator, recentFiles));
      }),
      m_dropHandler(new FileDropHandler(coordinator, this)), m_stack(new QStackedWidget(this)),
      m_startView(new StartView(recentFiles, StartView::findExampleDeck(), m_stack)),
      m_contentView(new ContentView(coordinator, recentFiles, m_stack)),
      m_invalidFileView(new MessageView(tr("Invalid file. Try another."), m_stack)),
      m_loadingView(new MessageView(tr("Reading the deck…"), m_stack))
{
    // Tests and tools find the views and actions by these names.
    m_stack->setObjectName(QStringLiteral("views"));
    m_startView->setObjectName(QStringLiteral("startView"));
    m_contentView->setObjectName(QStringLiteral("contentView"));
    m_invalidFileView->setObjectName(QStringLiteral("invalidFileView"));
    m_loadingView->setObjectName(QStringLiteral("loadingView"));
    m_stack->addWidget(m_startView);
    m_stack->addWidget(m_contentView);
    m_stack->addWidget(m_invalidFileView);
    m_stack->addWidget(m_loadingView);
    m_dropHandler->attach(m_loadingView);
    m_stack->setMinimumSize(minimumContentSize);
    setCentralWidget(m_stack);
    m_dropHandler->attach(m_startView);
    m_dropHandler->attach(m_invalidFileView);
    connect(m_startView, &StartView::openRequested, this, &MainWindow::openFile);
    connect(m_startView, &StartView::openFileRequested, this,
            [this](const QUrl &file) { m_coordinator.open(file); });

    createMenus();
    resize(960, 640);

    if (!m_coordinator.startNotice().isEmpty())
        statusBar()->showMessage(m_coordinator.startNotice());

    // Said in passing, never in a dialog: nothing is wrong, and the user may be mid-edit.
    connect(&m_coordinator, &CommandsCoordinator::progressNotice, this,
            [this](const QString &text) { statusBar()->showMessage(text, 15000); });
    // Stays in sight, without a dialog, for as long as saves fail.
    m_saveProblem = new QLabel(this);
    m_saveProblem->setObjectName(QStringLiteral("saveProblem"));
    m_saveProblem->setWordWrap(true);
    statusBar()->addPermanentWidget(m_saveProblem, 1);
    connect(&m_coordinator, &CommandsCoordinator::saveProblemChanged, this,
            &MainWindow::showSaveProblem);
    showSaveProblem();
    // A big deck is read in the background; the window stays usable and shows how far it got.
    m_loadProgress = new QProgressBar(this);
    m_loadProgress->setObjectName(QStringLiteral("loadProgress"));
    m_loadProgress->setRange(0, 1000);
    m_loadProgress->setTextVisible(false);
    m_loadProgress->setMaximumWidth(200);
    statusBar()->addPermanentWidget(m_loadProgress);
    connect(&m_coordinator, &CommandsCoordinator::loadingChanged, this,
            &MainWindow::showLoadProgress);
    connect(&m_coordinator, &CommandsCoordinator::loadProgressChanged, this,
            &MainWindow::showLoadProgress);
    showLoadProgress();
    connect(&m_coordinator, &CommandsCoordinator::stateChanged, this, &MainWindow::showState);
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, &MainWindow::updateTitle);
    showState();
}

void MainWindow::showSaveProblem()
{
    const QString problem = m_coordinator.saveProblem();
    m_saveProblem->setText(
        problem.isEmpty()
            ? QString()
            : tr("Progress is not being saved: %1 Memoranth keeps trying.").arg(problem));
    m_saveProblem->setVisible(!problem.isEmpty());
}

bool MainWindow::mayLeaveUnsavedProgress(const QString &leave)
{
    while (m_coordinator.hasUnsavedProgress()) {
        QMessageBox box(QMessageBox::Warning, tr("Progress not saved"),
                        tr("Some progress could not be saved: %1").arg(m_coordinator.saveProblem()),
                        QMessageBox::NoButton, this);
        box.setInformativeText(tr("It is lost if you go on without saving it."));
        QPushButton *retry = box.addButton(tr("Retry"), QMessageBox::AcceptRole);
        QPushButton *elsewhere = box.addButton(tr("Save Elsewhere..."), QMessageBox::ActionRole);
        QPushButton *anyway = box.addButton(leave, QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(retry);
        box.exec();
        if (box.clickedButton() == anyway)
            return true;
        if (box.clickedButton() == retry) {
            m_coordinator.retrySaves();
        } else if (box.clickedButton() == elsewhere) {
            const QString path = QFileDialog::getSaveFileName(
                this, tr("Save Progress Elsewhere"),
                QDir::home().filePath(m_coordinator.dataFile() ? m_coordinator.dataFile()->title +
                                                                     QStringLiteral(".plist")
                                                               : QStringLiteral("progress.plist")));
            if (path.isEmpty())
                continue;
            QString error;
            if (m_coordinator.saveProgressCopy(path, &error))
                return true;
            QMessageBox::warning(this, tr("Progress not saved"), error);
        } else {
            return false;
        }
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Another window over the same coordinator keeps the progress.
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool last = std::none_of(windows.cbegin(), windows.cend(), [this](QWidget *window) {
        return window != this && qobject_cast<MainWindow *>(window) && window->isVisible();
    });
    if (last && !mayLeaveUnsavedProgress(tr("Quit Anyway"))) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

MainWindow::~MainWindow() = default;

void MainWindow::createMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));

    m_newWindowAction = file->addAction(tr("New Window"));

    m_newWindowAction->setObjectName(QStringLiteral("newWindowAction"));
    m_newWindowAction->setShortcut(QKeySequence::New);
    connect(m_newWindowAction, &QAction::triggered, this, [this] { openNewWindow(); });

    // Where a new-document command would stand.
    m_openAction = file->addAction(tr("Open..."));
    m_openAction->setObjectName(QStringLiteral("openAction"));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, this, &MainWindow::openFile);

    m_openRecentMenu = file->addMenu(tr("Open Recent"));

    m_openRecentMenu->setObjectName(QStringLiteral("openRecentMenu"));
    connect(&m_recentFiles, &RecentFiles::filesChanged, this, &MainWindow::rebuildOpenRecentMenu);
    rebuildOpenRecentMenu();

    // Ends studying: the window goes back to the start view.
    m_closeAction = file->addAction(tr("Close"));
    m_closeAction->setObjectName(QStringLiteral("closeAction"));
    m_closeAction->setShortcuts(QKeySequence::Close);
    connect(m_closeAction, &QAction::triggered, this, [this] {
        if (mayLeaveUnsavedProgress(tr("Close Anyway")))
            m_coordinator.open(std::nullopt);
    });

    file->addSeparator();
    m_quitAction = file->addAction(tr("Quit"));
    m_quitAction->setObjectName(QStringLiteral("quitAction"));
    m_quitAction->setShortcut(QKeySequence::Quit);
    m_quitAction->setMenuRole(QAction::QuitRole);
    // Closing every window ends the event loop; main() then waits for pending saves.
    connect(m_quitAction, &QAction::triggered, qApp, &QApplication::closeAllWindows,
            Qt::QueuedConnection);

    // Undo and redo take back review changes (marks and progress states) one at a time.
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    m_undoAction = edit->addAction(tr("Undo"));
    m_undoAction->setObjectName(QStringLiteral("undoAction"));
    m_undoAction->setShortcuts(QKeySequence::Undo);
    connect(m_undoAction, &QAction::triggered, this, [this] { m_coordinator.undo(); });
    m_redoAction = edit->addAction(tr("Redo"));
    m_redoAction->setObjectName(QStringLiteral("redoAction"));
    m_redoAction->setShortcuts(QKeySequence::Redo);
    connect(m_redoAction, &QAction::triggered, this, [this] { m_coordinator.redo(); });
    const auto updateHistory = [this] {
        m_undoAction->setEnabled(m_coordinator.canUndo());
        m_redoAction->setEnabled(m_coordinator.canRedo());
    };
    connect(&m_coordinator, &CommandsCoordinator::historyChanged, this, updateHistory);
    updateHistory();

    edit->addSeparator();
    QAction *preferences = edit->addAction(tr("Preferences..."));
    preferences->setObjectName(QStringLiteral("preferencesAction"));
    // Ctrl+, as most desktop applications have it; Qt names no such key on Linux.
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, [this] {
        auto *dialog = new PreferencesDialog(m_coordinator, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });

    QMenu *view = menuBar()->addMenu(tr("&View"));
    m_statisticsAction = view->addAction(tr("Statistics"));
    m_statisticsAction->setObjectName(u"statisticsAction"_qs);
    m_statisticsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(m_statisticsAction, &QAction::triggered, this, &MainWindow::showStatistics);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    m_keyboardShortcutsAction = help->addAction(tr("Keyboard Shortcuts"));
    m_keyboardShortcutsAction->setObjectName(QStringLiteral("keyboardShortcutsAction"));
    connect(m_keyboardShortcutsAction, &QAction::triggered, this,
            [this] { makeKeyboardShortcutsDialog(this)->show(); });
    m_aboutAction = help->addAction(tr("About Memoranth"));
    m_aboutAction->setObjectName(QStringLiteral("aboutAction"));
    m_aboutAction->setMenuRole(QAction::AboutRole);
    connect(m_aboutAction, &QAction::triggered, this, [this] { showAboutMemoranth(this); });
}

void MainWindow::rebuildOpenRecentMenu()
{
    m_openRecentMenu->clear();
    const QList<QUrl> &files = m_recentFiles.files();
    const QStringList labels = StartView::recentFileLabels(files);
    for (qsizetype i = 0; i < files.size(); ++i) {
        // Titles are shown verbatim: an ampersand in one is no mnemonic.
        QString label = labels[i].isEmpty() ? files[i].fileName() : labels[i];
        label.replace(u'&', QStringLiteral("&&"));
        QAction *action = m_openRecentMenu->addAction(label);
        action->setToolTip(files[i].toLocalFile());
        const QUrl file = files[i];
        connect(
            action, &QAction::triggered, this, [this, file] { m_coordinator.open(file); },
            Qt::QueuedConnection);
    }
    m_openRecentMenu->addSeparator();
    QAction *clear = m_openRecentMenu->addAction(tr("Clear Menu"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, &m_recentFiles, &RecentFiles::clear, Qt::QueuedConnection);
    m_openRecentMenu->setEnabled(!files.isEmpty());
}

void MainWindow::showStatistics()
{
    // One statistics window for each main window, kept while it lives so that it reopens at
    // once; it follows the deck while the user studies here.
    if (!m_statisticsWindow) {
        m_statisticsWindow = new StatisticsWindow(&m_coordinator, this);
        connect(m_statisticsWindow, &StatisticsWindow::faceActivated, this,
                [this](qsizetype card, qsizetype) {
                    m_contentView->setSelectedCardIndex(card);
                    raise();
                    activateWindow();
                });
    }
    m_statisticsWindow->show();
    m_statisticsWindow->raise();
    m_statisticsWindow->activateWindow();
}

void MainWindow::setFileChooser(FileChooser chooser)
{
    m_chooseFile = std::move(chooser);
}

void MainWindow::configureOpenDialog(QFileDialog &dialog, const QString &folder)
{
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any file may be a deck; the usual ones are offered first.
    dialog.setNameFilters({tr("Flashcard files (*.txt *.cards *.md)"), tr("All files (*)")});
    dialog.setDirectory(folder);
}

QString MainWindow::openDialogFolder(const CommandsCoordinator &coordinator,
                                     const RecentFiles &recentFiles)
{
    QList<QUrl> candidates = recentFiles.files();
    if (!coordinator.activeFile().isEmpty())
        candidates.prepend(coordinator.activeFile());
    for (const QUrl &file : std::as_const(candidates)) {
        if (!file.isLocalFile())
            continue;
        const QFileInfo info(file.toLocalFile());
        if (info.dir().exists())
            return info.absolutePath();
    }
    return QDir::homePath();
}

std::optional<QUrl> MainWindow::runOpenDialog(QWidget *parent, const QString &folder)
{
    QFileDialog dialog(parent, tr("Open"));
    configureOpenDialog(dialog, folder);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QList<QUrl> chosen = dialog.selectedUrls();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first();
}

void MainWindow::openFile()
{
    if (!m_chooseFile)
        return;
    const std::optional<QUrl> file = m_chooseFile(this);
    if (file && !file->isEmpty())
        m_coordinator.open(*file);
}

void MainWindow::showLoadProgress()
{
    m_loadProgress->setValue(int(m_coordinator.loadProgress() * 1000));
    m_loadProgress->setToolTip(
        tr("Reading the deck: %1 %").arg(int(m_coordinator.loadProgress() * 100)));
    m_loadProgress->setVisible(m_coordinator.isLoading());
}

MainWindow *MainWindow::openNewWindow()
{
    auto *window = new MainWindow(m_coordinator, m_recentFiles);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFileChooser(m_chooseFile);
    window->show();
    return window;
}

void MainWindow::showState()
{
    QWidget *view = m_startView;
    switch (m_coordinator.state()) {
    case CommandsCoordinator::State::NoFile:
        view = m_startView;
        break;
    case CommandsCoordinator::State::DeckOpen:
        view = m_contentView;
        break;
    case CommandsCoordinator::State::UnreadableFile:
        view = m_invalidFileView;
        break;
    case CommandsCoordinator::State::Loading:
        view = m_loadingView;
        break;
    }
    // Coming back to the deck browser from another view starts a fresh browsing session.
    if (view == m_contentView && m_stack->currentWidget() != m_contentView)
        m_contentView->setSelectedCardIndex(0);
    const bool entering = view == m_contentView && m_stack->currentWidget() != m_contentView;
    m_stack->setCurrentWidget(view);
    // The keyboard starts on the card list, whose keys are harmless, never on a button that a
    // modified Space would press.
    if (entering)
        m_contentView->sidebar()->cardList()->setFocus(Qt::OtherFocusReason);
    m_closeAction->setEnabled(m_coordinator.state() != CommandsCoordinator::State::NoFile);
    updateTitle();
}

void MainWindow::updateTitle()
{
    const auto &deck = m_coordinator.dataFile();
    setWindowTitle(deck && !deck->title.isEmpty() ? deck->title : QStringLiteral("Memoranth"));
}

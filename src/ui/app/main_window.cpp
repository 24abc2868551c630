#include "ui/app/main_window.h"

#include "core/app/commands_coordinator.h"
#include "ui/app/content_view.h"
#include "ui/app/help_dialogs.h"
#include "ui/app/message_view.h"
#include "ui/browser/file_drop_handler.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>

MainWindow::MainWindow(CommandsCoordinator &coordinator, RecentFiles &recentFiles, QWidget *parent)
    : QMainWindow(parent), m_coordinator(coordinator), m_recentFiles(recentFiles),
      m_chooseFile(runOpenDialog), m_dropHandler(new FileDropHandler(coordinator, this)),
      m_stack(new QStackedWidget(this)),
      m_startView(new MessageView(tr("Open a flashcard file."), m_stack)),
      m_contentView(new ContentView(coordinator, recentFiles, m_stack)),
      m_invalidFileView(new MessageView(tr("Invalid file. Try another."), m_stack))
{
    m_stack->addWidget(m_startView);
    m_stack->addWidget(m_contentView);
    m_stack->addWidget(m_invalidFileView);
    m_stack->setMinimumSize(minimumContentSize);
    setCentralWidget(m_stack);
    m_dropHandler->attach(m_startView);
    m_dropHandler->attach(m_invalidFileView);

    createMenus();
    resize(960, 640);

    if (!m_coordinator.startNotice().isEmpty())
        statusBar()->showMessage(m_coordinator.startNotice());

    connect(&m_coordinator, &CommandsCoordinator::stateChanged, this, &MainWindow::showState);
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, &MainWindow::updateTitle);
    showState();
}

MainWindow::~MainWindow() = default;

void MainWindow::createMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));

    m_newWindowAction = file->addAction(tr("New Window"));
    m_newWindowAction->setShortcut(QKeySequence::New);
    connect(m_newWindowAction, &QAction::triggered, this, [this] { openNewWindow(); });

    // Where a new-document command would stand.
    m_openAction = file->addAction(tr("Open..."));
    m_openAction->setShortcut(QKeySequence::Open);
    connect(m_openAction, &QAction::triggered, this, &MainWindow::openFile);

    file->addSeparator();
    m_quitAction = file->addAction(tr("Quit"));
    m_quitAction->setShortcut(QKeySequence::Quit);
    m_quitAction->setMenuRole(QAction::QuitRole);
    // Closing every window ends the event loop; main() then waits for pending saves.
    connect(m_quitAction, &QAction::triggered, qApp, &QApplication::closeAllWindows,
            Qt::QueuedConnection);

    // Undo and redo take back review changes (marks and progress states) one at a time.
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    m_undoAction = edit->addAction(tr("Undo"));
    m_undoAction->setShortcuts(QKeySequence::Undo);
    connect(m_undoAction, &QAction::triggered, this, [this] { m_coordinator.undo(); });
    m_redoAction = edit->addAction(tr("Redo"));
    m_redoAction->setShortcuts(QKeySequence::Redo);
    connect(m_redoAction, &QAction::triggered, this, [this] { m_coordinator.redo(); });
    const auto updateHistory = [this] {
        m_undoAction->setEnabled(m_coordinator.canUndo());
        m_redoAction->setEnabled(m_coordinator.canRedo());
    };
    connect(&m_coordinator, &CommandsCoordinator::historyChanged, this, updateHistory);
    updateHistory();

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    m_keyboardShortcutsAction = help->addAction(tr("Keyboard Shortcuts"));
    connect(m_keyboardShortcutsAction, &QAction::triggered, this,
            [this] { makeKeyboardShortcutsDialog(this)->show(); });
    m_aboutAction = help->addAction(tr("About Memoranth"));
    m_aboutAction->setMenuRole(QAction::AboutRole);
    connect(m_aboutAction, &QAction::triggered, this, [this] { showAboutMemoranth(this); });
}

void MainWindow::setFileChooser(FileChooser chooser)
{
    m_chooseFile = std::move(chooser);
}

void MainWindow::configureOpenDialog(QFileDialog &dialog)
{
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QString());
}

std::optional<QUrl> MainWindow::runOpenDialog(QWidget *parent)
{
    QFileDialog dialog(parent, tr("Open"));
    configureOpenDialog(dialog);
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

MainWindow *MainWindow::openNewWindow()
{
    auto *window = new MainWindow(m_coordinator, m_recentFiles);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFileChooser(m_chooseFile);
    window->show();
    return window;
}

QWidget *MainWindow::currentView() const
{
    return m_stack->currentWidget();
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
    }
    // Coming back to the deck browser from another view starts a fresh browsing session.
    if (view == m_contentView && m_stack->currentWidget() != m_contentView)
        m_contentView->setSelectedCardIndex(0);
    m_stack->setCurrentWidget(view);
    updateTitle();
}

void MainWindow::updateTitle()
{
    const auto &deck = m_coordinator.dataFile();
    setWindowTitle(deck && !deck->title.isEmpty() ? deck->title : QStringLiteral("Memoranth"));
}

#pragma once

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <optional>

class CommandsCoordinator;
class ContentView;
class StatisticsWindow;
class FileDropHandler;
class MessageView;
class QProgressBar;
class QMenu;
class StartView;
class QFileDialog;
class QLabel;
class QStackedWidget;
class RecentFiles;

// A window over the shared coordinator: the start text, the deck browser or the message for an
// unreadable file, whichever the coordinator's state calls for, and the File menu.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    static constexpr QSize minimumContentSize{600, 400};

    // Asks the user for a file to open; nothing when cancelled.
    using FileChooser = std::function<std::optional<QUrl>(QWidget *parent)>;

    MainWindow(CommandsCoordinator &coordinator, RecentFiles &recentFiles,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Replaces the open dialog (for tests); windows opened from this one inherit it.
    void setFileChooser(FileChooser chooser);
    // The standard open dialog: one existing file, no folders, flashcard files offered first
    // and any file on request; it starts in `folder`.
    static std::optional<QUrl> runOpenDialog(QWidget *parent, const QString &folder);
    static void configureOpenDialog(QFileDialog &dialog, const QString &folder);
    // Where the open dialog starts: the folder of the open file or else of the most recent
    // one, else the home folder.
    static QString openDialogFolder(const CommandsCoordinator &coordinator,
                                    const RecentFiles &recentFiles);

    // The "Open..." command: asks for a file and opens it; a cancelled choice changes nothing.
    void openFile();
    // Shows the statistics of the open deck in their own window (View > Statistics).
    void showStatistics();
    // The "New Window" command: another window over the same coordinator, deleted when closed.
    MainWindow *openNewWindow();

protected:
    // The last window asks before it lets progress held only in memory go.
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void showSaveProblem();
    void showLoadProgress();
    // When progress is held only in memory, asks whether to retry the save, save a copy
    // elsewhere, or go on anyway (leave: the button's text); whether to go on.
    bool mayLeaveUnsavedProgress(const QString &leave);
    void rebuildOpenRecentMenu();
    void showState();
    void updateTitle();

    CommandsCoordinator &m_coordinator;
    RecentFiles &m_recentFiles;
    FileChooser m_chooseFile;
    FileDropHandler *m_dropHandler;
    QStackedWidget *m_stack;
    StartView *m_startView;
    ContentView *m_contentView;
    MessageView *m_invalidFileView;
    MessageView *m_loadingView;
    QAction *m_newWindowAction = nullptr;
    QAction *m_openAction = nullptr;
    QMenu *m_openRecentMenu = nullptr;
    QAction *m_closeAction = nullptr;
    QAction *m_quitAction = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    QAction *m_keyboardShortcutsAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_statisticsAction = nullptr;
    QLabel *m_saveProblem = nullptr;
    QProgressBar *m_loadProgress = nullptr;
    StatisticsWindow *m_statisticsWindow = nullptr;
};

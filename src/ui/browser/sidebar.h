#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class CardListModel;
class CommandsCoordinator;
class DropZone;
class FileDropHandler;
class FileHeaderView;
class QLabel;
class QLineEdit;
class QListView;
class RecentFiles;
class RecentFilesView;

// The sidebar column of the deck browser: the file header, the card list, the recent files and
// the drop zone. The whole column takes dropped files.
class Sidebar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sidebar)

public:
    using FileRevealer = std::function<void(const QUrl &)>;

    Sidebar(CommandsCoordinator &coordinator, RecentFiles &recentFiles, QWidget *parent = nullptr);

    FileHeaderView *header() const { return m_header; }
    QListView *cardList() const { return m_cardList; }
    CardListModel *cardModel() const { return m_cardModel; }
    FileDropHandler *dropHandler() const { return m_dropHandler; }

    // Puts the study-mode switch under the file header.
    void setStudyModeSwitch(QWidget *modeSwitch);

    // What "Show in File Manager" does; the desktop's file manager unless replaced.
    void setFileRevealer(FileRevealer revealer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateTitle();
    void updateFilterCount();
    void focusFilter();

    CommandsCoordinator &m_coordinator;
    RecentFiles &m_recentFiles;
    FileHeaderView *m_header;
    CardListModel *m_cardModel;
    QLineEdit *m_cardFilter;
    QLabel *m_filterCount;
    QListView *m_cardList;
    RecentFilesView *m_recentFilesView;
    DropZone *m_dropZone;
    FileDropHandler *m_dropHandler;
    FileRevealer m_revealer;
};

#pragma once

#include <QListView>
#include <QUrl>

class RecentFiles;
class RecentFileRow;
class RecentFilesModel;

// The recent files list: one RecentFileRow per file of the store, at most 120 pixels high.
class RecentFilesView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentFilesView)

public:
    static constexpr int maximumListHeight = 120;

    explicit RecentFilesView(RecentFiles &recentFiles, QWidget *parent = nullptr);

    RecentFileRow *row(int index) const;

    // As high as its rows, up to the maximum.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Handed on from the rows, always after the row's own event has finished, since acting on
    // them changes the list and so replaces the row.
    void openRequested(const QUrl &file);
    void revealRequested(const QUrl &file);
    void removeRequested(const QUrl &file);

private:
    void rebuildRows();

    RecentFilesModel *m_model;
};

#pragma once

#include <QAbstractListModel>
#include <QUrl>

class RecentFiles;

// The recent files store's list as rows: each row is one file, titled by its deck title.
class RecentFilesModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentFilesModel)

public:
    enum Role {
        UrlRole = Qt::UserRole + 1, // QUrl: the file
    };

    explicit RecentFilesModel(RecentFiles &recentFiles, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    RecentFiles &m_recentFiles;
    int m_rowCount = 0;
};

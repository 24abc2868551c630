#include "core/app/recent_files_model.h"

#include "core/app/recent_files.h"
#include "core/model/deck_title.h"

RecentFilesModel::RecentFilesModel(RecentFiles &recentFiles, QObject *parent)
    : QAbstractListModel(parent), m_recentFiles(recentFiles),
      m_rowCount(int(recentFiles.files().size()))
{
    // The store announces only that its list changed, so the rows are laid out anew.
    connect(&m_recentFiles, &RecentFiles::filesChanged, this, [this] {
        beginResetModel();
        m_rowCount = int(m_recentFiles.files().size());
        endResetModel();
    });
}

int RecentFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

QVariant RecentFilesModel::data(const QModelIndex &index, int role) const
{
    const QList<QUrl> &files = m_recentFiles.files();
    if (!index.isValid() || index.parent().isValid() || index.row() >= files.size())
        return {};
    const QUrl &file = files.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return deckTitle(file);
    case Qt::ToolTipRole:
        return file.isLocalFile() ? file.toLocalFile() : file.toDisplayString();
    case UrlRole:
        return file;
    default:
        return {};
    }
}

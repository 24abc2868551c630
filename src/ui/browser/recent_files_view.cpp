#include "ui/browser/recent_files_view.h"

#include "core/app/recent_files_model.h"
#include "ui/browser/recent_file_row.h"

#include <QStyledItemDelegate>

namespace {

// Rows are widgets; the delegate only gives them their height and paints nothing beneath.
class RowWidgetDelegate final : public QStyledItemDelegate
{
public:
    explicit RowWidgetDelegate(QListView *view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *, const QStyleOptionViewItem &, const QModelIndex &) const override {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // No width of their own: rows span the list, and a long title is elided in its row
        // rather than widening the list.
        if (const QWidget *row = m_view->indexWidget(index))
            return QSize(1, row->sizeHint().height());
        return QSize(1, QStyledItemDelegate::sizeHint(option, index).height());
    }

private:
    QListView *m_view;
};

} // namespace

RecentFilesView::RecentFilesView(RecentFiles &recentFiles, QWidget *parent)
    : QListView(parent), m_model(new RecentFilesModel(recentFiles, this))
{
    setModel(m_model);
    setItemDelegate(new RowWidgetDelegate(this));
    setUniformItemSizes(true);
    setResizeMode(QListView::Adjust);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMaximumHeight(maximumListHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);

    connect(m_model, &QAbstractItemModel::modelReset, this, &RecentFilesView::rebuildRows);
    rebuildRows();
}

RecentFileRow *RecentFilesView::row(int index) const
{
    return qobject_cast<RecentFileRow *>(indexWidget(m_model->index(index)));
}

QSize RecentFilesView::sizeHint() const
{
    int height = 2 * frameWidth();
    for (int i = 0; i < m_model->rowCount() && height < maximumListHeight; ++i)
        height += sizeHintForRow(i) + 2 * spacing();
    return QSize(QListView::sizeHint().width(), std::min(height, maximumListHeight));
}

QSize RecentFilesView::minimumSizeHint() const
{
    const int oneRow = m_model->rowCount() > 0 ? sizeHintForRow(0) : 0;
    return QSize(QListView::minimumSizeHint().width(), 2 * frameWidth() + oneRow);
}

void RecentFilesView::rebuildRows()
{
    // A reset has already released the previous rows (deleted later, so a row whose button
    // caused the change is not deleted under its own click).
    for (int i = 0; i < m_model->rowCount(); ++i) {
        const QModelIndex index = m_model->index(i);
        auto *row = new RecentFileRow(index.data(Qt::DisplayRole).toString(),
                                      index.data(RecentFilesModel::UrlRole).toUrl());
        connect(row, &RecentFileRow::openRequested, this, &RecentFilesView::openRequested,
                Qt::QueuedConnection);
        connect(row, &RecentFileRow::revealRequested, this, &RecentFilesView::revealRequested,
                Qt::QueuedConnection);
        connect(row, &RecentFileRow::removeRequested, this, &RecentFilesView::removeRequested,
                Qt::QueuedConnection);
        setIndexWidget(index, row);
    }
    updateGeometry();
}

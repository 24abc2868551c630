#include "ui/browser/file_drop_handler.h"

#include "core/app/commands_coordinator.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QWidget>

FileDropHandler::FileDropHandler(CommandsCoordinator &coordinator, QObject *parent)
    : QObject(parent), m_coordinator(coordinator)
{
}

void FileDropHandler::attach(QWidget *widget)
{
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

QList<QUrl> FileDropHandler::localFiles(const QMimeData *data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url);
    }
    return files;
}

bool FileDropHandler::drop(const QMimeData *data)
{
    const QList<QUrl> files = localFiles(data);
    if (files.isEmpty())
        return false;
    // Opened from the event loop, not inside the drop: opening replaces what the window shows,
    // possibly the very widget that is still handling the drop.
    QPointer<CommandsCoordinator> coordinator(&m_coordinator);
    for (const QUrl &file : files) {
        QMetaObject::invokeMethod(
            &m_coordinator,
            [coordinator, file] {
                if (coordinator)
                    coordinator->open(file);
            },
            Qt::QueuedConnection);
    }
    return true;
}

bool FileDropHandler::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (localFiles(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *dropEvent = static_cast<QDropEvent *>(event);
        if (drop(dropEvent->mimeData())) {
            dropEvent->setDropAction(Qt::CopyAction);
            dropEvent->accept();
        } else {
            dropEvent->ignore();
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

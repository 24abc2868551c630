#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class CommandsCoordinator;
class QMimeData;
class QWidget;

// Opens the files dropped on the widgets it is attached to. Only local file URLs are taken; a
// drop without any is refused and changes nothing. Several files are opened one after another,
// in order, each once the event loop is back, so the last one stays open.
class FileDropHandler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileDropHandler)

public:
    explicit FileDropHandler(CommandsCoordinator &coordinator, QObject *parent = nullptr);

    // Makes the widget accept drops and hands them to this handler.
    void attach(QWidget *widget);

    // The local files of a drag, in order.
    static QList<QUrl> localFiles(const QMimeData *data);

    // Schedules the opening of every local file of data; false (and nothing happens) when it
    // holds none.
    bool drop(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CommandsCoordinator &m_coordinator;
};

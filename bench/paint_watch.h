#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

// Notes when a widget, or any widget inside it, has been painted. It watches every event of the
// application, since a child's paint event never passes through its parent.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QWidget *widget) : m_widget(widget) { qApp->installEventFilter(this); }
    bool painted = false;

    // Sleeps in the event loop until a paint has been noted since `painted` was last cleared;
    // gives up after timeoutMs (a window that is never exposed). Tells whether one came.
    bool wait(int timeoutMs = 10000)
    {
        QElapsedTimer waited;
        waited.start();
        QTimer wake; // ends the last wait when nothing else happens
        wake.setSingleShot(true);
        wake.start(timeoutMs);
        while (!painted && waited.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return painted;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == m_widget || m_widget->isAncestorOf(static_cast<QWidget *>(watched))))
            painted = true;
        return false;
    }

private:
    QWidget *m_widget;
};

#pragma once

#include <QWidget>

class QLabel;

// The visual drop target at the foot of the sidebar: a dashed frame around an invitation. It
// takes no drops itself; the sidebar that holds it does.
class DropZone final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropZone)

public:
    static constexpr int zoneHeight = 140;
    static constexpr qreal lineWidth = 4;

    explicit DropZone(QWidget *parent = nullptr);

    QString text() const;
    // The frame of the zone, within this widget.
    QRect frameRect() const;
    // The pen the frame is stroked with.
    static QPen framePen(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *m_frame;
    QLabel *m_label;
};

#pragma once

#include <QWidget>

class QLabel;

// A message centred in all the space it is given, such as the start text.
class MessageView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageView)

public:
    explicit MessageView(const QString &text, QWidget *parent = nullptr);

    QString text() const;
    QLabel *label() const { return m_label; }

private:
    QLabel *m_label;
};

#pragma once

#include <QWidget>

class ElidedLabel;
class QToolButton;

// The head of the sidebar: the deck's title and the button that ends studying it.
class FileHeaderView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileHeaderView)

public:
    explicit FileHeaderView(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const;

Q_SIGNALS:
    void endStudyingRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    ElidedLabel *m_title;
    QToolButton *m_endButton;
};

#pragma once

#include <QUrl>
#include <QWidget>

class QAction;
class QToolButton;
class TitleButton;

// One recent file: its title as a button that opens it (with a context menu that shows it in
// the file manager) and a button that removes it from the list.
class RecentFileRow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentFileRow)

public:
    RecentFileRow(const QString &title, const QUrl &file, QWidget *parent = nullptr);

    QUrl file() const { return m_file; }
    QString title() const { return m_title; }

    QToolButton *openButton() const;
    QToolButton *removeButton() const { return m_removeButton; }
    QAction *revealAction() const { return m_revealAction; }

Q_SIGNALS:
    void openRequested(const QUrl &file);
    void revealRequested(const QUrl &file);
    void removeRequested(const QUrl &file);

protected:
    void changeEvent(QEvent *event) override;

private:
    QString m_title;
    QUrl m_file;
    TitleButton *m_openButton;
    QToolButton *m_removeButton;
    QAction *m_revealAction;
};

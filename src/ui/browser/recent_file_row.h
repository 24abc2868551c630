#pragma once

#include <QUrl>
#include <QWidget>

class QAction;
class QMenu;
class QToolButton;

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

    QToolButton *openButton() const { return m_openButton; }

Q_SIGNALS:
    void openRequested(const QUrl &file);
    void revealRequested(const QUrl &file);
    void removeRequested(const QUrl &file);

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Elides the title so that a long one never pushes the remove button out of the row.
    void fitTitle();

    QString m_title;
    QUrl m_file;
    QToolButton *m_openButton;
    QToolButton *m_removeButton;
    QMenu *m_contextMenu;
    QAction *m_revealAction;
};

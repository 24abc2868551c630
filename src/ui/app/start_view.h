#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;
class RecentFiles;

// What the window shows while no file is open: the start text, an Open… button, the recent
// files to pick up again and, where the examples are installed, one to try.
class StartView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartView)

public:
    static constexpr qsizetype maximumRows = 5;

    // `exampleDeck` is the deck "Open an example deck" opens; the button is left out without
    // one.
    StartView(RecentFiles &recentFiles, const QUrl &exampleDeck, QWidget *parent = nullptr);

    QString text() const;
    QLabel *label() const { return m_label; }

    // The label of each recent file: its title, and its folder where another file of the list
    // has the same title. Shared with the Open Recent menu.
    static QStringList recentFileLabels(const QList<QUrl> &files);
    // Where the example decks are installed, or an empty URL.
    static QUrl findExampleDeck();

Q_SIGNALS:
    void openRequested();
    void openFileRequested(const QUrl &file);

private:
    void rebuildRecentFiles();

    RecentFiles &m_recentFiles;
    QLabel *m_label;
    QLabel *m_recentTitle;
    QVBoxLayout *m_recentRows;
};

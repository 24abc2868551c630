#pragma once

#include <QList>
#include <QObject>
#include <QSettings>
#include <QUrl>

// The files the user opened, most recent first, kept in the preferences under "recentFiles" as
// an array of bookmark data. Used on the main thread only.
class RecentFiles final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecentFiles)
    Q_PROPERTY(QList<QUrl> files READ files NOTIFY filesChanged)

public:
    // The process-wide store over the application's preferences, loaded on first use.
    static RecentFiles &shared();

    // A store over the given preferences (not owned; must outlive the store). Runs load().
    explicit RecentFiles(QSettings *preferences, QObject *parent = nullptr);

    const QList<QUrl> &files() const { return m_files; }

    // Reads the stored list. Bookmarks that no longer resolve are left out (and leave storage
    // at the next save); if any resolved bookmark was stale, the list is saved again at once.
    void load();
    // Puts the file first, moving it there when it is already listed, and saves.
    void add(const QUrl &file);
    // Removes the first entry equal to the file, if any, and saves.
    void remove(const QUrl &file);
    // Empties the list and saves.
    void clear();
    // Stores the bookmark data of every entry for which it can be made, in order.
    void save();

Q_SIGNALS:
    void filesChanged();

private:
    void setFiles(QList<QUrl> files);

    QSettings *m_preferences;
    QList<QUrl> m_files;
};

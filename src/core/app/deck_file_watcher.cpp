#include "core/app/deck_file_watcher.h"

#include <QFileInfo>

DeckFileWatcher::DeckFileWatcher(QObject *parent) : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMilliseconds);
    connect(&m_quiet, &QTimer::timeout, this, &DeckFileWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_quiet, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_quiet,
            qOverload<>(&QTimer::start));
}

void DeckFileWatcher::watch(const QUrl &file)
{
    m_quiet.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path = file.isLocalFile() ? file.toLocalFile() : QString();
    m_seen = m_path.isEmpty() ? std::nullopt : fileStamp(m_path);
    rewatch();
}

void DeckFileWatcher::rewatch()
{
    if (m_path.isEmpty())
        return;
    // The folder tells of a file replaced by a rename, deleted or made again; the file itself
    // tells of writes in place.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void DeckFileWatcher::check()
{
    if (m_path.isEmpty())
        return;
    rewatch();
    const std::optional<FileStamp> now = fileStamp(m_path);
    if (!now || now == m_seen)
        return;
    m_seen = now;
    Q_EMIT fileChanged();
}

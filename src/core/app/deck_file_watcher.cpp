#include "core/app/deck_file_watcher.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

DeckFileWatcher::DeckFileWatcher(QObject *parent) : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMilliseconds);
    connect(&m_quiet, &QTimer::timeout, this, &DeckFileWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_quiet, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_quiet,
            qOverload<>(&QTimer::start));
}

std::optional<DeckFileWatcher::Stamp> DeckFileWatcher::stampOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Stamp{qint64(info.st_size),
                 qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                 quint64(info.st_ino),
                 quint64(info.st_ctim.tv_sec) * 1'000'000'000 + quint64(info.st_ctim.tv_nsec)};
}

void DeckFileWatcher::watch(const QUrl &file)
{
    m_quiet.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path = file.isLocalFile() ? file.toLocalFile() : QString();
    m_seen = m_path.isEmpty() ? std::nullopt : stampOf(m_path);
    rewatch();
}

void DeckFileWatcher::markCurrent()
{
    if (!m_path.isEmpty())
        m_seen = stampOf(m_path);
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
    const std::optional<Stamp> now = stampOf(m_path);
    if (!now || now == m_seen)
        return;
    m_seen = now;
    Q_EMIT fileChanged();
}
